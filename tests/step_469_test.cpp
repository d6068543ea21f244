#include <string>
#include <vector>

#include "platform/files.h"
#include "store/record_io.h"
#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

class MigrateTo469Test : public vektest::SandboxTest {};

// An F10R4.DAT record (1000 bytes) with recognisable bytes around the fields
// that the step rewrites.
std::string Member(std::string_view code, std::string_view period, std::string_view value,
                   std::string_view date844 = "", char flag = ' ') {
  std::string r = Fields({{code, 11}, {std::string("NAME OF ") + std::string(code), 40}});
  r += Fill(502 - r.size(), '.');
  r += Fill(111, 'o');  // 502-612: what 4.35 left there
  r += Fill(826 - r.size(), ':');
  r += Fields({{period, 2}, {value, 16}, {date844, 10}});
  r += Fill(999 - r.size(), '_');
  r += flag;
  return r;
}

// The record as the step leaves it.
std::string Patched(std::string r, std::string_view start, std::string_view packed, std::string_view kind) {
  r.replace(502, 10, Pad(start, 10));
  r.replace(512, 40, std::string(packed));
  r.replace(552, 61, Fill(61));
  r.replace(826, 3, std::string(kind));
  r.replace(829, 15, Fill(15));
  return r;
}

// An F22.DAT entry (113 bytes) as the 4.35 step writes it.
std::string Entry(std::string_view code, std::string_view date, std::string_view period, char flag = ' ') {
  return Fields({{code, 10}, {"7", 10}, {date, 10}, {"50.00", 14}, {period, 68}}) + flag;
}

std::string Kind(std::string_view number, std::string_view text, std::string_view value,
                 std::string_view period) {
  return Fields({{number, 3}, {"", 8}, {text, 40}, {value, 18}, {period, 103}});
}

std::string Packed(std::string_view front) { return Pad(front, 40); }

TEST_F(MigrateTo469Test, KindsAndMonthGridsReplaceThePeriodFields) {
  platform::SetToday(platform::Date{2024, 7, 15});
  const std::vector<std::string> members = {
      Member("A1", "01", "50,00"),
      Member("B2", "01", "50,00"),  // the same kind as A1
      Member("C3", "03", "120,00"),
      Member("D4", "12", "0,00", "15/03/2021"),
      Member("E5", "05", "10,00", "", '+'),
      Member("F6", "05", "7,5"),
      Member("G7", "01", ""),
      Member("H8", "03", "120,00"),
      Member("J0", "12", "0", "20/12/2020"),
  };
  std::string f10;
  for (const std::string& m : members) f10 += m;
  box.Write("F10R4.DAT", f10);
  const std::string f22 =
      Entry("A1", "10/01/2020", "01") + Entry("B2", "10/06/2020", "01") + Entry("A1", "10/02/2020", "01") +
      Entry("C3", "10/01/2021", "01") + Entry("D4", "10/12/1989", "01") + Entry("A1", "10/05/2020", "01") +
      Entry("C3", "10/03/2021", "01") + Entry("B2", "05/03/2019", "12") + Entry("F6", "10/01/2019", "12") +
      Entry("G7", "10/01/2020", "01", '+') + Entry("a1", "10/07/2020", "01") +
      Entry("C3", "10/02/2022", "01") + Entry("F6", "10/01/2021", "12") + Entry("C3", "10/04/2021", "12") +
      Entry("H8", "10/01/2000", "01") + Entry("H8", "10/06/2020", "01") + Entry("E5", "10/01/2020", "01");
  box.Write("F22.DAT", f22);

  steps::MigrateTo469(ui);

  EXPECT_EQ(box.Read("F31.DAT"), Kind("100", "R$ 50,00 por m\xEAs", "50,00", "01") +
                                     Kind("101", "R$ 120,00 por trimestre", "120,00", "03") +
                                     Kind("102", "R$ 7,50 por ", "7,50", "05"));
  // Marks per month from the start: 0 open, 1 between open entries; packed six
  // to a character, "1" = bit, first month highest, plus 32.
  const std::vector<std::string> want = {
      // 0011010: Jan Feb open, Mar Apr paid, May open, Jun paid, Jul open ("a1")
      Patched(members[0], "10/01/2020", Packed("-"), "100"),
      // the yearly 2019 entry comes before the June 2020 grid: 12x0 11111 0
      Patched(members[1], "01/01/2019", Packed("  ^"), "100"),
      // 0 1 0 1111111111 0 (Jan 2021 to Feb 2022), then the whole of 2021 open:
      // 12x0, Jan 2022 still paid, Feb 2022 open
      Patched(members[2], "01/01/2021", Packed("  @"), "101"),
      // the 1989 entry counts for nothing: start after 15/03/2021, yearly
      Patched(members[3], "01/01/2022", Packed(""), "001"),
      members[4],
      // 2019 open, 2020 paid, 2021 open
      Patched(members[5], "01/01/2019", Packed("  __"), "102"),
      // only a deleted entry: today
      Patched(members[6], "15/07/2024", Packed(""), "001"),
      // 245 months apart: the grid ends after 240 marks, 0 then 239x1
      Patched(members[7], "10/01/2000", "?" + Fill(39, '_'), "101"),
      // December date: the next month is January of the next year
      Patched(members[8], "01/01/2021", Packed(""), "001"),
  };
  std::string f10_after;
  for (const std::string& m : want) f10_after += m;
  const std::string got = box.Read("F10R4.DAT");
  ASSERT_EQ(got.size(), f10_after.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got.substr(i * 1000, 1000), want[i]) << "record " << i;
  }
  EXPECT_EQ(box.Read("F10R4_469.BAK"), f10);
  EXPECT_FALSE(box.Exists("F22.DAT"));
  EXPECT_EQ(box.Read("F22.BAK"), f22);

  const std::vector<std::string> statuses = {
      "Convertendo 4.69", "5 %",  "11 %", "17 %", "23 %", "35 %", "41 %", "47 %", "52 %",
      "64 %",             "70 %", "76 %", "82 %", "88 %", "94 %", "100 %", "0",   "1",
      "2",                "3",    "4",    "5",    "6",    "7",    "8"};
  EXPECT_EQ(ui.statuses, statuses);
  EXPECT_EQ(ui.cursor_changes, (std::vector<bool>{true, false}));

  // F31.DAT now exists: a second run changes nothing.
  const std::string f31 = box.Read("F31.DAT");
  steps::MigrateTo469(ui);
  EXPECT_EQ(box.Read("F10R4.DAT"), f10_after);
  EXPECT_EQ(box.Read("F31.DAT"), f31);
}

