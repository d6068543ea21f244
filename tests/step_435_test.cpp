// Release 4.35, period files and due entries: REG01 -> REG04 and F22.DAT.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
namespace fs = std::filesystem;

// A record of spaces with texts placed at their offsets.
std::string Record(std::size_t length, std::initializer_list<std::pair<std::size_t, std::string_view>> at) {
  std::string r(length, ' ');
  for (const auto& [offset, text] : at) r.replace(offset, text.size(), text);
  return r;
}

// Record 0 of CONF10.DAT: 35 fields of 19 bytes, given by field number.
std::string Conf10(std::initializer_list<std::pair<int, std::string_view>> fields) {
  std::string r(665, ' ');
  for (const auto& [k, text] : fields) r.replace(static_cast<std::size_t>(k) * 19, text.size(), text);
  return r;
}

struct Member {
  std::string_view code = {};
  std::string_view kind = {};        // field 24: "1" monthly
  std::string_view value_index = {}; // field 27
  std::string_view exclusion = {};   // field 28
  std::string_view start = {};       // field 8
  std::string_view first_year = {};  // field 35
  std::vector<std::string_view> years = {};  // 12 marks per year of the grid
  char flag = ' ';
};

std::string F10R3(const Member& m) {
  std::string r = Record(1501, {{0, m.code},
                                {217, m.start},
                                {712, m.kind},
                                {768, m.value_index},
                                {771, m.exclusion},
                                {897, m.first_year}});
  for (std::size_t y = 0; y < m.years.size(); ++y) r.replace(901 + 12 * y, m.years[y].size(), m.years[y]);
  r[1500] = m.flag;
  return r;
}

std::string Due(std::string_view code, std::string_view number, std::string_view date, std::string_view amount,
                std::string_view period) {
  return Fields({{code, 10}, {number, 10}, {date, 10}, {amount, 14}, {period, 69}});
}

class Step435Test : public vektest::SandboxTest {
 protected:
  void SetUp() override { platform::SetToday(platform::Date{2024, 6, 15}); }
};

TEST_F(Step435Test, PeriodFilesMoveToReg04AndShareTheRunningNumber) {
  auto reg01 = [](std::string_view code, std::string_view kind, std::string_view t20, std::string_view t25,
                  std::string_view t39, char flag) {
    return Fields({{code, 10}, {"XYZ", 3}, {kind, 7}, {t20, 5}, {t25, 14}, {t39, 14}, {Fill(25, 'q'), 25}}) +
           std::string(1, flag);
  };
  box.Write("REG01/A.DAT", reg01("0000000001", "MENSAL", "00150", "01/02/2024ABCD", "JOAO DA SILVA!", ' ') +
                               reg01("0000000002", " ANUAL", "00990", "15/03/2024EFGH", "MARIA SOUZA   ", '+'));
  box.Write("REG01/B.DAT", reg01("0000000003", "X", "00001", "01/01/2024IJKL", "NOT CONVERTED ", ' '));
  box.Write("REG04/B.DAT", "kept as it was");
  // The second record of C.DAT was cut short in the middle of the text at 39.
  const std::string c0 = reg01("0000000004", "", "00020", "20/04/2024MNOP", "PEDRO ALVES   ", ' ');
  const std::string c1 = reg01("0000000005", "M", "00030", "21/04/2024QRST", "ANA LIMA RAMOS", ' ').substr(0, 50);
  box.Write("REG01/C.DAT", c0 + c1);
  box.Write("F10R3.DAT", F10R3({.code = "SOC001", .kind = "1", .value_index = "0", .start = "01/01/2000",
                                .first_year = "2024", .years = {"*****-******"}}));
  box.Write("CONF10.DAT", Conf10({{0, "12,5"}}));

  steps::MigrateTo435(ui);

  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Convertendo 4.35"});
  auto reg04 = [](std::string_view code, std::string_view number, std::string_view t25, std::string_view period,
                  std::string_view t20, std::string_view t39, std::string_view flag) {
    return Fields({{code, 10}, {number, 20}, {t25, 14}, {period, 22}, {t20, 5}, {t39, 14}, {"", 27}, {flag, 1}});
  };
  EXPECT_EQ(box.Read("REG04/A.DAT"),
            reg04("0000000001", "1", "01/02/2024ABCD", "01", "00150", "JOAO DA SILVA!", " ") +
                reg04("0000000002", "2", "15/03/2024EFGH", "12", "00990", "MARIA SOUZA   ", "+"));
  EXPECT_EQ(box.Read("REG04/B.DAT"), "kept as it was");
  EXPECT_EQ(box.Read("REG04/C.DAT"), reg04("0000000004", "3", "20/04/2024MNOP", "12", "00020", "PEDRO ALVES", " ") +
                                         reg04("0000000005", "4", "21/04/2024QRST", "01", "00030", "ANA LIMA RA", " "));
  // The due entries go on from the last REG04 number.
  EXPECT_EQ(box.Read("F22.DAT"), Due("SOC001", "5", "01/06/2024", "12.50", "01"));
  EXPECT_EQ(box.Read("REG01/B.DAT"), reg01("0000000003", "X", "00001", "01/01/2024IJKL", "NOT CONVERTED ", ' '));
}

