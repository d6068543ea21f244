// The conversion dialog in a terminal, driven through tmux as a user would.
#ifndef _WIN32  // the terminal dialog is the Linux front end
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "tests/support/sandbox.h"

namespace {

using namespace std::chrono_literals;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Output(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// The characters that a captured screen (with attributes) shows in reverse
// video, the dialog's mark of the focus; line ends are kept.
std::string ReverseVideoText(const std::string& screen) {
  std::string out;
  bool reverse = false;
  for (std::size_t i = 0; i < screen.size(); ++i) {
    if (screen[i] == '\x1b' && i + 1 < screen.size() && screen[i + 1] == '[') {
      std::size_t end = screen.find_first_of("ABCDEFGHJKSTfmnsu", i + 2);
      if (end == std::string::npos) break;
      if (screen[end] == 'm') {
        std::string params = screen.substr(i + 2, end - i - 2) + ";";
        for (std::size_t at = 0, semi; (semi = params.find(';', at)) != std::string::npos; at = semi + 1) {
          std::string p = params.substr(at, semi - at);
          if (p.empty() || p == "0" || p == "27") reverse = false;
          if (p == "7") reverse = true;
        }
      }
      i = end;
      continue;
    }
    if (screen[i] == '\n' || reverse) out.push_back(screen[i]);
  }
  // Only the lines that have something in reverse video.
  std::string lines;
  for (std::size_t at = 0, nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1) {
    if (nl > at) lines += out.substr(at, nl - at + 1);
  }
  return lines;
}

// vekconv in a detached tmux session of its own (a private server).
class TmuxSession {
 public:
  // `args` follow the program's own (a command and its options); `env` is
  // set for it ("NAME=value ...").
  TmuxSession(const vektest::Sandbox& box, int cols, int rows, const std::string& args = "",
              const std::string& env = "")
      : box_(box) {
    socket_ = (box.root / "tmux.sock").string();
    exit_file_ = box.root / "exit_code";
    const std::string root = box.root.string();
    const std::string program = "cd " + Quote(root) + " && TMPDIR=" + Quote(box.temp.string()) +
                                " LANG=C.UTF-8 " + env + " '" VEKCONV_BINARY "' --drive-c " + Quote(root) + " -C " +
                                Quote(root) + " " + args + "; echo $? >" + Quote(exit_file_.string());
    Tmux("new-session -d -x " + std::to_string(cols) + " -y " + std::to_string(rows) + " " + Quote(program));
  }
  ~TmuxSession() { Tmux("kill-server"); }

  int Tmux(const std::string& args) const {
    return std::system(("tmux -f /dev/null -S " + Quote(socket_) + " " + args + " >/dev/null 2>&1").c_str());
  }
  void Keys(const std::string& keys) const { Tmux("send-keys " + keys); }
  std::string Screen() const { return Output("tmux -S " + Quote(socket_) + " capture-pane -p 2>/dev/null"); }
  std::string Attributes() const {
    return Output("tmux -S " + Quote(socket_) + " capture-pane -e -p 2>/dev/null");
  }

  // Polls until the condition holds on the screen, for a few seconds at most.
  bool WaitFor(const std::function<bool(const std::string&)>& ok, bool attributes = false) const {
    for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
      if (ok(attributes ? Attributes() : Screen())) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  bool WaitForText(const std::string& text) const {
    return WaitFor([&](const std::string& s) { return s.find(text) != std::string::npos; });
  }
  bool WaitWithout(const std::string& text) const {
    return WaitFor([&](const std::string& s) { return s.find(text) == std::string::npos; });
  }
  // Waits until exactly this text (from the start of a line to its end,
  // trailing spaces ignored) is in reverse video; empty: nothing is.
  bool WaitForFocus(const std::string& text) const {
    return WaitFor(
        [&](const std::string& s) {
          std::string r = ReverseVideoText(s);
          if (text.empty()) return r.empty();
          std::size_t end = r.find_last_not_of(" \n");
          return end != std::string::npos && r.substr(0, end + 1) == text && r.find('\n') == r.rfind('\n');
        },
        true);
  }
  // The program's exit code once it has ended and its pane is gone; -1 if not.
  int WaitForExit() const {
    for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
      if (box_.Exists(exit_file_) && Tmux("has-session") != 0) return std::atoi(box_.Read(exit_file_).c_str());
      std::this_thread::sleep_for(50ms);
    }
    return -1;
  }

 private:
  const vektest::Sandbox& box_;
  std::string socket_;
  vektest::fs::path exit_file_;
};

class TerminalDialogTest : public vektest::SandboxTest {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  }
};

const std::string kConf10(285, 'x');
const std::string kConf10Widened = kConf10.substr(0, 190) + std::string(380, ' ') + kConf10.substr(190);

TEST_F(TerminalDialogTest, EnterMovesTheFocusAndTheButtonConverts) {
  box.Write("Conf10.dat", kConf10);
  // Notes without their target folder: the conversion warns in a message box.
  box.Write("R08/ABC.DAT", std::string(160, '0'));
  TmuxSession tmux(box, 100, 30);

  ASSERT_TRUE(tmux.WaitForText("Glebrium 5.61")) << tmux.Screen();
  std::string screen = tmux.Screen();
  EXPECT_NE(screen.find("Pasta:  C:\\Zelk\\Vek "), std::string::npos) << screen;
  EXPECT_NE(screen.find("Status: "), std::string::npos) << screen;
  EXPECT_NE(screen.find("[Converter Vers\xC3\xB5" "es] [Fechar]"), std::string::npos) << screen;

  // Enter goes round the tab stops: folder line, the two buttons, the
  // invisible default button and the frame, and never converts.
  EXPECT_TRUE(tmux.WaitForFocus("C:\\Zelk\\Vek")) << tmux.Attributes();
  tmux.Keys("Enter");
  EXPECT_TRUE(tmux.WaitForFocus("[Converter Vers\xC3\xB5" "es]")) << tmux.Attributes();
  tmux.Keys("Enter");
  EXPECT_TRUE(tmux.WaitForFocus("[Fechar]")) << tmux.Attributes();
  tmux.Keys("Enter");
  EXPECT_TRUE(tmux.WaitForFocus("")) << tmux.Attributes();
  tmux.Keys("Enter Enter");
  EXPECT_TRUE(tmux.WaitForFocus("C:\\Zelk\\Vek")) << tmux.Attributes();
  tmux.Keys("BTab");
  EXPECT_TRUE(tmux.WaitForFocus("")) << tmux.Attributes();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(box.Read("Conf10.dat"), kConf10);

  // Tab to the button and press it with Space.
  tmux.Keys("Tab Tab");
  ASSERT_TRUE(tmux.WaitForFocus("[Converter Vers\xC3\xB5" "es]")) << tmux.Attributes();
  tmux.Keys("Space");
  ASSERT_TRUE(tmux.WaitForText("A pasta R33 n\xC3\xA3o existe")) << tmux.Screen();
  screen = tmux.Screen();
  EXPECT_NE(screen.find(" Vek "), std::string::npos) << screen;
  EXPECT_NE(screen.find("aviso"), std::string::npos) << screen;
  EXPECT_NE(screen.find("[OK]"), std::string::npos) << screen;
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitForText("A convers\xC3\xA3o foi realizada.")) << tmux.Screen();
  EXPECT_NE(tmux.Screen().find("informa\xC3\xA7\xC3\xA3o"), std::string::npos);
  EXPECT_FALSE(box.Exists("Conf10.dat"));
  EXPECT_EQ(box.Read(box.temp / "Zelk" / "Vek" / "Conf10.dat"), kConf10Widened);
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitWithout("A convers\xC3\xA3o foi realizada.")) << tmux.Screen();
  EXPECT_TRUE(tmux.WaitForFocus("[Converter Vers\xC3\xB5" "es]")) << tmux.Attributes();

  // Back to idle: Alt+C runs the conversion again.
  box.Write("Conf10.dat", kConf10);
  tmux.Keys("M-c");
  ASSERT_TRUE(tmux.WaitForText("A convers\xC3\xA3o foi realizada.")) << tmux.Screen();
  EXPECT_FALSE(box.Exists("Conf10.dat"));
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitWithout("A convers\xC3\xA3o foi realizada.")) << tmux.Screen();

  tmux.Keys("Escape");
  EXPECT_EQ(tmux.WaitForExit(), 0) << tmux.Screen();
}