TEST_F(MigrateTo469Test, KindNumbersStopAt600InRecordsAnd700InTheTable) {
  platform::SetToday(platform::Date{2023, 2, 1});
  // 602 kinds; the value n sorts at position n - 1.
  std::string f10;
  for (int n = 1; n <= 602; ++n) f10 += Member("M" + std::to_string(n), "01", std::to_string(n) + ",00");
  box.Write("F10R4.DAT", f10);

  steps::MigrateTo469(ui);

  const std::string f31 = box.Read("F31.DAT");
  ASSERT_EQ(f31.size(), 602u * 172u);
  EXPECT_EQ(f31.substr(0, 172), Kind("100", "R$ 1,00 por m\xEAs", "1,00", "01"));
  EXPECT_EQ(f31.substr(550 * 172, 172), Kind("650", "R$ 551,00 por m\xEAs", "551,00", "01"));
  EXPECT_EQ(f31.substr(600 * 172, 172), Kind("700", "R$ 601,00 por m\xEAs", "601,00", "01"));
  EXPECT_EQ(f31.substr(601 * 172, 172), Kind("000", "R$ 602,00 por m\xEAs", "602,00", "01"));

  const std::string after = box.Read("F10R4.DAT");
  ASSERT_EQ(after.size(), f10.size());
  auto record = [&](int n) { return after.substr(static_cast<std::size_t>(n - 1) * 1000, 1000); };
  auto before = [&](int n) { return f10.substr(static_cast<std::size_t>(n - 1) * 1000, 1000); };
  // No F22.DAT: every grid is empty and starts today.
  EXPECT_EQ(record(1), Patched(before(1), "01/02/2023", Packed(""), "100"));
  EXPECT_EQ(record(501), Patched(before(501), "01/02/2023", Packed(""), "600"));
  EXPECT_EQ(record(502), Patched(before(502), "01/02/2023", Packed(""), "000"));
  EXPECT_EQ(record(551), Patched(before(551), "01/02/2023", Packed(""), "000"));
  EXPECT_FALSE(box.Exists("F22.BAK"));
}

TEST_F(MigrateTo469Test, NothingChangesWhenTheStepHasRun) {
  const std::string f10 = Member("A1", "01", "50,00");
  const std::string f22 = Entry("A1", "10/01/2020", "01");
  box.Write("F10R4.DAT", f10);
  box.Write("F22.DAT", f22);
  box.Write("F31.DAT", "kinds");
  steps::MigrateTo469(ui);
  ASSERT_TRUE(platform::DeleteFile("F31.DAT"));
  box.Write("F14R0.DAT", "later");
  steps::MigrateTo469(ui);

  EXPECT_EQ(box.Read("F10R4.DAT"), f10);
  EXPECT_EQ(box.Read("F22.DAT"), f22);
  EXPECT_FALSE(box.Exists("F31.DAT"));
  EXPECT_FALSE(box.Exists("F10R4_469.BAK"));
  EXPECT_FALSE(box.Exists("F22.BAK"));
  EXPECT_EQ(ui.statuses, (std::vector<std::string>{"Convertendo 4.69", "Convertendo 4.69"}));
}

