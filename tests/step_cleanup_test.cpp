#include <string>
#include <vector>

#include "platform/files.h"
#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using Names = std::vector<std::string>;

class CleanupStep : public vektest::SandboxTest {
 protected:
  std::filesystem::path Retired() const { return box.temp / "Zelk" / "Vek"; }
};

std::string Counter(std::string_view part1, std::string_view part2, std::string_view value, char flag = ' ') {
  return Fields({{part1, 10}, {part2, 10}, {value, 9}}) + flag;
}

TEST_F(CleanupStep, DeletesOldFilesAndRetiresConvertedOnes) {
  for (const char* name : {"Acc001.dat", "CONFIG4.DAT", "d22b.den", "glbprod.exe", "glb03.gid", "F16.dat"}) {
    box.Write(name, "old");
  }
  box.Write("F23.dat", "read-only");
  platform::SetReadOnly("F23.dat", true);
  box.Write("Conf10.dat", "conf");
  box.Write("F10R3.DAT", "f10r3");
  box.Write("F31.DAT", "first");
  box.Write("REG/RM2001.DAT", "history");
  box.Write("REG/SUB/X.DAT", "x");
  box.MakeFolder("Temp");
  const std::string counters = Counter("CAD", "60C", "5") + Counter("FIN", "61B", "7");
  box.Write("F34.DAT", counters);
  box.Write("F10R4.DAT", "current");
  box.Write("FTEL1.DAT", "");

  steps::CleanupObsoleteFiles(ui);

  EXPECT_EQ(box.List(), (Names{"F10R4.DAT", "F23.dat", "F34.DAT", "FTEL1.DAT"}));
  EXPECT_EQ(box.Read("F34.DAT"), counters);
  EXPECT_EQ(box.List(Retired()), (Names{"Conf10.dat", "F10R3.DAT", "F31.DAT", "REG", "Temp"}));
  EXPECT_EQ(box.Read(Retired() / "F31.DAT"), "first");
  EXPECT_EQ(box.Read(Retired() / "REG" / "RM2001.DAT"), "history");
  EXPECT_EQ(box.Read(Retired() / "REG" / "SUB" / "X.DAT"), "x");

  // A later conversion that finds F31.DAT again keeps both.
  box.Write("F31.DAT", "second");
  steps::CleanupObsoleteFiles(ui);
  EXPECT_EQ(box.List(), (Names{"F10R4.DAT", "F23.dat", "F34.DAT", "FTEL1.DAT"}));
  EXPECT_EQ(box.Read(Retired() / "F31.DAT"), "first");
  EXPECT_EQ(box.Read(Retired() / "F31.DAT.001"), "second");
  EXPECT_TRUE(ui.messages.empty());
  // The read-only file that stayed is told of (once, though both runs met it).
  EXPECT_EQ(ui.warnings(),
            (Names{"F23.dat: est\xE1" " marcado como somente leitura e n\xE3" "o foi exclu\xED" "do."}));
}

TEST_F(CleanupStep, MovesReportFoldersToTheirNewNames) {
  box.Write("R01/A.DAT", "r01 a");
  box.Write("R01/notes.txt", "text");
  box.Write("R01/SUB/Y.DAT", "y");
  box.Write("R02/A.DAT", "r02 a");
  box.Write("R02/B.DAT", "r02 b");
  box.Write("R02/readme.txt", "stays");
  box.Write("R29/A.DAT", "r29 a");
  box.Write("R05/C.DAT", "r05 c");
  box.MakeFolder("R50");
  box.Write("R06", "a file, not a folder");

  steps::CleanupObsoleteFiles(ui);

  // R33 absent: R01 becomes R33 with everything in it.
  EXPECT_FALSE(box.Exists("R01"));
  EXPECT_EQ(box.List("R33"), (Names{"A.DAT", "SUB", "notes.txt"}));
  EXPECT_EQ(box.Read("R33/SUB/Y.DAT"), "y");
  // R29 present: the data files move in, a taken name gets a number, and R02
  // stays with what is left.
  EXPECT_EQ(box.List("R29"), (Names{"A.DAT", "A.DAT.001", "B.DAT"}));
  EXPECT_EQ(box.Read("R29/A.DAT"), "r29 a");
  EXPECT_EQ(box.Read("R29/A.DAT.001"), "r02 a");
  EXPECT_EQ(box.List("R02"), (Names{"readme.txt"}));
  // Emptied by the move, R05 goes.
  EXPECT_FALSE(box.Exists("R05"));
  EXPECT_EQ(box.List("R50"), (Names{"C.DAT"}));
  EXPECT_EQ(box.Read("R06"), "a file, not a folder");
  EXPECT_FALSE(box.Exists("R64"));
}

TEST_F(CleanupStep, RemovesTheObsoleteCounters) {
  box.Write("F34.DAT", Counter("CAD", "60b", "5") + Counter("CAD", "61B", "7") + Counter("FIN", "60B", "9") +
                           Counter("XYZ", "60B", "1", '+') + Counter("CAD", "60B", "3"));

  steps::CleanupObsoleteFiles(ui);

  // The last record fills each freed slot and is examined there too; a record
  // flagged deleted is passed over.
  EXPECT_EQ(box.Read("F34.DAT"), Counter("XYZ", "60B", "1", '+') + Counter("CAD", "61B", "7"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CleanupStep, AFolderWithoutListedNamesIsLeftAsItIs) {
  const std::string counters = Counter("CAD", "60", "5") + Counter("60B", "CAD", "7");
  box.Write("F34.DAT", counters);
  box.Write("F10R4.DAT", "current");
  steps::CleanupObsoleteFiles(ui);
  EXPECT_EQ(box.List(), (Names{"F10R4.DAT", "F34.DAT"}));
  EXPECT_EQ(box.Read("F34.DAT"), counters);
  EXPECT_FALSE(std::filesystem::exists(Retired()));
}

}  // namespace
