// A step's changes held back until it commits: what the step sees meanwhile,
// what the files look like before and after, and the completion of a commit
// that was interrupted.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "store/changes.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;

class ChangesTest : public vektest::SandboxTest {
 protected:
  // Every file below the folder with its bytes, and every folder (as "name/").
  std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
      const std::string rel = fs::relative(e.path(), folder).generic_string();
      if (e.is_directory()) {
        out[rel + "/"] = "";
      } else {
        out[rel] = box.Read(e.path());
      }
    }
    return out;
  }

  std::map<std::string, std::string> Everything() {
    auto data = Tree(box.data);
    for (const auto& [k, v] : Tree(box.temp)) data["TEMP:" + k] = v;
    for (const auto& [k, v] : Tree(box.root / "Zelk" / "Fotos")) data["FOTOS:" + k] = v;
    return data;
  }

  static void WriteStaged(const std::string& name, const std::string& bytes) {
    store::StagedFile f(name, store::StagedFile::Start::kEmpty);
    platform::Stream out = platform::Stream::Open(f.path(), "wb");
    ASSERT_TRUE(out.Write(bytes) && out.Close());
    f.Keep();
  }

  static std::string ReadThrough(const std::string& name) {
    platform::Stream in = store::OpenExisting(name);
    std::string bytes(4096, '\0');
    bytes.resize(in ? in.ReadRaw(bytes.data(), bytes.size()) : 0);
    return bytes;
  }

  static std::vector<std::string> Names(const std::string& pattern) {
    std::vector<std::string> out;
    for (const platform::FindEntry& e : store::FindFiles(pattern)) out.push_back(e.name);
    return out;
  }

  // The old installation every test starts from.
  void MakeFiles() {
    box.Write("KEEP.DAT", "keep");
    box.Write("OLD.DAT", "old");
    box.Write("GONE.DAT", "gone");
    box.Write("REG/RM1.DAT", "one");
    box.Write("REG/RM2.DAT", "two");
    box.Write(box.root / "Zelk" / "Fotos" / "Vek" / "540" / "7-540.jpg", "JPEG");
  }

  // The changes of a step that touches every kind of entry.
  void MakeChanges() {
    WriteStaged("NEW.DAT", "new");
    WriteStaged("old.dat", "replaced");  // the file keeps its own spelling
    ASSERT_TRUE(store::MoveFile("OLD.DAT", "OLD.BAK"));  // after the rewrite: the new content moves
    ASSERT_TRUE(store::DeleteFile("GONE.DAT"));
    ASSERT_TRUE(store::CreateFolder("R50"));
    WriteStaged("R50\\77.DAT", "seventy-seven");
    {
      store::StagedFile appended("REG\\RM2.DAT", store::StagedFile::Start::kCurrent);
      platform::Stream out = platform::Stream::Open(appended.path(), "ab");
      ASSERT_TRUE(out.Write("+more") && out.Close());
      appended.Keep();
    }
    // The photo folder moves in, and a photo and a folder inside it are renamed.
    ASSERT_TRUE(store::MoveFile("..\\Fotos\\Vek", "X01"));
    ASSERT_TRUE(store::RemoveFolder("..\\Fotos"));
    ASSERT_TRUE(store::MoveFile("X01\\540", "X01\\26"));
    ASSERT_TRUE(store::MoveFile("X01\\26\\7-540.jpg", "X01\\26\\7-1.jpg"));
    // A folder goes to the temporary folder.
    ASSERT_TRUE(store::CreateFolder(box.temp.string() + "/Zelk"));
    ASSERT_TRUE(store::MoveFile("REG", box.temp.string() + "/Zelk/REG"));
  }

  std::map<std::string, std::string> Expected() {
    return {
        {"KEEP.DAT", "keep"},
        {"NEW.DAT", "new"},
        {"OLD.BAK", "replaced"},
        {"R50/", ""},
        {"R50/77.DAT", "seventy-seven"},
        {"X01/", ""},
        {"X01/26/", ""},
        {"X01/26/7-1.jpg", "JPEG"},
        {"TEMP:Zelk/", ""},
        {"TEMP:Zelk/REG/", ""},
        {"TEMP:Zelk/REG/RM1.DAT", "one"},
        {"TEMP:Zelk/REG/RM2.DAT", "two+more"},
    };
  }
};

