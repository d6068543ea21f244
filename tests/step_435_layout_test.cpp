// Release 4.35, the 1000-byte member layout and F24.DAT; reruns.
#include <filesystem>
#include <map>
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

// Widths of fields 0-26, where the three old member layouts agree (768 bytes).
constexpr std::size_t kFrontWidths[] = {19, 41, 41, 41, 31, 10, 31, 3,  11, 19, 19, 9,  31, 31,
                                        31, 11, 31, 31, 31, 41, 41, 41, 101, 16, 3, 51, 2};

// A letter followed by running digits: a field read one byte off, or cut at the
// wrong width, shows up in the result.
std::string Pattern(char c, std::size_t n) {
  std::string s(1, c);
  for (std::size_t i = 1; i < n; ++i) s += static_cast<char>('0' + i % 10);
  return s.substr(0, n);
}

// Fields 0-26, every one filled to its width unless given.
std::string Front(std::map<int, std::string> given) {
  std::string r;
  for (int k = 0; k < 27; ++k) {
    const std::size_t w = kFrontWidths[k];
    r += given.count(k) ? vektest::Pad(given[k], w) : Pattern(static_cast<char>('a' + k % 26), w);
  }
  return r;
}

// The front fields of an old record as stored (empty past the end of a short record).
std::vector<std::string> Split(std::string_view old) {
  std::vector<std::string> f;
  std::size_t offset = 0;
  for (std::size_t w : kFrontWidths) {
    f.emplace_back(offset < old.size() ? old.substr(offset, w) : std::string_view());
    offset += w;
  }
  return f;
}

std::string Cut(const std::string& s, std::size_t n) { return s.substr(0, n); }

std::string New1000(std::string_view old, std::string_view at232, std::string_view at240, std::string_view at502,
                    std::string_view kind_code, std::string_view tail) {
  const std::vector<std::string> p = Split(old);
  return Fields({{Cut(p[0], 10), 11},  {Cut(p[1], 40), 40},   {Cut(p[2], 40), 40},   {Cut(p[3], 40), 70},
                 {Cut(p[4], 30), 30},  {Cut(p[5], 9), 9},     {Cut(p[6], 30), 30},   {Cut(p[7], 2), 2},
                 {at232, 8},           {at240, 10},           {Cut(p[9], 18), 18},   {Cut(p[10], 18), 18},
                 {"", 4},              {p[12], 41},           {p[13], 41},           {p[25], 120},
                 {Cut(p[15], 10), 10}, {at502, 10},           {Cut(p[22], 100), 101}, {Cut(p[14], 30), 30},
                 {Cut(p[16], 20), 20}, {Cut(p[17], 30), 30},  {kind_code, 1},        {Cut(p[19], 40), 40},
                 {Cut(p[20], 40), 40}, {Cut(p[21], 40), 40},  {Cut(p[26], 1), 1},     {tail, 185}});
}

std::string Conf10Values() {
  std::string r(665, ' ');
  r.replace(3 * 19, 19, "1234567890123456789");
  r.replace(30 * 19, 2, "28");  // the monthly due day, right behind the 30 values
  return r;
}

// F10R3.DAT fields 27-36 behind the front.
std::string F10Tail(std::string_view value_index, std::string_view exclusion, std::string_view field29,
                    std::string_view field30, char flag) {
  return Fields({{value_index, 3}, {exclusion, 2}, {field29, 11}, {field30, 3}, {Pattern('u', 2), 2},
                 {Pattern('v', 2), 2}, {Pattern('w', 2), 2}, {Pattern('x', 104), 104}, {"2019", 4},
                 {Fill(599, '*'), 599}}) +
         std::string(1, flag);
}
std::string F13Tail(char flag) { return Fields({{"3", 2}, {Pattern('y', 125), 125}, {"z", 1}}) + std::string(1, flag); }
std::string F17Tail(std::string_view field27, char flag) {
  return Fields({{field27, 3}, {Pattern('y', 123), 123}, {"z", 1}}) + std::string(1, flag);
}

class Step435LayoutTest : public vektest::SandboxTest {
 protected:
  void SetUp() override { platform::SetToday(platform::Date{2024, 6, 15}); }
};

