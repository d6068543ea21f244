#include <cstdlib>
#include <limits>

#include "store/housekeeping.h"
#include "tests/store_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

class HousekeepingTest : public vektest::SandboxTest {};

TEST_F(HousekeepingTest, TransferFolderCopiesDataFilesWithoutOverwriting) {
  box.Write("OLD/F10.DAT", "old f10");
  box.Write("OLD/F11.dat", "old f11");
  box.Write("OLD/NOTES.TXT", "notes");
  box.Write("OLD/SUB/F12.DAT", "sub");
  box.Write("NEW/F10.DAT", "new f10");

  store::TransferFolder("OLD", "NEW", store::kTransferCopy);
  EXPECT_EQ(box.List("NEW"), (Names{"F10.DAT", "F11.dat"}));
  EXPECT_EQ(box.Read("NEW/F10.DAT"), "new f10");
  EXPECT_EQ(box.Read("NEW/F11.dat"), "old f11");
  EXPECT_EQ(box.List("OLD"), (Names{"F10.DAT", "F11.dat", "NOTES.TXT", "SUB"}));

  // Into a missing folder: created; from a missing folder: nothing at all.
  store::TransferFolder("OLD", "FRESH", store::kTransferCopy);
  EXPECT_EQ(box.List("FRESH"), (Names{"F10.DAT", "F11.dat"}));
  store::TransferFolder("NOWHERE", "OTHER", store::kTransferCopy);
  EXPECT_FALSE(box.Exists("OTHER"));
}

TEST_F(HousekeepingTest, TransferFolderMoveRenamesTheFolderOrResolvesClashesWithNumberedNames) {
  box.Write("R08/F10.DAT", "moved whole");
  box.Write("R08/X.TXT", "x");
  box.Write("R08/SUB/Y.DAT", "y");
  store::TransferFolder("R08", "R09", store::kTransferMove);
  EXPECT_FALSE(box.Exists("R08"));
  EXPECT_EQ(box.List("R09"), (Names{"F10.DAT", "SUB", "X.TXT"}));
  EXPECT_EQ(box.Read("R09/SUB/Y.DAT"), "y");

  // Onto a folder that already has F10.DAT (and F10.DAT.001).
  box.Write("A/F10.DAT", "a f10");
  box.Write("A/F11.DAT", "a f11");
  box.Write("B/F10.DAT", "b f10");
  box.Write("B/F10.DAT.001", "b f10 001");
  store::TransferFolder("A", "B", store::kTransferMove);
  EXPECT_FALSE(box.Exists("A"));
  EXPECT_EQ(box.List("B"), (Names{"F10.DAT", "F10.DAT.001", "F10.DAT.002", "F11.DAT"}));
  EXPECT_EQ(box.Read("B/F10.DAT"), "b f10");
  EXPECT_EQ(box.Read("B/F10.DAT.002"), "a f10");
  EXPECT_EQ(box.Read("B/F11.DAT"), "a f11");

  // What is not a data file keeps the source folder.
  box.Write("C/F10.DAT", "c f10");
  box.Write("C/KEEP.TXT", "keep");
  store::TransferFolder("C", "B", store::kTransferMove);
  EXPECT_EQ(box.List("C"), (Names{"KEEP.TXT"}));
  EXPECT_EQ(box.Read("B/F10.DAT.001"), "b f10 001");
  EXPECT_EQ(box.Read("B/F10.DAT.003"), "c f10");
}

