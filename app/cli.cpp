#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

#include "app/console_ui.h"
#include "app/dialog.h"
#include "app/terminal_dialog.h"
#include "platform/console.h"
#include "platform/files.h"

#ifndef VEKCONV_VERSION
#define VEKCONV_VERSION "0.0.0"
#endif

namespace app {

namespace {

struct Settings {
  std::string drive_c;
  std::string start_folder;
  bool yes = false;
  bool no = false;
};

// Drive C: and the start folder, as if the program had been started there.
// Returns an error text when the user must act.
std::optional<std::string> Prepare(const Settings& s) {
  if (!s.drive_c.empty()) {
    if (!platform::IsFolder(s.drive_c)) return "the folder given for drive C: does not exist: " + s.drive_c;
    platform::SetDriveC(s.drive_c);
  }
  if (!s.start_folder.empty() && !platform::SetCurrentFolder(s.start_folder)) {
    return "cannot start in " + s.start_folder + ": no such folder";
  }
  ChooseStartFolder();
  return std::nullopt;
}

int Convert(const Settings& s) {
  ConsoleUi::Options options;
  if (s.yes) options.answer = true;
  if (s.no) options.answer = false;
  options.live_status = platform::StderrIsTerminal();
  options.can_ask = platform::StdinIsTerminal();
  ConsoleUi ui(options, std::cout, std::cerr);
  platform::SetActiveUi(&ui);
  DialogTexts texts = InitDialog();
  std::cerr << texts.title << " - Pasta: " << platform::Cp1252ToUtf8(platform::CurrentFolder()) << '\n';
  RunConvert(ui);
  platform::SetActiveUi(nullptr);
  return 0;
}

}  // namespace

int Main(int argc, char** argv) {
  CLI::App cli{"vekconv - upgrades a Glebrium data folder to the layouts of release 5.61."};
  cli.set_version_flag("--version", std::string("vekconv ") + VEKCONV_VERSION);
  Settings s;
  cli.add_option("--drive-c", s.drive_c, "Host folder that stands for drive C: (default: $VEKCONV_DRIVE_C)")
      ->envname("VEKCONV_DRIVE_C");
  cli.add_option("-C", s.start_folder, "Start in this folder, as if the program had been started there");
  CLI::App* convert = cli.add_subcommand(
      "convert", "Give the Convert command once and close: convert the data folder C:\\Zelk\\Vek");
  convert->fallthrough();
  CLI::Option* yes = convert->add_flag("--yes", s.yes, "Answer Yes to the program's questions");
  convert->add_flag("--no", s.no, "Answer No to the program's questions")->excludes(yes);
  cli.footer(
      "The conversion works in C:\\Zelk\\Vek when drive C: is current and that folder exists,\n"
      "otherwise in the start folder. Files that are no longer needed are moved to the\n"
      "temporary folder ($TMPDIR) under Zelk/Vek, never destroyed.");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e);
  }

  if (std::optional<std::string> error = Prepare(s)) {
    std::cerr << "vekconv: " << *error << '\n';
    return 2;
  }
  if (convert->parsed()) return Convert(s);

  if (platform::StdinIsTerminal() && platform::StdoutIsTerminal()) return RunTerminalDialog();
  std::cerr << "vekconv: the conversion dialog needs a terminal on stdin and stdout; "
               "run 'vekconv convert' to convert the data folder without it.\n";
  return 2;
}

}  // namespace app