TEST_F(Step435Test, MonthlyEntriesFollowTheGridUpToTheCurrentMonth) {
  box.Write("CONF10.DAT", Conf10({{0, "25"}, {5, "1.234,50"}, {30, "31"}, {31, "1"}}));
  box.Write("F10R3.DAT",
            // Grid from April 2023 on (months before the start count as paid);
            // May 2023 and January 2024 paid; 2025 lies in the future.
            F10R3({.code = "SOC001", .kind = "1", .value_index = "5", .exclusion = "0", .start = "10/04/2023",
                   .first_year = "2023", .years = {"    *       ", "*           ", "            "}}) +
            F10R3({.code = "SOC002", .kind = "1", .value_index = "5", .start = "10/04/2023", .first_year = "2023",
                   .years = {"", ""}, .flag = '+'}) +
            F10R3({.code = "SOC003", .kind = "1", .value_index = "5", .exclusion = "1", .start = "10/04/2023",
                   .first_year = "2023", .years = {"", ""}}) +
            F10R3({.code = "SOC004", .kind = "1", .value_index = "5", .start = "10/04/2023", .first_year = "1000",
                   .years = {"", ""}}) +
            // Code longer than the entry's field; index outside the table.
            F10R3({.code = "SOCIO-000005X", .kind = "1", .value_index = "45", .start = "01/01/2020",
                   .first_year = "2023", .years = {"* **********", "************"}}) +
            // Started in April of the current year; no value index reads as 0.
            F10R3({.code = "SOC006", .kind = "1", .start = "20/04/2024", .first_year = "2024", .years = {""}}));

  steps::MigrateTo435(ui);

  EXPECT_FALSE(box.Exists("REG04"));
  EXPECT_EQ(box.Read("F22.DAT"), Due("SOC001", "1", "30/04/2023", "1234.50", "01") +
                                     Due("SOC001", "2", "30/06/2023", "1234.50", "01") +
                                     Due("SOC001", "3", "31/07/2023", "1234.50", "01") +
                                     Due("SOC001", "4", "31/08/2023", "1234.50", "01") +
                                     Due("SOC001", "5", "30/09/2023", "1234.50", "01") +
                                     Due("SOC001", "6", "31/10/2023", "1234.50", "01") +
                                     Due("SOC001", "7", "30/11/2023", "1234.50", "01") +
                                     Due("SOC001", "8", "31/12/2023", "1234.50", "01") +
                                     Due("SOC001", "9", "29/02/2024", "1234.50", "01") +
                                     Due("SOC001", "10", "31/03/2024", "1234.50", "01") +
                                     Due("SOC001", "11", "30/04/2024", "1234.50", "01") +
                                     Due("SOC001", "12", "31/05/2024", "1234.50", "01") +
                                     Due("SOC001", "13", "30/06/2024", "1234.50", "01") +
                                     Due("SOCIO-0000", "14", "28/02/2023", "0.00", "01") +
                                     Due("SOC006", "15", "30/04/2024", "25.00", "01") +
                                     Due("SOC006", "16", "31/05/2024", "25.00", "01") +
                                     Due("SOC006", "17", "30/06/2024", "25.00", "01"));
}