TEST_F(MigrateTo469Test, F22IsDeletedWhenItsBackupNameIsTakenAndOldBackupsStay) {
  const std::string f10 = Member("A1", "01", "50,00");
  box.Write("F10R4.DAT", f10);
  box.Write("F22.DAT", Entry("A1", "10/01/2020", "01") + Entry("A1", "10/03/2020", "01"));
  box.Write("F22.BAK", "older backup");
  box.Write("F10R4_469.BAK", "older F10R4");

  steps::MigrateTo469(ui);

  EXPECT_FALSE(box.Exists("F22.DAT"));
  EXPECT_EQ(box.Read("F22.BAK"), "older backup");
  EXPECT_EQ(box.Read("F10R4_469.BAK"), "older F10R4");
  // 010: February lies between the open months ("010   " = 16 + 32)
  EXPECT_EQ(box.Read("F10R4.DAT"), Patched(f10, "10/01/2020", Packed("0"), "100"));
}

TEST_F(MigrateTo469Test, DamagedRecordsKeepTheirPlace) {
  // A line feed, a carriage return and a Ctrl-Z inside a record are data; the
  // last record of F10R4.DAT and the last entry of F22.DAT are cut short.
  std::string first = Member("K1", "01", "50,00");
  first.replace(20, 3, "\n\x1a\r");
  const std::string second = Member("K2", "02", "30,00");
  box.Write("F10R4.DAT", first + second.substr(0, 900));
  box.Write("F22.DAT", Entry("K1", "10/01/2020", "01") + Entry("K1", "10/04/2020", "01") +
                           Entry("K2", "10/01/2021", "12").substr(0, 50));

  steps::MigrateTo469(ui);

  EXPECT_EQ(box.Read("F31.DAT"), Kind("100", "R$ 50,00 por m\xEAs", "50,00", "01") +
                                     Kind("101", "R$ 30,00 por bimestre", "30,00", "02"));
  // 0110 (February and March between open months) = "011000" = 24 + 32;
  // the cut record is completed with spaces, so the file keeps its layout.
  std::string second_after = second.substr(0, 900) + Fill(100);
  EXPECT_EQ(box.Read("F10R4.DAT"), Patched(first, "10/01/2020", Packed("8"), "100") +
                                       Patched(second_after, "01/01/2021", Packed(""), "101"));
  EXPECT_EQ(ui.statuses, (std::vector<std::string>{"Convertendo 4.69", "50 %", "100 %", "0", "1"}));
}

TEST_F(MigrateTo469Test, AGridServesOnlyTheFirstRecordOfItsCode) {
  // Two records of one code (in other letter case): the second finds no grid
  // and starts empty after its date at 844, as a record without entries.
  platform::SetToday(platform::Date{2024, 7, 15});
  const std::string first = Member("K1", "01", "50,00");
  const std::string again = Member("k1", "01", "50,00", "20/05/2022");
  const std::string other = Member("K2", "01", "50,00");
  box.Write("F10R4.DAT", first + again + other);
  box.Write("F22.DAT", Entry("K1", "10/01/2020", "01") + Entry("K2", "10/03/2020", "01") +
                           Entry("k1", "10/03/2020", "01"));

  steps::MigrateTo469(ui);

  EXPECT_EQ(box.Read("F10R4.DAT"), Patched(first, "10/01/2020", Packed("0"), "100") +
                                       Patched(again, "01/06/2022", Packed(""), "100") +
                                       Patched(other, "10/03/2020", Packed(""), "100"));
}

TEST_F(MigrateTo469Test, AnEmptyGridStartsAfterAWholeDateOnly) {
  // The date at 844 gives the start of an empty grid; "1/12/2009" is no whole
  // date and would give a month made up from its pieces (March of the year 9):
  // the grid starts today.
  platform::SetToday(platform::Date{2024, 7, 15});
  const std::string whole = Member("K1", "01", "50,00", "20/05/2022");
  const std::string cut = Member("K2", "01", "50,00", "1/12/2009");
  box.Write("F10R4.DAT", whole + cut);

  steps::MigrateTo469(ui);

  EXPECT_EQ(box.Read("F10R4.DAT"), Patched(whole, "01/06/2022", Packed(""), "100") +
                                       Patched(cut, "15/07/2024", Packed(""), "100"));
}

}  // namespace
