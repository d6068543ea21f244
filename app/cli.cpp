#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "app/console_ui.h"
#include "app/dialog.h"
#include "app/report.h"
#include "app/scratch_copy.h"
#include "app/status.h"
#if VEKCONV_TERMINAL_DIALOG
#include "app/terminal_dialog.h"
#endif
#if VEKCONV_WIN32_DIALOG
#include "app/win32_dialog.h"
#endif
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/stream.h"
#include "sample/install.h"
#include "steps/steps.h"
#include "store/changes.h"

#ifndef VEKCONV_VERSION
#define VEKCONV_VERSION "0.0.0"
#endif

namespace app {

namespace {

// Exit codes.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;   // the conversion stopped (or its report could not be written)
constexpr int kExitUsage = 2;    // bad command line, or no such folder
constexpr int kExitNoSpace = 3;  // not enough space on the disk: nothing was changed
constexpr int kExitBusy = 4;     // another conversion holds the data folder: nothing was changed

struct Settings {
  std::string drive_c;
  std::string start_folder;
  std::string report;  // JSON report file
  bool yes = false;
  bool no = false;
  bool timings = false;
  bool no_space_check = false;
  bool dry_run = false;
  bool json = false;
  std::string demo_folder;
  std::int64_t demo_members = 200;
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
  return ChooseStartFolder();
}

// Where a dry run's report places its changes: the installation's folders,
// not those of the copy that was converted.
struct Installation {
  std::string data_folder;
  std::string retired_folder;
};

// The Convert command on the console, with the report of what it changed.
// `report` is the JSON report file, opened before the conversion (none when
// not asked for). `copy_of` is the installation when the folder converted is
// a copy of it.
int Convert(const Settings& s, platform::Stream& report_file, const Installation* copy_of = nullptr) {
  ConsoleUi::Options options;
  if (s.yes) options.answer = true;
  if (s.no) options.answer = false;
  options.live_status = platform::StderrIsTerminal();
  options.can_ask = platform::StdinIsTerminal();
  ConsoleUi ui(options, std::cout, std::cerr);
  platform::SetActiveUi(&ui);
  DialogTexts texts = InitDialog();
  std::cerr << texts.title << " - Pasta: "
            << platform::Cp1252ToUtf8(copy_of ? copy_of->data_folder : platform::CurrentFolder()) << '\n';
  ConversionWatch watch;
  std::function<void(const char*, double)> on_step;
  if (s.timings) {
    on_step = [io = platform::ProcessIo()](const char* name, double seconds) mutable {
      platform::IoTotals now = platform::ProcessIo();
      std::cerr << "  step " << name << ": " << seconds << " s";
      if (now.read >= 0 && io.read >= 0) {
        std::cerr << ", read " << (now.read - io.read) / 1'000'000 << " MB, written "
                  << (now.written - io.written) / 1'000'000 << " MB";
      }
      if (now.peak_memory >= 0) std::cerr << ", peak memory so far " << now.peak_memory / 1'000'000 << " MB";
      std::cerr << '\n';
      io = now;
    };
  }
  const steps::ConversionResult result = RunConvert(ui, on_step, !s.no_space_check);
  platform::SetActiveUi(nullptr);
  if (s.timings) {
    auto mb = [](std::int64_t bytes) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
      return std::string(text);
    };
    std::cerr << "  space on the data folder's disk: estimated " << mb(result.space_needed) << ", used at most "
              << mb(result.peak_use) << ", free at the start " << mb(result.space_free) << '\n';
  }
  ChangeReport report = watch.Finish();
  report.warnings = result.warnings;
  if (copy_of) {
    PlaceReport(report, copy_of->data_folder, copy_of->retired_folder);
    report.dry_run = true;
  }
  std::cout << '\n' << FormatReport(report) << std::flush;
  if (report_file && !(report_file.Write(ReportJson(report)) && report_file.Close())) {
    std::cerr << "vekconv: cannot write the report to " << s.report << '\n';
    return kExitFailed;
  }
  switch (result.outcome) {
    case steps::Outcome::kDone: return kExitDone;
    case steps::Outcome::kStopped: return kExitFailed;
    case steps::Outcome::kNoSpace: return kExitNoSpace;
    case steps::Outcome::kBusy: return kExitBusy;
  }
  return kExitFailed;
}

// A conversion of a copy of the installation, which stays as it is: the
// report tells what a conversion would change. The copy is removed at the
// end, also when the conversion stops or the user interrupts it.
int DryRun(const Settings& s, platform::Stream& report_file) {
  platform::CatchInterrupt();
  const Installation installation{platform::CurrentFolder(), steps::RetiredFolder()};
  ScratchInstallation copy;
  {
    // Another conversion would change the files while they are copied.
    const platform::FolderLock lock(".", steps::kLockFile);
    if (!lock.held()) {
      std::cerr << "vekconv: another conversion holds the data folder; run the dry run when it has ended\n";
      return kExitBusy;
    }
    std::string error;
    std::int64_t room = 0;
    try {
      room = steps::EstimateSpace(0);
    } catch (const store::FileError& e) {
      std::cerr << "vekconv: dry run: " << platform::Cp1252ToUtf8(e.what()) << '\n';
      return kExitFailed;
    }
    const ScratchInstallation::Failure failure = copy.Make(room, &error);
    if (failure != ScratchInstallation::Failure::kNone) {
      std::cerr << "vekconv: dry run: " << error << '\n';
      return failure == ScratchInstallation::Failure::kNoSpace ? kExitNoSpace : kExitFailed;
    }
  }
  std::cerr << "Dry run: converting a copy in " << Shown(copy.root()) << (copy.cloned() ? " (cloned files)" : "")
            << "; the data folder is not changed.\n";
  copy.Enter();
  int rc = Convert(s, report_file, &installation);
  copy.Remove();
  if (platform::Interrupted()) {
    std::cerr << "vekconv: dry run interrupted; its copy was removed and the data folder was not changed\n";
    return kExitFailed;
  }
  return rc;
}

// A sample old installation, converted: what the tool does, on data that can
// be thrown away.
int Demo(Settings s, platform::Stream& report_file) {
  std::string root = s.demo_folder;
  if (root.empty()) {
    std::string temp = platform::TempFolder();
    if (temp.empty()) temp = "/tmp/";
    for (int i = 0; i < 1000 && root.empty(); ++i) {
      std::string candidate = temp + "vekconv-demo-" + std::to_string(i);
      if (platform::CreateFolder(candidate)) root = candidate;
    }
    if (root.empty()) {
      std::cerr << "vekconv: cannot create a folder for the demo in " << temp << '\n';
      return 1;
    }
  }
  // The demo goes on from inside the installation: its paths must not depend
  // on the folder it was started in.
  if (std::optional<std::string> absolute = platform::HostPath(root)) root = *absolute;
  sample::SampleOptions options;
  options.members = s.demo_members;
  std::string error;
  std::vector<sample::SampleFile> files;
  if (!sample::MakeSampleInstallation(root, options, &error, &files)) {
    std::cerr << "vekconv: " << error << '\n';
    return 1;
  }
  std::int64_t bytes = 0;
  for (const sample::SampleFile& f : files) bytes += f.bytes;
  std::cout << "Sample installation of " << options.members << " members in " << root << " (" << files.size()
            << " files, " << bytes << " bytes):\n"
            << "  " << root << "/Zelk/Vek        data folder (C:\\Zelk\\Vek)\n"
            << "  " << root << "/Glebrium        legacy folder (C:\\Glebrium)\n"
            << "  " << root << "/Zelk/Fotos/Vek  photos\n\n"
            << "Converting it as: vekconv convert --drive-c " << root << " -C " << root << "\n\n"
            << std::flush;
  s.drive_c = root;
  s.start_folder = root;
  // Retired files of the demo stay beside it, out of the user's temporary folder.
  platform::SetTempFolder(root + "/tmp/");
  platform::CreateFolder(root + "/tmp");
  if (std::optional<std::string> error2 = Prepare(s)) {
    std::cerr << "vekconv: " << *error2 << '\n';
    return 1;
  }
  int rc = Convert(s, report_file);
  std::cout << "\nThe converted data folder is " << root << "/Zelk/Vek; the files it no longer needs are in "
            << Shown(steps::RetiredFolder()) << ".\n";
  return rc;
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
  convert->add_option("--report", s.report, "Also write the report of what changed to this file, as JSON");
  convert->add_flag("--timings", s.timings,
                    "Print the time, bytes read and written and peak memory of each conversion step, and the "
                    "space the conversion took on the disk beside its estimate");
  convert->add_flag("--no-space-check", s.no_space_check,
                    "Convert even when the estimate of the space needed exceeds the space free (a disk that "
                    "fills up still stops the conversion, and it goes on when run again)");
  convert->add_flag("--dry-run", s.dry_run,
                    "Convert a copy of the installation (in the temporary folder, removed at the end) and report "
                    "what a conversion would change; the installation is not touched");
  CLI::App* status = cli.add_subcommand(
      "status", "Tell where the installation stands and what a conversion would do to it; changes nothing");
  status->fallthrough();
  status->add_flag("--json", s.json, "Print it as JSON");
  CLI::App* demo = cli.add_subcommand(
      "demo", "Make a sample old installation (in DIR, or a new temporary folder) and convert it");
  demo->add_option("DIR", s.demo_folder, "Folder for the sample installation (its data folder must be empty)");
  demo->add_option("--members", s.demo_members, "Members of the sample installation")->check(CLI::Range(1, 1000000));
  demo->add_option("--report", s.report, "Also write the report of what changed to this file, as JSON");
  cli.footer(
      "The conversion works in C:\\Zelk\\Vek when drive C: is current and that folder exists,\n"
      "otherwise in the start folder. Files that are no longer needed are moved to the\n"
      "temporary folder ($TMPDIR) under Zelk/Vek, never destroyed. Each step is made whole\n"
      "or not at all: a conversion that was interrupted goes on where it stopped when it is\n"
      "run again.\n\n"
      "Exit codes: 0 converted; 1 a step could not read or write its files (the files stay\n"
      "as the last complete step left them); 2 bad command line or folder; 3 not enough\n"
      "space on the disk (nothing was changed); 4 another conversion holds the data folder.");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e);
  }

  // The report file is named as the user sees the paths when starting the
  // program, so it is opened before the program takes its drive and folder;
  // a file that cannot be written is told before anything is converted.
  platform::Stream report_file;
  if (!s.report.empty()) {
    report_file = platform::Stream::Open(s.report, "wb");
    if (!report_file) {
      std::cerr << "vekconv: cannot write the report to " << s.report << '\n';
      return kExitUsage;
    }
  }
  if (demo->parsed()) return Demo(s, report_file);
  if (std::optional<std::string> error = Prepare(s)) {
    std::cerr << "vekconv: " << *error << '\n';
    return kExitUsage;
  }
  if (convert->parsed()) return s.dry_run ? DryRun(s, report_file) : Convert(s, report_file);
  if (status->parsed()) {
    try {
      const StatusReport report = ReadStatusReport();
      std::cout << (s.json ? StatusJson(report) : FormatStatus(report)) << std::flush;
      return report.status.fault ? kExitFailed : kExitDone;
    } catch (const store::FileError& e) {
      std::cerr << "vekconv: cannot read the installation: " << platform::Cp1252ToUtf8(e.what()) << '\n';
      return kExitFailed;
    }
  }

#if VEKCONV_WIN32_DIALOG
  return RunWin32Dialog();
#elif VEKCONV_TERMINAL_DIALOG
  if (platform::StdinIsTerminal() && platform::StdoutIsTerminal()) return RunTerminalDialog();
  std::cerr << "vekconv: the conversion dialog needs a terminal on stdin and stdout; "
               "run 'vekconv convert' to convert the data folder without it.\n";
  return 2;
#else
  std::cerr << "vekconv: this build has no conversion dialog; "
               "run 'vekconv convert' to convert the data folder.\n";
  return 2;
#endif
}

}  // namespace app