TEST_F(Step435Test, MonthShiftAndDueDay) {
  // January unpaid in 2023 (not a leap year) and 2024 (a leap year).
  box.Write("F10R3.DAT", F10R3({.code = "SOC010", .kind = "1", .value_index = "0", .start = "01/01/2000",
                                .first_year = "2023", .years = {" ***********", " ***********"}}));
  struct Case {
    std::string_view due_day, shift, in_2023, in_2024;
  };
  const Case cases[] = {
      {"31", "0", "31/12/2022", "31/12/2023"},  // the month before, across the year
      {"15", "0", "15/12/2022", "15/12/2023"},
      {"31", "", "31/01/2023", "31/01/2024"},   // empty: shift 1, the month itself
      {"31", "2", "28/02/2023", "29/02/2024"},  // the next month, cut to its length
      {"31", "3", "31/03/2023", "31/03/2024"},
      {"31", "9", "31/01/2023", "31/01/2024"},  // unknown shifts leave the month
      {"0", "2", "01/02/2023", "01/02/2024"},   // day 0 means the first
      {"-4", "", "01/01/2023", "01/01/2024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.due_day) + " shift " + std::string(c.shift));
    fs::remove(box.Path("F22.DAT"));
    box.Write("CONF10.DAT", Conf10({{0, "80"}, {30, c.due_day}, {31, c.shift}}));
    steps::MigrateTo435(ui);
    EXPECT_EQ(box.Read("F22.DAT"),
              Due("SOC010", "1", c.in_2023, "80.00", "01") + Due("SOC010", "2", c.in_2024, "80.00", "01"));
  }
}

TEST_F(Step435Test, YearlyEntriesForYearsNotFullyPaid) {
  box.Write("F10R3.DAT",
            // 2022 fully paid, December 2023 unpaid, 2024 unpaid.
            F10R3({.code = "SOC020", .kind = "2", .value_index = "2", .start = "05/05/2010",
                   .first_year = "2022", .years = {"************", "*********** ", "", ""}}) +
            // Paid from May 2023 on, when the grid starts: nothing owed.
            F10R3({.code = "SOC021", .kind = "", .value_index = "2", .start = "01/05/2023", .first_year = "2023",
                   .years = {"    ********", "************"}}) +
            // Only November 2024 unpaid; the start in January changes nothing.
            F10R3({.code = "SOC022", .kind = "12", .value_index = "2", .start = "01/01/2024",
                   .first_year = "2024", .years = {"********** *"}}));
  struct Case {
    std::string_view shift, for_2023, for_2024;
  };
  const Case cases[] = {
      {"0", "15/03/2022", "15/03/2023"},
      {"", "15/03/2023", "15/03/2024"},
      {"1", "15/03/2023", "15/03/2024"},
      {"5", "15/03/2024", "15/03/2025"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("shift ") + std::string(c.shift));
    fs::remove(box.Path("F22.DAT"));
    box.Write("CONF10.DAT", Conf10({{2, "120"}, {32, "15"}, {33, "3"}, {34, c.shift}}));
    steps::MigrateTo435(ui);
    EXPECT_EQ(box.Read("F22.DAT"), Due("SOC020", "1", c.for_2023, "120.00", "12") +
                                       Due("SOC020", "2", c.for_2024, "120.00", "12") +
                                       Due("SOC022", "3", c.for_2024, "120.00", "12"));
  }
}

TEST_F(Step435Test, DefaultsWithoutSettingsAndARecordCutShort) {
  // No CONF10.DAT: day and month 1, the grid year itself, no amount.
  // The last record was cut short after the marks of April: May and June
  // count as unpaid.
  box.Write("F10R3.DAT", F10R3({.code = "SOC030", .kind = "0", .value_index = "7", .start = "",
                                .first_year = "2024", .years = {""}}) +
                             F10R3({.code = "SOC031", .kind = "1", .start = "", .first_year = "2024",
                                    .years = {"****"}}).substr(0, 905));
  steps::MigrateTo435(ui);
  EXPECT_EQ(box.Read("F22.DAT"), Due("SOC030", "1", "01/01/2024", "0.00", "12") +
                                     Due("SOC031", "2", "01/05/2024", "0.00", "01") +
                                     Due("SOC031", "3", "01/06/2024", "0.00", "01"));
}

}  // namespace