TEST_F(Step435LayoutTest, MemberFilesGetTheCommonLayout) {
  const std::string f10a = Front({{8, "15/03/2021X"}, {18, "SOCIO"}, {24, "1"}}) +
                           F10Tail("3", "78", "ABCDEFGHIJK", "12", ' ');
  const std::string f10b = Front({{18, "SOCIO"}, {24, "1"}}) + F10Tail("3", "", "", "", '+');
  const std::string f10c = Front({{8, "01/02/2003"}, {18, "DEPENDENTE"}, {24, "2"}}) +
                           F10Tail("30", "", "X", "", ' ');
  const std::string f13a = Front({{8, "15/03/2021X"}, {18, "CONTRIBUINTE"}}) + F13Tail(' ');
  const std::string f13b = Front({{18, "SOCIO"}}) + F13Tail('+');
  const std::string f13c = Front({{8, "01/02/2003"}, {18, "VISITANTE"}}) + F13Tail(' ');
  const std::string f17a = Front({{18, "QUALQUER"}}) + F17Tail("AB", ' ');
  // The last record was cut short inside field 12.
  const std::string f17b = (Front({{18, "SOCIO"}}) + F17Tail("CD", ' ')).substr(0, 300);
  box.Write("F10R3.DAT", f10a + f10b + f10c);
  box.Write("F13R0.DAT", f13a + f13b + f13c);
  box.Write("F17.DAT", f17a + f17b);
  box.Write("CONF10.DAT", Conf10Values());
  box.Write("F22.DAT", "earlier entries");

  steps::MigrateTo435(ui);

  const std::string blank_tail = Fill(185);
  EXPECT_EQ(box.Read("F10R4.DAT"),
            New1000(f10a, "12", "15/03/2021", "", "1", Fields({{"7", 1}, {"ABCDEFGHIJ", 10}, {"01", 2},
                                                                 {"1234567890123456", 16}, {"", 156}})) +
                New1000(f10c, "", "01/02/2003", "", "4",
                        Fields({{"", 1}, {"X", 10}, {"12", 2}, {"", 16}, {"", 156}})));
  EXPECT_EQ(box.Read("F13R1.DAT"), New1000(f13a, "", "", "15/03/2021", "2", blank_tail) +
                                       New1000(f13c, "", "", "01/02/2003", "3", blank_tail));
  EXPECT_EQ(box.Read("F17R0.DAT"),
            New1000(f17a, "AB", "", "", " ", blank_tail) + New1000(f17b, "", "", "", " ", blank_tail));
  // Spot checks of the helper above against fixed bytes of the first record.
  const std::string f10r4 = box.Read("F10R4.DAT");
  EXPECT_EQ(f10r4.substr(0, 11), "a123456789 ");
  EXPECT_EQ(f10r4.substr(286, 6), "    m1");
  EXPECT_EQ(f10r4.substr(814, 14), "a7ABCDEFGHIJ01");

  EXPECT_EQ(box.Read("F22.DAT"), "earlier entries");
  EXPECT_EQ(box.Read("F10R3.DAT"), f10a + f10b + f10c);
  EXPECT_EQ(box.Read("F13R0.DAT"), f13a + f13b + f13c);
}

TEST_F(Step435LayoutTest, GroupFileTakesConf14Twice) {
  std::string conf14;
  std::vector<std::string> texts;
  for (int i = 0; i < 5; ++i) {
    texts.push_back(Pattern(static_cast<char>('K' + i), 35));
    conf14 += Fields({{"0" + std::to_string(i + 1), 2}, {"abc", 3}, {texts.back(), 35}});
  }
  box.Write("CONF14.DAT", conf14);

  steps::MigrateTo435(ui);

  std::string expected;
  for (std::string_view group : {"1", "3"}) {
    for (int i = 0; i < 5; ++i) expected += Fields({{group, 1}, {"0" + std::to_string(i + 1), 8}, {texts[i], 51}});
  }
  EXPECT_EQ(box.Read("F24.DAT"), expected);
  EXPECT_EQ(expected.size(), 600u);
}

// Everything below the data folder, as path -> bytes.
std::map<std::string, std::string> Snapshot(const vektest::Sandbox& box) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(box.data)) {
    if (e.is_regular_file()) files[fs::relative(e.path(), box.data).generic_string()] = box.Read(e.path());
  }
  return files;
}

TEST_F(Step435LayoutTest, SecondRunChangesNothing) {
  box.Write("REG01/A.DAT", Fields({{"0000000001", 10}, {"", 3}, {"M", 7}, {"", 58}}) + " ");
  box.Write("F10R3.DAT", Front({{0, "SOC001"}, {24, "1"}}) + F10Tail("3", "", "", "", ' ').replace(133, 12, Fill(12)));
  box.Write("F13R0.DAT", Front({}) + F13Tail(' '));
  box.Write("F13R1.DAT", "made by the product");
  box.Write("F17.DAT", Front({}) + F17Tail("", ' '));
  box.Write("CONF10.DAT", Conf10Values());
  box.Write("CONF14.DAT", Fields({{"01", 2}, {"", 3}, {"GRUPO", 35}}));

  steps::MigrateTo435(ui);
  const auto first = Snapshot(box);
  steps::MigrateTo435(ui);

  EXPECT_EQ(Snapshot(box), first);
  EXPECT_EQ(first.at("F13R1.DAT"), "made by the product");
  for (const char* made : {"REG04/A.DAT", "F22.DAT", "F10R4.DAT", "F17R0.DAT", "F24.DAT"}) {
    EXPECT_TRUE(first.count(made)) << made;
  }
  // All of 2019 unpaid: twelve entries after the REG04 record's number 1; the
  // amount is cut to its field.
  EXPECT_EQ(first.at("F22.DAT").size(), 12u * 113);
  EXPECT_EQ(first.at("F22.DAT").substr(0, 113),
            Fields({{"SOC001", 10}, {"2", 10}, {"28/01/2019", 10}, {"12345678901234", 14}, {"01", 69}}));
}

}  // namespace