TEST_F(TerminalDialogTest, SmallTerminalResizedAndClosedByAccessKey) {
  box.Write("Conf10.dat", kConf10);
  TmuxSession tmux(box, 30, 6);
  ASSERT_TRUE(tmux.WaitForText("Pasta:  C:\\Zelk\\Vek")) << tmux.Screen();
  tmux.Tmux("resize-window -x 2 -y 2");
  EXPECT_TRUE(tmux.WaitWithout("Pasta:")) << tmux.Screen();
  tmux.Tmux("resize-window -x 100 -y 30");
  ASSERT_TRUE(tmux.WaitForText("[Converter Vers\xC3\xB5" "es] [Fechar]")) << tmux.Screen();
  EXPECT_NE(tmux.Screen().find("Glebrium 5.61"), std::string::npos);

  tmux.Keys("f");
  EXPECT_EQ(tmux.WaitForExit(), 0) << tmux.Screen();
  EXPECT_EQ(box.Read("Conf10.dat"), kConf10);
}

TEST_F(TerminalDialogTest, ALongConversionShowsHowFarEachStepHasCome) {
  // Large enough to take seconds; converted as of a fixed date, so that the
  // due entries and with them the work do not grow with the date of the run.
  TmuxSession tmux(box, 100, 30, "demo --members 150000 " + Quote((box.root / "demo").string()),
                   "VEKCONV_TODAY=2011-03-01");
  // "Etapa 6/13 [#####---------------] 27%  102,2 MB/s  faltam 0:02  4.35"
  std::map<std::string, std::set<int>> shares;  // by step
  std::string last;
  for (auto end = std::chrono::steady_clock::now() + 120s;
       std::chrono::steady_clock::now() < end && !box.Exists(box.root / "exit_code");) {
    const std::string screen = tmux.Screen();
    const std::size_t at = screen.find("Etapa ");
    const std::size_t bar = screen.find(" [", at);
    const std::size_t share = screen.find("] ", bar);
    const std::size_t percent = screen.find("%  ", share);
    if (at != std::string::npos && bar != std::string::npos && share == bar + 22 && percent != std::string::npos &&
        percent < share + 6 && screen.find(" MB/s  faltam ", percent) != std::string::npos) {
      shares[screen.substr(at + 6, bar - at - 6)].insert(std::atoi(screen.c_str() + share + 2));
      last = screen;
    }
    std::this_thread::sleep_for(40ms);
  }
  ASSERT_EQ(tmux.WaitForExit(), 0);
  ASSERT_FALSE(shares.empty()) << "no progress line was seen";
  // Some step was seen at two shares of its input, and none at the whole.
  bool moved = false;
  for (const auto& [step, seen] : shares) {
    moved = moved || seen.size() >= 2;
    EXPECT_LT(*seen.rbegin(), 100) << "step " << step;
  }
  EXPECT_TRUE(moved) << last;
}

TEST_F(TerminalDialogTest, WithoutATerminalPointsToTheConvertCommand) {
  box.Write("Conf10.dat", kConf10);
  const std::string root = box.root.string();
  vektest::fs::path err = box.root / "stderr.txt";
  int status = std::system(("cd " + Quote(root) + " && '" VEKCONV_BINARY "' --drive-c " + Quote(root) +
                            " </dev/null >/dev/null 2>" + Quote(err.string()))
                               .c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(box.Read(err),
            "vekconv: the conversion dialog needs a terminal on stdin and stdout; "
            "run 'vekconv convert' to convert the data folder without it.\n");
  EXPECT_EQ(box.Read("Conf10.dat"), kConf10);
}

}  // namespace

#endif  // _WIN32
