#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;
using vektest::SandboxTest;

// ---- 4.00 ----

class Step400Test : public SandboxTest {};

// An old f13/f14/f15 record of the given length; the flag is its last byte.
std::string Old13(std::size_t length, std::string_view f1, std::string_view f2, std::string_view f3,
                  std::string_view f4, char flag = ' ') {
  return Fields({{f1, 60}, {f2, 41}, {f3, 11}, {f4, 18}}) + Fill(length - 131, '.') + std::string(1, flag);
}

std::string New13(std::string_view f1, std::string_view f4, std::string_view f3, std::string_view type,
                  char flag = ' ') {
  return Fields({{f1, 217}, {f4, 151}, {f3, 400}, {type, 128}}) + std::string(1, flag);
}

TEST_F(Step400Test, JoinsTheThreeTablesWithTypeLettersAndDeletesThem) {
  box.Write("f13.dat", Old13(478, "Ana Lima", "ignored", "11111111111", "E-FOUR", ' ') +
                           Old13(478, "Rui Deleted", "x", "22222222222", "E-DEL", '+'));
  box.Write("F14.DAT", Old13(479, "Pedro", "pai", "33333333333", "p lower") +
                           Old13(479, "Xavier", "X-ray", "44444444444", "other") +
                           Old13(479, "Clara", "Cunhada", "55555555555", "c") +
                           Old13(479, "Marta", "mae", "66666666666", "m") + Old13(479, "Fabio", "f", "7", "f") +
                           Old13(479, "Blank", "", "8", "o"));
  // The last record is cut short inside field 3.
  box.Write("f15.dat", Old13(538, "Dora", "d", "99999999999", "D-FOUR") + Fields({{"Short", 60}, {"p", 41}}) + "123");

  steps::MigrateTo400(ui);

  EXPECT_EQ(box.Read("F13R0.DAT"),
            New13("Ana Lima", "E-FOUR", "11111111111", "E") + New13("Rui Deleted", "E-DEL", "22222222222", "E", '+') +
                New13("Pedro", "p lower", "33333333333", "P") + New13("Xavier", "other", "44444444444", "O") +
                New13("Clara", "c", "55555555555", "C") + New13("Marta", "m", "66666666666", "M") +
                New13("Fabio", "f", "7", "F") + New13("Blank", "o", "8", "O") +
                New13("Dora", "D-FOUR", "99999999999", "D") + New13("Short", "", "123", "D"));
  EXPECT_EQ(box.List(), std::vector<std::string>{"F13R0.DAT"});
  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Convertendo 4.00"});
}

TEST_F(Step400Test, GuardAndMissingOrEmptyFiles) {
  // Nothing to convert: nothing is created.
  steps::MigrateTo400(ui);
  EXPECT_TRUE(box.List().empty());

  // An empty old file gives an empty new file and goes.
  box.Write("f14.dat", "");
  steps::MigrateTo400(ui);
  EXPECT_EQ(box.List(), std::vector<std::string>{"F13R0.DAT"});
  EXPECT_EQ(box.Read("F13R0.DAT"), "");

  // With F13R0.DAT present the old files are left alone.
  const std::string f13 = Old13(478, "Late", "x", "1", "4");
  box.Write("F13R0.DAT", New13("Kept", "4", "3", "E"));
  box.Write("f13.dat", f13);
  steps::MigrateTo400(ui);
  EXPECT_EQ(box.Read("F13R0.DAT"), New13("Kept", "4", "3", "E"));
  EXPECT_EQ(box.Read("f13.dat"), f13);
  EXPECT_EQ(ui.statuses, std::vector<std::string>(3, "Convertendo 4.00"));
}