TEST_F(HousekeepingTest, MoveToTempUsesNumberedNamesAndFallsBackToCTemp) {
  const vektest::fs::path target = box.temp / "Zelk" / "Vek";
  store::MoveToTemp("F31.DAT", "Zelk\\Vek");
  EXPECT_TRUE(box.List(box.temp).empty());

  box.Write("F31.DAT", "first");
  store::MoveToTemp("F31.DAT", "Zelk\\Vek");
  box.Write("F31.DAT", "second");
  store::MoveToTemp("f31.dat", "Zelk\\Vek");
  box.Write("REG01/F1.DAT", "folder");
  store::MoveToTemp("REG01", "Zelk\\Vek");
  EXPECT_EQ(box.List(), Names{});
  EXPECT_EQ(box.List(target), (Names{"F31.DAT", "REG01", "f31.dat.001"}));
  EXPECT_EQ(box.Read(target / "F31.DAT"), "first");
  EXPECT_EQ(box.Read(target / "f31.dat.001"), "second");
  EXPECT_EQ(box.Read(target / "REG01" / "F1.DAT"), "folder");

  // A temporary folder path of 156 characters or more is not used.
  const std::string long_temp = (box.temp / std::string(160, 't')).string() + "/";
  vektest::SetEnv(vektest::kTempVariable, long_temp);
  box.Write("F32.DAT", "fallback");
  store::MoveToTemp("F32.DAT", "Zelk\\Vek");
  EXPECT_EQ(box.Read(box.root / "Temp" / "Zelk" / "Vek" / "F32.DAT"), "fallback");
  EXPECT_FALSE(box.Exists("F32.DAT"));
}

TEST_F(HousekeepingTest, CopyAndDeleteIgnoreTheReadOnlyAttribute) {
  box.Write("C04B.DAT", "backup");
  box.Write("C04.DAT", "current");
  storetest::MakeReadOnly(box, "C04.DAT");
  EXPECT_EQ(store::CopyDataFile("C04B.DAT", "C04.DAT", true), 0);
  EXPECT_EQ(box.Read("C04.DAT"), "current");
  EXPECT_NE(store::CopyDataFile("C04B.DAT", "C04.DAT", false), 0);
  EXPECT_EQ(box.Read("C04.DAT"), "backup");
  EXPECT_EQ(store::CopyDataFile("MISSING.DAT", "NEW.DAT", false), 0);
  EXPECT_FALSE(box.Exists("NEW.DAT"));

  storetest::MakeReadOnly(box, "C04.DAT");
  EXPECT_EQ(store::DeleteDataFile("C04.DAT"), 0);
  EXPECT_FALSE(box.Exists("C04.DAT"));
  EXPECT_NE(store::DeleteDataFile("C04.DAT"), 0);
}

TEST_F(HousekeepingTest, FindImageFileTriesTheExtensionsInOrder) {
  box.Write("X01/26/77-540.bmp", "b");
  box.Write("X01/26/77-540.JPG", "j");
  std::string name = "X01\\26\\77-540";
  EXPECT_TRUE(store::FindImageFile(name));
  EXPECT_EQ(name, "X01\\26\\77-540.jpg");

  box.Write("X01/26/.hidden.gif", "g");
  storetest::MakeReadOnly(box, "X01/26/.hidden.gif");
  name = "X01\\26\\.hidden";
  EXPECT_TRUE(store::FindImageFile(name));
  EXPECT_EQ(name, "X01\\26\\.hidden.gif");

  name = "X01\\26\\none";
  EXPECT_FALSE(store::FindImageFile(name));
  EXPECT_EQ(name, "X01\\26\\none.bmp");
}

TEST_F(HousekeepingTest, ReadRecordNumberGivesZeroForWhatIsNoUsableNumber) {
  const std::size_t n = 12;
  box.Write("CONFIGA.DAT", vektest::Fields({{"  42xyz", n},
                                            {"999999998", n},
                                            {"999999999", n},
                                            {"-5", n},
                                            {"none", n},
                                            {"99999999999999999999999", n},
                                            {"7\n8", n}}));
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 0, n), 42);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 1, n), 999999998);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 2, n), 0);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 3, n), 0);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 4, n), 0);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 5, n), 0);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 6, n), 7);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 7, n), 0);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", std::numeric_limits<long>::max(), n), 0);
  EXPECT_EQ(store::ReadRecordNumber("MISSING.DAT", 0, n), 0);
  EXPECT_EQ(store::ReadRecordNumber("CONFIGA.DAT", 0, 0), 0);

  box.Write("NUM.DAT", "99999999999999999999999");
  EXPECT_EQ(store::ReadRecordNumber("NUM.DAT", 0, 23), 0);
}

}  // namespace
