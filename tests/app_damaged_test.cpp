// Damaged installations as a technician meets them: what stops the conversion
// before any step, what it passes over with a warning, and what it leaves as
// it is.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "sample/install.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using vektest::ProgramRun;

const std::string kClosing = "A convers\xC3\xA3o foi realizada.";

class DamagedTest : public vektest::SandboxTest {
 protected:
  DamagedTest() { vektest::SetEnv("VEKCONV_TODAY", "2011-03-01"); }
  ~DamagedTest() override { vektest::UnsetEnv("VEKCONV_TODAY"); }

  fs::path Install(int members = 40) {
    const fs::path root = box.root / "inst";
    sample::SampleOptions o;
    o.members = members;
    o.seed = 5;
    std::string error;
    EXPECT_TRUE(sample::MakeSampleInstallation(root.string(), o, &error)) << error;
    fs::create_directories(root / "tmp");
    return root;
  }

  ProgramRun Convert(const fs::path& root, std::vector<std::string> more = {}, const std::string& as_user = "") {
    vektest::SetEnv(vektest::kTempVariable, (root / "tmp").string());
    std::vector<std::string> args;
    std::string program = VEKCONV_BINARY;
    if (!as_user.empty()) {
      args = {"-u", as_user, "--", program};
      program = "/usr/sbin/runuser";
    }
    for (const char* a : {"convert", "--drive-c"}) args.push_back(a);
    args.push_back(root.string());
    args.push_back("-C");
    args.push_back(root.string());
    args.insert(args.end(), more.begin(), more.end());
    ProgramRun r = vektest::RunProgram(program, args, root);
    vektest::SetEnv(vektest::kTempVariable, box.temp.string());
    return r;
  }

  std::map<std::string, std::string> State(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      const std::string rel = fs::relative(e.path(), root).generic_string();
      if (e.is_symlink() || !e.is_regular_file()) {
        out[rel] = e.is_directory() ? "/" : "(special)";
      } else if (e.file_size() > (1 << 24)) {
        out[rel] = "(" + std::to_string(e.file_size()) + " bytes)";  // the sparse giants are not read
      } else {
        out[rel] = box.Read(e.path());
      }
    }
    return out;
  }

  static void ExpectStoppedBeforeAnyStep(const ProgramRun& r, int code, const std::vector<std::string>& words) {
    EXPECT_EQ(r.exit_code, code) << r.err;
    EXPECT_EQ(r.out.find(kClosing), std::string::npos);
    EXPECT_EQ(r.err.find("Convertendo"), std::string::npos) << r.err;
    for (const std::string& w : words) EXPECT_NE(r.err.find(w), std::string::npos) << w << " in\n" << r.err;
  }
};