TEST_F(ChangesTest, AStepSeesItsOwnChangesWhileTheFilesStayAsTheyWereUntilItCommits) {
  MakeFiles();
  const auto before = Everything();
  store::ChangeSet changes;
  MakeChanges();

  // The step's view.
  EXPECT_TRUE(store::Exists("new.dat"));
  EXPECT_EQ(ReadThrough("NEW.DAT"), "new");
  EXPECT_EQ(ReadThrough("OLD.BAK"), "replaced");
  EXPECT_FALSE(store::Exists("OLD.DAT"));
  EXPECT_FALSE(store::Exists("GONE.DAT"));
  EXPECT_FALSE(store::OpenExisting("GONE.DAT"));
  EXPECT_EQ(store::FileSize("R50\\77.DAT"), 13);
  EXPECT_TRUE(store::IsFolder("x01\\26"));
  EXPECT_EQ(ReadThrough("X01\\26\\7-1.jpg"), "JPEG");
  EXPECT_FALSE(store::Exists("X01\\540"));
  EXPECT_FALSE(store::Exists("..\\Fotos"));
  EXPECT_EQ(ReadThrough(box.temp.string() + "/Zelk/REG/RM2.DAT"), "two+more");
  EXPECT_FALSE(store::Exists("REG\\RM1.DAT"));
  // Searches list what the step made and not what it removed, nor the
  // converter's own staging folder.
  EXPECT_EQ(Names("*.DAT"), (std::vector<std::string>{"KEEP.DAT", "NEW.DAT"}));
  EXPECT_EQ(Names("*"), (std::vector<std::string>{".", "..", "KEEP.DAT", "NEW.DAT", "OLD.BAK", "R50", "X01"}));
  EXPECT_EQ(Names("X01\\26\\*"), (std::vector<std::string>{".", "..", "7-1.jpg"}));
  EXPECT_EQ(Names(box.temp.string() + "/Zelk/REG/RM*.DAT"), (std::vector<std::string>{"RM1.DAT", "RM2.DAT"}));
  // What the step's view refuses, as the file system would.
  EXPECT_FALSE(store::MoveFile("KEEP.DAT", "NEW.DAT"));
  EXPECT_FALSE(store::CreateFolder("R50"));
  EXPECT_FALSE(store::CreateFolder("NOWHERE\\SUB"));
  EXPECT_FALSE(store::RemoveFolder("X01"));
  EXPECT_FALSE(store::DeleteFile("GONE.DAT"));

  // Nothing of it has reached the files but the staged copies.
  auto now = Everything();
  std::erase_if(now, [](const auto& e) { return e.first.rfind("VEKCONV.STG", 0) == 0; });
  EXPECT_EQ(now, before);

  changes.Commit();
  EXPECT_EQ(Everything(), Expected());
}

TEST_F(ChangesTest, ADroppedChangeSetLeavesTheFilesAsTheyWere) {
  MakeFiles();
  const auto before = Everything();
  {
    store::ChangeSet changes;
    MakeChanges();
  }
  EXPECT_EQ(Everything(), before);
}

TEST_F(ChangesTest, AnInterruptedCommitIsCompletedAndCompletingItAgainChangesNothing) {
  MakeFiles();
  {
    store::ChangeSet changes;
    MakeChanges();
    // Another program puts a file where the commit makes a folder: the commit
    // stops after it moved the replaced and moved entries aside.
    box.Write("R50", "in the way");
    EXPECT_THROW(changes.Commit(), store::FileError);
  }
  EXPECT_TRUE(box.Exists(store::kJournal));
  EXPECT_FALSE(box.Exists("OLD.DAT"));  // moved aside, not lost
  EXPECT_TRUE(box.Exists("VEKCONV.STG"));

  // The journal cannot be completed while the obstacle stays; it stays too.
  EXPECT_THROW(store::FinishInterruptedCommit(), store::FileError);
  EXPECT_TRUE(box.Exists(store::kJournal));

  fs::remove(box.Path("R50"));
  store::FinishInterruptedCommit();
  EXPECT_EQ(Everything(), Expected());
  store::FinishInterruptedCommit();
  EXPECT_EQ(Everything(), Expected());
}

TEST_F(ChangesTest, StagedFilesWithoutAJournalAreLeftoversAndGo) {
  MakeFiles();
  const auto before = Everything();
  box.Write("VEKCONV.STG/S0000001", "half a file");
  box.Write("VEKCONV.STG/.S0000002.vekcopy-1-1", "half a copy");
  box.Write("VEKCONV.JN~", "a journal that was never finished");
  store::FinishInterruptedCommit();
  EXPECT_EQ(Everything(), before);
}

TEST_F(ChangesTest, ADamagedJournalIsNotGuessedAt) {
  MakeFiles();
  box.Write(store::kJournal, "VEKCONV JOURNAL 1\nA KEEP.DAT\tVEKCONV.STG\\A0000001\n");  // no end
  EXPECT_THROW(store::FinishInterruptedCommit(), store::FileError);
  EXPECT_EQ(box.Read("KEEP.DAT"), "keep");
}

TEST_F(ChangesTest, AFolderWhereAFileIsExpectedIsPassedOverWithAWarningAndNotWrittenOver) {
  box.MakeFolder("F10R4.DAT");
  EXPECT_FALSE(store::OpenExisting("F10R4.DAT"));
  ASSERT_EQ(ui.warnings().size(), 1u);
  EXPECT_EQ(ui.warnings()[0].rfind("F10R4.DAT: \xE9 uma pasta", 0), 0u) << ui.warnings()[0];
  store::ChangeSet changes;
  EXPECT_FALSE(store::OpenExisting("F10R4.DAT"));
  EXPECT_EQ(ui.warnings().size(), 1u);  // told once
  EXPECT_THROW(WriteStaged("F10R4.DAT", "x"), store::FileError);
}

TEST_F(ChangesTest, ACopyStagedForChangesIsTakenBackWhenItsWriterDropsIt) {
  box.Write("F34.DAT", "counters");
  box.Write("GONE.DAT", "gone");
  store::ChangeSet changes;
  ASSERT_TRUE(store::DeleteFile("GONE.DAT"));
  {
    store::StagedFile f34("F34.DAT", store::StagedFile::Start::kCurrent);
    store::StagedFile gone("GONE.DAT", store::StagedFile::Start::kCurrent);  // made anew, empty
    EXPECT_TRUE(store::Exists("GONE.DAT"));
  }
  EXPECT_FALSE(store::Exists("GONE.DAT"));
  changes.Commit();
  EXPECT_EQ(box.List(), std::vector<std::string>{"F34.DAT"});
  EXPECT_EQ(box.Read("F34.DAT"), "counters");
}

}  // namespace
