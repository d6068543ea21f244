// The shared record reader, writer and patcher, and the conversion log.
#include <gtest/gtest.h>

#include <optional>

#include "platform/files.h"
#include "steps/conv_log.h"
#include "platform/format.h"
#include "store/record_io.h"
#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using store::RecordPatcher;
using store::RecordReader;
using store::RecordWriter;
using vektest::Pad;

class RecordIoTest : public vektest::SandboxTest {};

TEST_F(RecordIoTest, ReaderTakesWholeRecordsWhateverBytesTheyHold) {
  // Record 1 holds a line feed, a CR LF pair and a Ctrl-Z; record 2 is deleted;
  // the last record is cut short.
  std::string rec0 = "AAAA      ";
  std::string rec1 = "B\nC\r\nD\x1A" "EF ";
  std::string rec2 = "CCCCCCCCC+";
  box.Write("F.DAT", rec0 + rec1 + rec2 + "DDDDD");
  RecordReader in("f.dat", 10);
  ASSERT_TRUE(in);
  ASSERT_TRUE(in.Load(1));
  EXPECT_EQ(in.bytes(), rec1);
  EXPECT_EQ(in.Field(2, 3), "C\r\n");
  EXPECT_EQ(in.Trimmed(5, 5), "D\x1A" "EF");
  EXPECT_FALSE(in.deleted());
  ASSERT_TRUE(in.Load(2));
  EXPECT_TRUE(in.deleted());
  ASSERT_TRUE(in.Load(0));
  EXPECT_EQ(in.Trimmed(0, 10), "AAAA");
  ASSERT_TRUE(in.Load(3));
  EXPECT_EQ(in.bytes(), "DDDDD");
  EXPECT_EQ(in.Field(3, 5), "DD");
  EXPECT_EQ(in.Field(8, 2), "");
  EXPECT_EQ(in.At(9), ' ');
  EXPECT_FALSE(in.deleted());
  EXPECT_FALSE(in.Load(4));

  RecordReader missing("NONE.DAT", 10);
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.Load(0));
}

TEST_F(RecordIoTest, WriterKeepsEveryRecordAtItsLengthAndNamesTheFileOnlyWhenDone) {
  {
    RecordWriter out("NEW.DAT", RecordWriter::Mode::kCreate);
    ASSERT_TRUE(out);
    out.Put("abc", 5).PutRight("7", 3).Put("too long for it", 4).Spaces(2).Put(platform::Format("%05ld", 42L), 5);
    EXPECT_TRUE(out.EndRecord());
    out.Put("x", 19);
    EXPECT_TRUE(out.EndRecord());
    // Until it is closed the file does not exist under its name.
    EXPECT_FALSE(box.Exists("NEW.DAT"));
    EXPECT_TRUE(out.Close());
  }
  EXPECT_EQ(box.Read("NEW.DAT"), "abc    7too   00042" + Pad("x", 19));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"NEW.DAT"}));

  // Appending to the existing file (under another spelling) writes behind it.
  {
    RecordWriter out("new.dat", RecordWriter::Mode::kAppend);
    out.Put("more", 6).EndRecord();
    EXPECT_TRUE(out.Close());
  }
  EXPECT_EQ(box.Read("NEW.DAT"), "abc    7too   00042" + Pad("x", 19) + "more  ");

  // Creating replaces; a text-mode line file writes CR LF.
  {
    RecordWriter out("NEW.DAT", RecordWriter::Mode::kCreate, true);
    out.Raw("one\ntwo\n").EndRecord();
    EXPECT_TRUE(out.Close());
  }
  EXPECT_EQ(box.Read("NEW.DAT"), "one\r\ntwo\r\n");
}

TEST_F(RecordIoTest, WriterKeepsTheReplacedFileUnderAFreeName) {
  box.Write("F.DAT", "first");
  {
    RecordWriter out("F.DAT", RecordWriter::Mode::kCreate);
    out.Put("second", 6).EndRecord();
    EXPECT_TRUE(out.Close("F.BAK"));
  }
  EXPECT_EQ(box.Read("F.DAT"), "second");
  EXPECT_EQ(box.Read("F.BAK"), "first");
  // The name is taken now: the replaced file is deleted, the backup stays.
  {
    RecordWriter out("F.DAT", RecordWriter::Mode::kCreate);
    out.Put("third", 5).EndRecord();
    EXPECT_TRUE(out.Close("F.BAK"));
  }
  EXPECT_EQ(box.Read("F.DAT"), "third");
  EXPECT_EQ(box.Read("F.BAK"), "first");
  EXPECT_EQ(box.List(), (std::vector<std::string>{"F.BAK", "F.DAT"}));
}