TEST_F(Step400Test, ANewFileThatCannotBeWrittenStopsTheStepAndTheOldFilesStay) {
  const std::string f13 = Old13(478, "Ana", "x", "1", "4");
  box.Write("f13.dat", f13);
  // The writer's work file cannot be made: a folder that is not empty has its name.
  box.Write("F13R0.DAT.~vk/x", "in the way");
  EXPECT_THROW(steps::MigrateTo400(ui), store::FileError);
  EXPECT_EQ(box.Read("f13.dat"), f13);
  EXPECT_FALSE(platform::Exists("F13R0.DAT"));
}

// ---- 4.31 ----

class Step431Test : public SandboxTest {};

// Field widths of a Conf11.dat / F18.DAT record (337 bytes).
constexpr std::size_t kF18Widths[] = {40, 18, 30, 15, 2, 18, 8, 2, 12, 4, 40, 40, 13, 2, 18, 40, 15, 2, 18};

std::string OldF18(const std::string& name, char flag = ' ') {
  std::string rec;
  for (std::size_t i = 0; i < std::size(kF18Widths); ++i) {
    std::string v = i == 0 ? name : std::string(1, static_cast<char>('a' + i)) + std::to_string(i + 1);
    rec += Pad(v, kF18Widths[i]);
  }
  rec.back() = flag;
  return rec;
}

TEST_F(Step431Test, Conf11BecomesF18R0WithNumbersSpacesAndFlag) {
  box.Write("Conf11.dat", OldF18("Primeiro") + OldF18("Apagado", '+') + OldF18("Terceiro"));

  steps::MigrateTo431(ui);

  // Where the new layout puts each old field.
  constexpr std::size_t kNewOffsets[] = {19,  60,  79,  110, 126, 129, 148, 157, 160, 173,
                                         178, 219, 260, 274, 277, 296, 337, 353, 356};
  auto expect = [&](std::string_view number, const std::string& old) {
    std::string rec(575, ' ');
    rec.replace(0, 5, number);
    std::size_t from = 0;
    for (std::size_t i = 0; i < std::size(kF18Widths); ++i) {
      rec.replace(kNewOffsets[i], kF18Widths[i], old.substr(from, kF18Widths[i]));
      from += kF18Widths[i];
    }
    rec[574] = old[336];
    return rec;
  };
  const std::string f18r0 = box.Read("F18R0.DAT");
  ASSERT_EQ(f18r0.size(), 3u * 575u);
  EXPECT_EQ(f18r0.substr(0, 575), expect("00001", OldF18("Primeiro")));
  EXPECT_EQ(f18r0.substr(575, 575), expect("00002", OldF18("Apagado", '+')));
  EXPECT_EQ(f18r0[575 + 373], '+');
  EXPECT_EQ(f18r0[575 + 574], '+');
  EXPECT_EQ(f18r0.substr(1150), expect("00003", OldF18("Terceiro")));
  EXPECT_EQ(box.List(), std::vector<std::string>{"F18R0.DAT"});
  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Convertendo 4.31"});
}

TEST_F(Step431Test, F18TakesPrecedenceOverConf11) {
  box.Write("Conf11.dat", OldF18("Old copy"));
  box.Write("F18.DAT", OldF18("Current"));
  box.Write("F18R0.DAT", "replaced");
  steps::MigrateTo431(ui);
  EXPECT_EQ(box.Read("F18R0.DAT").substr(0, 60), "00001" + Fill(14) + Pad("Current", 40) + " ");
  EXPECT_EQ(box.List(), std::vector<std::string>{"F18R0.DAT"});
}

TEST_F(Step431Test, AnF18R0ThatCannotBeReplacedStopsTheStepWhole) {
  box.Write("Conf11.dat", OldF18("Only copy"));
  box.Write("F18R0.DAT", "kept");
  platform::SetReadOnly("F18R0.DAT", true);
  {
    // The step's changes are held back: the rename of Conf11.dat that came
    // before the failure is not made either.
    store::ChangeSet changes;
    EXPECT_THROW(steps::MigrateTo431(ui), store::FileError);
  }
  EXPECT_EQ(box.List(), (std::vector<std::string>{"Conf11.dat", "F18R0.DAT"}));
  EXPECT_EQ(box.Read("Conf11.dat"), OldF18("Only copy"));
  EXPECT_EQ(box.Read("F18R0.DAT"), "kept");
}

