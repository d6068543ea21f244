#include <string>
#include <vector>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

class MigrateTo451Test : public vektest::SandboxTest {};

struct Group {
  std::string number;
  std::string first;
  std::string second;
};

// An account record of REG02\A*.DAT (557 bytes).
std::string Account(std::string_view number, std::string_view name, std::string_view kind,
                    std::string_view class_number, std::string_view text21, std::string_view text40,
                    std::string_view total, const std::vector<Group>& groups, char flag = ' ') {
  std::string r = Fields({{number, 7}, {name, 11}, {kind, 1}, {class_number, 2}, {text21, 19},
                          {text40, 19}, {total, 14}, {"9.999,99", 14}, {"NOT CARRIED", 50}});
  for (std::size_t k = 0; k < 12; ++k) {
    const Group g = k < groups.size() ? groups[k] : Group{"-1", "5,00", "6,00"};
    r += Fields({{g.number, 2}, {g.first, 14}, {g.second, 14}});
  }
  r += Pad("TAIL", 59);
  r += flag;
  return r;
}

std::string Line20(std::string_view number, std::string_view first, std::string_view second) {
  return Fields({{"20", 2}, {number, 39}, {first, 16}, {second, 173}});
}

TEST_F(MigrateTo451Test, AccountFilesBecomeR50LinesInANewFolder) {
  std::vector<Group> all_twelve;
  std::string twelve_lines;
  for (int k = 0; k < 12; ++k) {
    const std::string n = std::to_string(k);
    all_twelve.push_back({k < 9 ? "0" + std::to_string(k + 1) : std::to_string(k + 1), n + ",25",
                          "1.00" + n + ",00"});
    twelve_lines += Line20(all_twelve.back().number, n + ".25", "100" + n + ".00");
  }
  const std::string file =
      Account("1234", "SILVA", "A", "3", "RUA DAS FLORES 10", "CENTRO", "1.500,75", all_twelve) +
      Account("999", "DELETED", "A", "1", "X", "Y", "1,00", all_twelve, '+') +
      Account("  42", "SOUZA", "E", "5", "AV BRASIL", "JARDIM", "12,5",
              {{"-1", "1,00", "2,00"}, {" 7", "3,5", "1.234.567,891"}}) +
      Account("0000077", "LI\nMA", "e", "  ", "", "", "", {{"-3", "", ""}, {"-1", "", ""}, {"00", "", "-2,5"}});
  box.Write("REG02/A77.DAT", file);
  box.Write("REG02/F20R2.DAT", "prices");

  steps::MigrateTo451(ui);

  EXPECT_EQ(box.Read("REG02/F20r2.tmp"), "prices");
  ASSERT_TRUE(box.Exists("R50/77.DAT"));
  const std::string expected =
      // 12 groups, all numbers non-negative: 14 lines
      Fields({{"01", 2}, {"1", 1}, {"04", 9}, {"1234", 26}, {"SILVA", 20}, {"RUA DAS FLORES 10", 22},
              {"", 4}, {"2", 11}, {"CENTRO", 135}}) +
      twelve_lines + Fields({{"80", 2}, {"1500.75", 228}}) +
      // the deleted record gives nothing; kind "E" gives 0, class 5 gives 9
      Fields({{"01", 2}, {"0", 1}, {"04", 9}, {"42", 26}, {"SOUZA", 20}, {"AV BRASIL", 22}, {"", 4},
              {"9", 11}, {"JARDIM", 135}}) +
      Line20(" 7", "3.50", "1234567.89") + Fields({{"80", 2}, {"12.50", 228}}) +
      // a lower-case "e" is not "E"; a blank class number gives 1; blank amounts
      // are 0; a line feed inside a field is data
      Fields({{"01", 2}, {"1", 1}, {"04", 9}, {"77", 26}, {"LI\nMA", 20}, {"", 22}, {"", 4}, {"1", 11},
              {"", 135}}) +
      Line20("00", "0.00", "-2.50") + Fields({{"80", 2}, {"0.00", 228}});
  EXPECT_EQ(expected.size(), 20u * 230u);
  EXPECT_EQ(box.Read("R50/77.DAT"), expected);
  EXPECT_EQ(box.Read("REG02/A77.DAT"), file);  // the old file stays
  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Convertendo 4.51"});
}