TEST_F(RecordIoTest, WriterLeavesAReadOnlyTargetAsItWasAndSaysSo) {
  box.Write("RO.DAT", "old");
  platform::SetReadOnly("RO.DAT", true);
  try {
    RecordWriter out("RO.DAT", RecordWriter::Mode::kCreate);
    ADD_FAILURE() << "a read-only file was opened to be replaced";
  } catch (const store::FileError& e) {
    EXPECT_EQ(e.name(), "RO.DAT");
    EXPECT_EQ(e.error().kind, platform::ErrorKind::kDenied);
  }
  EXPECT_EQ(box.Read("RO.DAT"), "old");
  EXPECT_EQ(box.List(), (std::vector<std::string>{"RO.DAT"}));
}

TEST_F(RecordIoTest, NoFileIsWrittenPastTheTwoGigabytesADataFileMayHave) {
  // A file 20 bytes short of the limit (sparse: it takes no room).
  box.Write("BIG.DAT", "");
  vektest::fs::resize_file(box.Path("BIG.DAT"), 2'000'000'000 - 20);
  RecordWriter out("BIG.DAT", RecordWriter::Mode::kAppend);
  out.Put("exactly twenty bytes", 20);
  EXPECT_TRUE(out.EndRecord());  // up to the limit itself
  out.Put("x", 1);
  try {
    out.EndRecord();
    ADD_FAILURE() << "written past the limit";
  } catch (const store::FileError& e) {
    EXPECT_EQ(e.error().kind, platform::ErrorKind::kTooLarge);
    EXPECT_EQ(e.name(), "BIG.DAT");
  }
}

TEST_F(RecordIoTest, AWriterDroppedWithoutCloseLeavesTheFileAsItFoundIt) {
  box.Write("OLD.DAT", "old");
  for (bool in_changes : {false, true}) {
    SCOPED_TRACE(in_changes ? "in a change set" : "straight on the files");
    {
      std::optional<store::ChangeSet> changes;
      if (in_changes) changes.emplace();
      {
        RecordWriter made("NEW.DAT", RecordWriter::Mode::kCreate);
        made.Put("half", 4).EndRecord();
        RecordWriter replaced("OLD.DAT", RecordWriter::Mode::kCreate);
        replaced.Put("half", 4).EndRecord();
        RecordWriter appended("OLD.DAT", RecordWriter::Mode::kAppend);
        appended.Put("half", 4).EndRecord();
        RecordWriter appended_new("APP.DAT", RecordWriter::Mode::kAppend);
        appended_new.Put("half", 4).EndRecord();
      }
      if (changes) changes->Commit();
    }
    EXPECT_EQ(box.List(), (std::vector<std::string>{"OLD.DAT"}));
    EXPECT_EQ(box.Read("OLD.DAT"), "old");
  }
}

TEST_F(RecordIoTest, PatcherChangesOnlyWhatItSetsAcrossManyRecords) {
  // 700 records of 1000 bytes span several read windows.
  std::string file;
  for (int i = 0; i < 700; ++i) file += Pad(platform::Format("%05d", i), 999) + (i % 7 == 3 ? "+" : " ");
  box.Write("BIG.DAT", file + "tail");
  platform::SetReadOnly("BIG.DAT", true);
  {
    RecordPatcher p("BIG.DAT", 1000);
    ASSERT_TRUE(p);
    for (std::int64_t i = 0; p.Load(i); ++i) {
      if (p.deleted()) continue;
      if (p.bytes().size() < 1000) {
        p.Set(10, "short", 5);  // completes the cut record with spaces up to the field
        continue;
      }
      p.Set(500, p.Field(0, 5), 10);
    }
  }
  std::string expected;
  for (int i = 0; i < 700; ++i) {
    std::string rec = Pad(platform::Format("%05d", i), 999) + (i % 7 == 3 ? "+" : " ");
    if (i % 7 != 3) rec.replace(500, 10, Pad(platform::Format("%05d", i), 10));
    expected += rec;
  }
  expected += "tail      short";
  EXPECT_EQ(box.Read("BIG.DAT"), expected);
  EXPECT_FALSE(platform::IsReadOnly("BIG.DAT"));
}

TEST_F(RecordIoTest, PatcherAsksBeforeEveryWriteAndKeepsTheFileWhenRefused) {
  // 600 records of 1000 bytes: three windows. The hook lets the first write
  // through and refuses the second; from then on nothing reaches the file.
  std::string file;
  for (int i = 0; i < 600; ++i) file += Pad(platform::Format("%05d", i), 1000);
  box.Write("BIG.DAT", file);
  int asked = 0;
  std::int64_t first_unwritten = -1;  // the record being loaded at the first write
  bool refused = false;
  {
    RecordPatcher p("BIG.DAT", 1000);
    p.BeforeStore([&] {
      if (++asked == 1) first_unwritten = p.index();
      return asked == 1;
    });
    for (std::int64_t i = 0; p.Load(i) && !p.store_refused(); ++i) p.Set(900, "x");
    refused = p.store_refused();
    EXPECT_FALSE(p.Close());
  }
  EXPECT_TRUE(refused);
  EXPECT_EQ(asked, 2);
  ASSERT_GT(first_unwritten, 0);
  ASSERT_LT(first_unwritten, 600);
  std::string expected;
  for (int i = 0; i < 600; ++i) {
    std::string rec = Pad(platform::Format("%05d", i), 1000);
    if (i < first_unwritten) rec[900] = 'x';
    expected += rec;
  }
  EXPECT_EQ(box.Read("BIG.DAT"), expected);
}

class ConvLogTest : public vektest::SandboxTest {};

TEST_F(ConvLogTest, MarksEachIdOnceAndFindsLinesByPrefixWithoutRegardToCase) {
  EXPECT_EQ(steps::ConvDone("530"), 0);
  EXPECT_EQ(steps::ConvMark("530"), 0);
  EXPECT_EQ(box.Read("CONV.DAT"), "530\r\n");
  EXPECT_EQ(steps::ConvMark("530"), 1);
  EXPECT_EQ(box.Read("CONV.DAT"), "530\r\n");
  EXPECT_EQ(steps::ConvDone("530"), 1);
  EXPECT_EQ(steps::ConvDone("543"), 0);

  box.Write("CONV.DAT", "5591\r\nabc\r\n");
  EXPECT_EQ(steps::ConvDone("559"), 1);
  EXPECT_EQ(steps::ConvDone("ABC"), 1);
  EXPECT_EQ(steps::ConvDone("53"), 0);

  // A read-only log is made writable for the append.
  platform::SetReadOnly("CONV.DAT", true);
  EXPECT_EQ(steps::ConvMark("544"), 0);
  EXPECT_EQ(box.Read("CONV.DAT"), "5591\r\nabc\r\n544\r\n");
}

class StepInputTest : public vektest::SandboxTest {};

TEST_F(StepInputTest, CountsEachFileAStepReadsOnceAndNoneItHasMade) {
  // 4.35 reads F10R3.DAT for two tables and the folder REG01, all twice.
  box.Write("F10R3.DAT", std::string(1501, 'a'));
  box.Write("REG01/A.DAT", std::string(79, 'b'));
  box.Write("REG01/B.DAT", std::string(158, 'c'));
  EXPECT_EQ(steps::StepInputBytes(5), 2 * (1501 + 79 + 158));
  // Both of its tables made: F10R3.DAT is not read again.
  box.Write("F22.DAT", "");
  box.Write("F10R4.DAT", "");
  EXPECT_EQ(steps::StepInputBytes(5), 2 * (79 + 158));
  // The import reads what the legacy folder holds and the data folder lacks.
  box.Write(box.root / "Glebrium" / "F13.DAT", std::string(478, 'd'));
  box.Write(box.root / "Glebrium" / "F10R3.DAT", std::string(9, 'e'));
  EXPECT_EQ(steps::StepInputBytes(0), 478);
}

}  // namespace
