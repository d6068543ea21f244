#include <filesystem>
#include <string>
#include <vector>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using vektest::SandboxTest;

class StepImportTest : public SandboxTest {
 protected:
  fs::path Legacy(const fs::path& rel) const { return box.root / "Glebrium" / rel; }
};

TEST_F(StepImportTest, CopiesMissingDataFilesOfTheFolderAndOfSameNamedPlainSubfolders) {
  box.Write(Legacy("F10.DAT"), "legacy F10");
  box.Write(Legacy("f11.dat"), "legacy F11");
  box.Write(Legacy("notes.txt"), "not data");
  box.Write(Legacy("REG/RM1.DAT"), "legacy RM1");
  box.Write(Legacy("REG/RM2.DAT"), "legacy RM2");
  box.Write(Legacy("REG/DEEP/X.DAT"), "too deep");
  box.Write(Legacy("OLD/F1.DAT"), "no such folder in the data folder");
  box.Write(Legacy(".cache/A.DAT"), "hidden folder");
  box.Write(Legacy("LOCKED/A.DAT"), "read-only folder");

  box.Write("F10.DAT", "current F10");
  box.Write("reg/RM2.DAT", "current RM2");
  box.MakeFolder(".cache");
  box.MakeFolder("LOCKED");
  fs::permissions(box.Path("LOCKED"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);

  for (int run = 0; run < 2; ++run) {
    steps::ImportLegacyFolder(ui);

    EXPECT_EQ(box.Read("F10.DAT"), "current F10");
    EXPECT_EQ(box.Read("f11.dat"), "legacy F11");
    EXPECT_EQ(box.Read("reg/RM1.DAT"), "legacy RM1");
    EXPECT_EQ(box.Read("reg/RM2.DAT"), "current RM2");
    EXPECT_EQ(box.List("."), (std::vector<std::string>{".cache", "F10.DAT", "LOCKED", "f11.dat", "reg"}));
    EXPECT_EQ(box.List("reg"), (std::vector<std::string>{"RM1.DAT", "RM2.DAT"}));
    EXPECT_TRUE(box.List(".cache").empty());
#ifndef _WIN32  // wine reports no read-only attribute for a folder
    EXPECT_TRUE(box.List("LOCKED").empty());
#endif
  }
  EXPECT_EQ(box.Read(Legacy("F10.DAT")), "legacy F10");  // the legacy folder is only read
  EXPECT_TRUE(ui.statuses.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StepImportTest, WithoutLegacyFolderNothingChanges) {
  box.Write("F10.DAT", "current F10");
  box.MakeFolder("REG");
  steps::ImportLegacyFolder(ui);
  EXPECT_EQ(box.List("."), (std::vector<std::string>{"F10.DAT", "REG"}));
  EXPECT_TRUE(box.List("REG").empty());
  EXPECT_FALSE(fs::exists(Legacy("")));
}

}  // namespace