TEST_F(MigrateTo451Test, ExistingTargetsAreLeftAlone) {
  const std::string account = Account("5", "COSTA", "A", "2", "", "", "3", {{"01", "1", "2"}});
  box.Write("REG02/A78.DAT", account);
  box.Write("REG02/A79.DAT", account);
  box.Write("REG02/F20r2.dat", "new prices");
  box.Write("REG02/F20r2.tmp", "saved prices");
  box.Write("R50/78.DAT", "kept");
  box.Write("F11R2.DAT", Fill(1581, 'x'));
  box.Write("F11R3.DAT", "kept 11");
  box.Write("F18R0.DAT", Fill(575, 'y'));
  box.Write("F18R1.DAT", "kept 18");

  steps::MigrateTo451(ui);

  EXPECT_EQ(box.Read("REG02/F20r2.tmp"), "saved prices");
  EXPECT_EQ(box.Read("R50/78.DAT"), "kept");
  EXPECT_EQ(box.Read("R50/79.DAT"),
            Fields({{"01", 2}, {"1", 1}, {"04", 9}, {"5", 26}, {"COSTA", 20}, {"", 22}, {"", 4}, {"1", 11},
                    {"", 135}}) +
                Line20("01", "1.00", "2.00") + Fields({{"80", 2}, {"3.00", 228}}));
  EXPECT_EQ(box.Read("F11R3.DAT"), "kept 11");
  EXPECT_EQ(box.Read("F18R1.DAT"), "kept 18");
}

// ---- F11R2.DAT -> F11R3.DAT ----------------------------------------------------

constexpr int kF11Widths[49] = {19, 41, 41, 41, 31, 10, 31, 3,  11, 19, 19, 9,  31, 41, 31, 31, 11,
                                11, 11, 45, 12, 11, 16, 16, 16, 16, 16, 16, 16, 2,  2,  2,  2,  174,
                                21, 51, 81, 81, 91, 11, 91, 81, 41, 16, 2,  2,  133, 2, 73};

// Each field is its text and one byte that is not carried ("#"); the last byte
// of field 48 is the flag byte.
std::string F11Record(const std::vector<std::string>& texts, char flag) {
  std::string r;
  for (int k = 0; k < 49; ++k) {
    r += Pad(k < static_cast<int>(texts.size()) ? texts[k] : "F" + std::to_string(k),
             static_cast<std::size_t>(kF11Widths[k] - 1));
    r += k == 48 ? flag : '#';
  }
  return r;
}

