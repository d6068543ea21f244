// The conversion as a technician runs it on a client's only copy: run again
// on converted data, stopped by a file it cannot write, and on a disk that is
// too small or fills up. Each time the files end as an uninterrupted
// conversion leaves them, or stay as they were, and the program says which.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/installation.h"

namespace {

namespace fs = std::filesystem;
using vektest::ProgramRun;

using SafetyTest = vektest::InstallationTest;
using vektest::kClosing;

TEST_F(SafetyTest, AConvertedInstallationConvertedAgainStaysExactlyAsItIs) {
  const fs::path root = box.root / "inst";
  MakeInstallation(root);
  ProgramRun first = Convert(root);
  ASSERT_EQ(first.exit_code, 0) << first.err;
  const auto converted = State(root);
  [[maybe_unused]] const auto written = fs::last_write_time(root / "Zelk" / "Vek");
  // The legacy folder still holds its tables: nothing of them comes in again,
  // and nothing at all is written into the data folder.
  for (int run = 2; run <= 3; ++run) {
    ProgramRun again = Convert(root);
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_NE(again.out.find(kClosing), std::string::npos);
    EXPECT_EQ(State(root), converted) << "run " << run;
#ifndef _WIN32  // there the folder is held by a file of its own, made and removed again
    EXPECT_EQ(fs::last_write_time(root / "Zelk" / "Vek"), written) << "run " << run;
#endif
  }
}

TEST_F(SafetyTest, AFileThatCannotBeWrittenStopsTheConversionAndTheNextRunFinishesIt) {
  const auto reference = Reference();
  const fs::path root = box.root / "inst";
  MakeInstallation(root);
  // F19.DAT, which 4.31 writes, is there and read-only.
  const fs::path f19 = root / "Zelk" / "Vek" / "F19.DAT";
  box.Write(f19, "old");
  fs::permissions(f19, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);

  ProgramRun stopped = Convert(root);
  ExpectStoppedHonestly(stopped, 1, "F19.DAT");
  EXPECT_NE(stopped.err.find("(4.31)"), std::string::npos) << stopped.err;
  EXPECT_NE(stopped.err.find("acesso negado"), std::string::npos) << stopped.err;

  fs::permissions(f19, fs::perms::owner_write, fs::perm_options::add);
  fs::remove(f19);
  ProgramRun rerun = Convert(root);
  EXPECT_EQ(rerun.exit_code, 0) << rerun.err;
  EXPECT_NE(rerun.out.find(kClosing), std::string::npos);
  EXPECT_EQ(State(root), reference);
}

TEST_F(SafetyTest, AFolderThatAnotherConversionHoldsIsLeftAlone) {
  const fs::path root = box.root / "inst";
  MakeInstallation(root);
  const auto before = State(root);
  {
    // Another conversion runs in the data folder.
    const platform::FolderLock other((root / "Zelk" / "Vek").string(), "VEKCONV.LCK");
    ASSERT_TRUE(other.held());
    ProgramRun refused = Convert(root);
    ExpectStoppedHonestly(refused, 4, "Outra convers\xC3\xA3o");
  }
  EXPECT_EQ(State(root), before);
  ProgramRun after = Convert(root);
  EXPECT_EQ(after.exit_code, 0) << after.err;
}

// A small disk of its own: a tmpfs, where the machine lets the test mount one.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, const std::string& size) : at_(at) {
    fs::create_directories(at_);
    mounted_ = vektest::RunProgram("/bin/mount", {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", at_.string()},
                                   at_.parent_path())
                   .exit_code == 0;
  }
  ~SmallDisk() {
    if (mounted_) vektest::RunProgram("/bin/umount", {at_.string()}, at_.parent_path());
  }
  bool mounted() const { return mounted_; }
  bool Grow(const std::string& size) {
    return vektest::RunProgram("/bin/mount", {"-o", "remount,size=" + size, at_.string()}, at_.parent_path())
               .exit_code == 0;
  }

 private:
  fs::path at_;
  bool mounted_ = false;
};

TEST_F(SafetyTest, ADiskTooSmallIsToldBeforeAnythingChangesAndOneThatFillsUpStopsTheConversion) {
#ifdef _WIN32
  GTEST_SKIP() << "no small disk to mount here";
#endif
  const auto reference = Reference();
  {
    SmallDisk disk(box.root / "small", "1300k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (not root, or not allowed)";
    const fs::path root = box.root / "small" / "inst";
    MakeInstallation(root);
    const auto before = State(root);
    ProgramRun refused = Convert(root);
    ExpectStoppedHonestly(refused, 3, "espa\xC3\xA7o suficiente");
    EXPECT_EQ(State(root), before);
  }
  // On a disk of its own the space taken is measured exactly: the estimate
  // covers it, without asking for several times as much.
  {
    SmallDisk disk(box.root / "roomy", "64m");
    ASSERT_TRUE(disk.mounted());
    const fs::path root = box.root / "roomy" / "inst";
    MakeInstallation(root);
    ProgramRun timed = Convert(root, {"--timings"});
    ASSERT_EQ(timed.exit_code, 0) << timed.err;
    double estimated = 0;
    double used = 0;
    const std::size_t at = timed.err.find("space on the data folder's disk:");
    ASSERT_NE(at, std::string::npos) << timed.err;
    ASSERT_EQ(std::sscanf(timed.err.c_str() + at, "space on the data folder's disk: estimated %lf MB, used at most %lf",
                          &estimated, &used),
              2)
        << timed.err;
    EXPECT_GT(used, 0.5);
    EXPECT_GE(estimated, used);
    EXPECT_LE(estimated, 3 * used);
  }
  // Disks that the estimate finds too small, the conversion forced on: the
  // disk fills up on the way. After it is made larger, a plain run finishes.
  int stopped = 0;
  for (const char* size : {"1300k", "1500k", "1800k", "2200k", "2600k", "3000k", "3600k"}) {
    SCOPED_TRACE(size);
    const fs::path at = box.root / (std::string("disk-") + size);
    SmallDisk disk(at, size);
    ASSERT_TRUE(disk.mounted());
    const fs::path root = at / "inst";
    MakeInstallation(root);
    ProgramRun forced = Convert(root, {"--no-space-check"});
    if (forced.exit_code != 0) {
      ++stopped;
      ExpectStoppedHonestly(forced, 1, "disco cheio");
    }
    ASSERT_TRUE(disk.Grow("64m"));
    ProgramRun rerun = Convert(root);
    EXPECT_EQ(rerun.exit_code, 0) << rerun.err;
    EXPECT_EQ(State(root), reference);
  }
  EXPECT_GE(stopped, 3);
}

}  // namespace