std::string Config22(std::string_view a, std::string_view b, std::string_view c) {
  return Fields({{a, 30}, {b, 1}, {c, 15}});
}

TEST_F(Step431Test, Config22BecomesF19WithPositionsCodesAndClasses) {
  std::string old;
  for (int i = 0; i < 40; ++i) {
    std::string n = std::to_string(i);
    old += Config22(i == 5 ? "   indented " + n : "Entry " + n, std::string(1, static_cast<char>('A' + i % 26)),
                    "C" + n);
  }
  box.Write("Config22.dat", old);

  steps::MigrateTo431(ui);

  const std::string f19 = box.Read("F19.DAT");
  ASSERT_EQ(f19.size(), 39u * 300u);
  auto record = [&](std::size_t k) { return f19.substr(k * 300, 300); };
  EXPECT_EQ(record(0), "00" + Fill(17) + Pad("Entry 0", 41) + Pad("C0", 20) + Pad("CB", 6) + "A " + Pad("1", 10) +
                           Fill(202));
  EXPECT_EQ(record(4), "04" + Fill(17) + Pad("Entry 4", 41) + Pad("C4", 20) + Pad("CB", 6) + "E " + Pad("1", 10) +
                           Fill(202));
  EXPECT_EQ(record(5), "06" + Fill(17) + Pad("Entry 6", 41) + Pad("C6", 20) + Pad("CB", 6) + "G " + Pad("1", 10) +
                           Fill(202));
  EXPECT_EQ(record(31), "32" + Fill(17) + Pad("Entry 32", 41) + Pad("C32", 20) + Pad("CB", 6) + "G " +
                            Pad("1", 10) + Fill(202));
  EXPECT_EQ(record(32), "33" + Fill(17) + Pad("Entry 33", 41) + Pad("C33", 20) + Pad("LT", 6) + "H " +
                            Pad("1", 10) + Fill(202));
  EXPECT_EQ(record(33), "34" + Fill(17) + Pad("Entry 34", 41) + Pad("C34", 20) + Pad("KG", 6) + "I " +
                            Pad("2", 10) + Fill(202));
  EXPECT_EQ(record(38), "39" + Fill(17) + Pad("Entry 39", 41) + Pad("C39", 20) + Pad("KG", 6) + "N " +
                            Pad("2", 10) + Fill(202));
  std::string positions;
  for (std::size_t k = 0; k < 39; ++k) positions += f19.substr(k * 300, 2) + ",";
  EXPECT_EQ(positions.find("05,"), std::string::npos);
  EXPECT_EQ(positions.substr(0, 18), "00,01,02,03,04,06,");
  EXPECT_FALSE(box.Exists("Config22.dat"));
}

TEST_F(Step431Test, EmptyMissingAndUnwritableConfig22) {
  steps::MigrateTo431(ui);
  EXPECT_TRUE(box.List().empty());

  box.Write("Config22.dat", "");
  steps::MigrateTo431(ui);
  EXPECT_EQ(box.List(), std::vector<std::string>{"F19.DAT"});
  EXPECT_EQ(box.Read("F19.DAT"), "");

  // A new file that cannot be replaced stops the step; the old one stays for
  // a later run.
  const std::string old = Config22("Entry", "X", "C");
  box.Write("Config22.dat", old);
  platform::SetReadOnly("F19.DAT", true);
  EXPECT_THROW(steps::MigrateTo431(ui), store::FileError);
  EXPECT_EQ(box.Read("Config22.dat"), old);
  EXPECT_EQ(box.Read("F19.DAT"), "");
}

}  // namespace