TEST_F(MigrateTo451Test, F11RecordsAreRelaidOutWithTheirCodes) {
  std::vector<std::string> live = {
      "CODE00000000000AB", "NAME ONE", "STREET 1", "DISTRICT", "CITY", "SAO PAULO", "CONTACT", "SP",
      "01234-567", "111.222.333-44", "RG 55.666", "NOTE 11", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "DROP 13",
      "MAIL@X", "DROP 15", "F16", "F17", "F18", "DROP 19", "20/20/2020A", " 21 BLANK", "P22-456789XYZAB",
      "P23-456789", "P24", "P25", "P26", "P27", "P28-4567890", "29", "30", "31", "32", "DROP 33",
      "F34-5678901234567890", "F35:" + Fill(46, 'k'), "DROP 36", "DROP 37", "F38:" + Fill(86, 'm'),
      "F39-ABCDEF"};
  live.resize(48);
  for (int k = 40; k < 48; ++k) live[k] = "DROP " + std::to_string(k);
  // positions 0 1 2: class 03; 10: second code 5; 12-14 none; 16: fourth code 2;
  // 18-22 "10203" with the zeros blank
  live.push_back("001000" "000010" "000" "010" "10203" "ZZZ");
  std::vector<std::string> deleted = live;
  deleted[0] = "GONE";
  deleted[21] = "X21";
  deleted[48] = "000001" "000001" "001" "001" "     ";

  // The last record is cut short after 600 bytes, in field 27.
  const std::string old_file = F11Record(live, ' ') + F11Record(deleted, '+') + F11Record(live, ' ').substr(0, 600);
  ASSERT_EQ(old_file.size(), 2u * 1581u + 600u);
  box.Write("F11R2.DAT", old_file);

  steps::MigrateTo451(ui);

  auto expected = [](std::string_view code, std::string_view marker, std::string_view field21,
                     std::string_view codes, char flag) {
    return Fields({{code, 19},
                   {"NAME ONE", 40},
                   {"STREET 1", 40},
                   {"DISTRICT", 40},
                   {"CITY", 30},
                   {"SAO PAULO", 9},
                   {"CONTACT", 30},
                   {"SP", 2},
                   {"01234-567", 10},
                   {"111.222.333-44", 18},
                   {"RG 55.666", 18},
                   {"NOTE 11", 8},
                   {"ABCDEFGHIJKLMNOPQRST", 20},
                   {"", 4},
                   {"MAIL@X", 30},
                   {"", 20},
                   {"F16", 10},
                   {"F17", 10},
                   {"F18", 10},
                   {"20/20/2020A", 11},
                   {marker, 1},
                   {field21, 10},
                   {"P22-456789P23-456789P24       P25       P26       P27       P28-456789", 70},
                   {"F34-567890", 10},
                   {"F35:" + Fill(26, 'k'), 30},
                   {"F38:" + Fill(76, 'm'), 80},
                   {"F39-", 4},
                   {codes, 11},
                   {"", 404}}) +
           flag;
  };
  // The cut record is completed with spaces: every record keeps 1000 bytes.
  std::string cut = expected("CODE00000000000AB", "1", " 21 BLANK", "", ' ');
  cut.replace(450, 550, Fill(550));  // from field 28 on
  const std::string want = expected("CODE00000000000AB", "1", " 21 BLANK", "035 2 1 2 3", ' ') +
                           expected("GONE", "2", "X21", "99933      ", '+') + cut;
  EXPECT_EQ(box.Read("F11R3.DAT"), want);
  EXPECT_EQ(box.Read("F11R2.DAT"), old_file);
}

// ---- F18R0.DAT -> F18R1.DAT ----------------------------------------------------

TEST_F(MigrateTo451Test, F18RecordsLoseTheByteBehindEachField) {
  const int widths[22] = {19, 41, 19, 31, 16, 3, 19, 9, 3, 13, 5, 41, 41, 14, 3, 19, 41, 16, 3, 19, 199, 1};
  // Every field filled to its full width: its own capital, its own small
  // letter, and "#" in the byte that is dropped, so that a byte taken from the
  // wrong place shows.
  auto field = [&](int k, std::size_t n) {
    return static_cast<char>('A' + k) + Fill(n - 1, static_cast<char>('a' + k));
  };
  auto old_record = [&](char flag) {
    std::string r;
    for (int k = 0; k < 21; ++k) r += field(k, static_cast<std::size_t>(widths[k] - 1)) + "#";
    return r + flag;
  };
  auto new_record = [&](char flag) {
    std::string r = "ABCDEFGHIJK";
    for (int k = 1; k < 21; ++k) r += field(k, static_cast<std::size_t>(widths[k] - 1));
    return r + flag;
  };
  std::string live = old_record(' ');
  live.replace(0, 19, "ABCDEFGHIJKLMNOPQRS");
  std::string deleted = old_record('+');
  deleted.replace(0, 19, "ABCDEFGHIJKLMNOPQRS");
  ASSERT_EQ(live.size(), 575u);
  box.Write("F18R0.DAT", live + deleted);

  steps::MigrateTo451(ui);

  const std::string want = new_record(' ') + new_record('+');
  ASSERT_EQ(want.size(), 2u * 547u);
  EXPECT_EQ(box.Read("F18R1.DAT"), want);
}

TEST_F(MigrateTo451Test, MissingSourcesCreateNothing) {
  steps::MigrateTo451(ui);
  EXPECT_FALSE(box.Exists("R50"));
  EXPECT_FALSE(box.Exists("F11R3.DAT"));
  EXPECT_FALSE(box.Exists("F18R1.DAT"));
  EXPECT_FALSE(box.Exists("REG02/F20r2.tmp"));
}

}  // namespace