TEST_F(DamagedTest, WhatWouldMakeTheConversionWrongStopsItBeforeAnyStep) {
  const fs::path root = Install();
  const fs::path data = root / "Zelk" / "Vek";
  // A data file over the 2 GB that the product opens (sparse: it takes no
  // room), in the data folder and in the legacy folder.
  box.Write(data / "F34.DAT", "");
  fs::resize_file(data / "F34.DAT", 2'000'000'001);
  box.Write(root / "Glebrium" / "F23.DAT", "");
  fs::resize_file(root / "Glebrium" / "F23.DAT", 3'000'000'000);
  auto before = State(root);
  ProgramRun big = Convert(root);
  ExpectStoppedBeforeAnyStep(big, 1, {"F34.DAT (2.000.000.001 bytes)", "F23.DAT (3.000.000.000 bytes)", "2 GB"});
  EXPECT_EQ(State(root), before);
  fs::remove(data / "F34.DAT");
  fs::remove(root / "Glebrium" / "F23.DAT");

#ifndef _WIN32  // Windows holds no two names that differ only in case
  // Twins: which one would be the member table?
  box.Write(data / "f10r2.dat", "another member table");
  box.Write(data / "REG" / "rm1990.dat", "another year");
  before = State(root);
  ProgramRun twins = Convert(root);
  ExpectStoppedBeforeAnyStep(twins, 1, {"F10r2.dat e f10r2.dat", "REG\\RM1990.DAT e REG\\rm1990.dat", "Windows"});
  EXPECT_EQ(State(root), before);
#endif
}

#ifndef _WIN32
TEST_F(DamagedTest, PipesLinksAndShiftedUnitsArePassedOverWithAWarning) {
  const fs::path root = Install();
  const fs::path data = root / "Zelk" / "Vek";
  // Conf11.dat is a pipe (opening it would wait forever), F15R0.DAT a link
  // that leads nowhere, F00R0.DAT a link to the real file, and a folder
  // stands where a period file of REG01 should be.
  fs::remove(data / "Conf11.dat");
  ASSERT_EQ(mkfifo((data / "Conf11.dat").c_str(), 0644), 0);
  fs::remove(data / "F15R0.DAT");
  fs::create_symlink(data / "gone.dat", data / "F15R0.DAT");
  fs::rename(data / "F00R0.DAT", root / "F00R0.real");
  fs::create_symlink(root / "F00R0.real", data / "F00R0.DAT");
  fs::remove(data / "REG01" / "2009.DAT");
  box.MakeFolder(data / "REG01" / "2009.DAT");
  // A stray line feed shifts the units of one yearly file; a Ctrl-Z with data
  // behind it cuts another.
  std::string year = box.Read(data / "REG" / "RM1994.DAT");
  ASSERT_GT(year.size(), 90u);
  year.insert(40, "\n");
  box.Write(data / "REG" / "RM1994.DAT", year);
  std::string cut = box.Read(data / "REG" / "RM1995.DAT");
  cut.insert(30, "\x1A");
  box.Write(data / "REG" / "RM1995.DAT", cut);

  ProgramRun r = Convert(root, {"--report", (root / "report.json").string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find(kClosing), std::string::npos);
  for (const char* name : {"Conf11.dat: n\xC3\xA3o \xC3\xA9 um arquivo de dados", "F15R0.DAT: n\xC3\xA3o",
                           "REG01\\2009.DAT: \xC3\xA9 uma pasta", "REG\\RM1994.DAT: as unidades est\xC3\xA3o desalinhadas a partir da "
                                                      "posi\xC3\xA7\xC3\xA3o 30",
                           "REG\\RM1995.DAT: um Ctrl-Z na posi\xC3\xA7\xC3\xA3o 30"}) {
    EXPECT_NE(r.err.find(name), std::string::npos) << name << " in\n" << r.err;
  }
  EXPECT_NE(r.err.find("(aviso): 5 itens ficaram de lado"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("; 5 warnings."), std::string::npos) << r.out;
  const std::string json = box.Read(root / "report.json");
  EXPECT_NE(json.find("\"warnings\": ["), std::string::npos);
  EXPECT_NE(json.find("F15R0.DAT: n\xC3\xA3o \xC3\xA9 um arquivo de dados"), std::string::npos) << json;

  // The pipe was never opened and stays under its name; the broken link
  // went to the temporary folder as the table it stood for does.
  const fs::path retired = root / "tmp" / "Zelk" / "Vek";
  EXPECT_EQ(fs::symlink_status(data / "Conf11.dat").type(), fs::file_type::fifo);
  EXPECT_TRUE(fs::is_symlink(retired / "F15R0.DAT"));
  // The yearly files the cleaning could not account for are kept byte for
  // byte (in the temporary folder, where the cleanup puts the REG folder).
  EXPECT_EQ(box.Read(root / "tmp" / "Zelk" / "Vek" / "REG" / "RM1994.DAT"), year);
  EXPECT_EQ(box.Read(root / "tmp" / "Zelk" / "Vek" / "REG" / "RM1995.DAT"), cut);
}

TEST_F(DamagedTest, ADataFolderThatCannotBeUsedIsNeverTradedForAnother) {
  if (geteuid() != 0 || !fs::exists("/usr/sbin/runuser")) GTEST_SKIP() << "needs root to run as another user";
  const fs::path root = Install();
  const fs::path data = root / "Zelk" / "Vek";
  // The installation belongs to root; "nobody" can read it but not write it.
  fs::permissions(box.root, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  const auto before = State(root);
  ProgramRun read_only = Convert(root, {}, "nobody");
  ExpectStoppedBeforeAnyStep(read_only, 1, {"n\xC3\xA3o pode ser lida e gravada"});
  EXPECT_EQ(State(root), before);

  // Not even to be entered: never the start folder (the root of drive C:)
  // instead.
  fs::permissions(data, fs::perms::none);
  ProgramRun closed = Convert(root, {}, "nobody");
  fs::permissions(data, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(closed.exit_code, 2) << closed.err;
  EXPECT_NE(closed.err.find("cannot be entered"), std::string::npos) << closed.err;
  EXPECT_EQ(State(root), before);
}
#endif

}  // namespace
