// Record re-layout of F01R0/F09R0/F14R0, the split of the R08 and REG04 note
// files, the CONFIGA settings, the one-time field moves and the photo folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

class Step530Test : public vektest::SandboxTest {};

// A record of distinct printable bytes (so that a field taken from the wrong
// place shows), live or deleted.
std::string Pattern(std::size_t length, int seed, bool deleted = false) {
  static const std::string kChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s;
  for (std::size_t i = 0; i < length; ++i) s += kChars[(i * 7 + static_cast<std::size_t>(seed) * 13) % kChars.size()];
  s.back() = deleted ? '+' : ' ';
  return s;
}

void Put(std::string& rec, std::size_t offset, std::string_view value) { rec.replace(offset, value.size(), value); }

std::string F09(const std::string& s, std::string_view number, std::string_view digits) {
  return Fields({{number, 5},           {"", 6},
                 {s.substr(19, 40), 80},  {s.substr(99, 40), 63},
                 {digits, 7},           {s.substr(139, 71), 78},
                 {s.substr(379, 1), 11},  {s.substr(220, 18), 18},
                 {s.substr(0, 19), 22},   {s.substr(288, 20), 64},
                 {s.substr(238, 18), 138}, {s.substr(470, 10), 10},
                 {s.substr(380, 10), 10}, {"", 40},
                 {s.substr(586, 1), 1},   {s.substr(390, 10), 12},
                 {s.substr(368, 11), 11}, {s.substr(338, 19), 239}});
}

TEST_F(Step530Test, WritesF01R0AndNumbersF09R0WithoutDeletedRecords) {
  std::string a = Pattern(1000, 1), b = Pattern(1000, 2, true), c = Pattern(1000, 3);
  box.Write("F17R0.DAT", a + b + c);
  Put(a, 256, "12-34 56");
  Put(c, 256, "12345678");
  box.Write("F11R3.DAT", a + b + c);
  box.Write("F27.DAT", "old F27");
  box.Write("CONV.DAT", "530\r\n");  // the one-time field moves are tested on their own

  steps::RelayoutRecordsAndPhotos(ui);

  EXPECT_EQ(box.Read("F01R0.DAT"), Pattern(1000, 1).substr(0, 502) + Fill(312) +
                                       Pattern(1000, 3).substr(0, 502) + Fill(312));
  EXPECT_EQ(box.Read("F09R0.DAT"), F09(a, "00001", "123456") + F09(c, "00002", "1234567"));
  EXPECT_EQ(box.Read("F02R1.DAT"), "old F27");
  EXPECT_FALSE(box.Exists("F27.DAT"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Step530Test, ExistingTargetsAreLeftAloneAndMissingSourcesCreateNothing) {
  box.Write("F17R0.DAT", Pattern(1000, 1));
  box.Write("F01R0.DAT", "kept");
  box.Write("F02R1.DAT", "current");
  box.Write("F27.DAT", "old");
  box.Write("CONV.DAT", "530\r\n");  // keeps the one-time patches out of this test
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("F01R0.DAT"), "kept");
  EXPECT_EQ(box.Read("F02R1.DAT"), "current");
  EXPECT_EQ(box.Read("F27.DAT"), "old");
  EXPECT_EQ(box.List(), (std::vector<std::string>{"CONV.DAT", "F01R0.DAT", "F02R1.DAT", "F17R0.DAT", "F27.DAT"}));
}

// R08 (160 bytes): kind, 1-10, 11-20, date 21-30, 31-40, then by kind.
std::string R08KindA(std::string_view f1, std::string_view f2, std::string_view date, std::string_view f4,
                     std::string_view days, std::string_view note, bool deleted = false) {
  std::string r = Fields({{"A", 1}, {f1, 10}, {f2, 10}, {date, 10}, {f4, 10}, {days, 2}, {"x", 1}, {note, 40}});
  r += Fill(160 - r.size());
  r.back() = deleted ? '+' : ' ';
  return r;
}

std::string R33Main(std::string_view f1, std::string_view f2, std::string_view date, std::string_view f4,
                    std::string_view end) {
  return Fields({{f2, 10}, {end, 10}, {date, 10}, {"", 36}, {"0", 9}, {"0", 1}, {f4, 10}, {f1, 20}, {"", 2},
                 {"40", 5}, {"", 147}});
}

// REG04 (113 bytes).
std::string Reg04(std::string_view a, std::string_view b, std::string_view date, std::string_view n,
                  std::string_view c3, char flag, std::string_view key5, std::string_view t14) {
  std::string r = Fields({{a, 10}, {b, 10}, {date, 10}, {"unused-30-43..", 14}, {n, 2}, {c3, 3}, {"..", 2}});
  r += flag;
  r += Fields({{"unused 52-65..", 14}, {key5, 5}, {t14, 14}});
  r += Fill(113 - r.size());
  return r;
}

std::string R33Normal(std::string_view key, std::string_view a, std::string_view b, std::string_view n,
                      std::string_view c3, std::string_view flag, std::string_view tail, std::string_view t14) {
  return Fields({{key, 20}, {key, 10}, {t14, 18}, {t14, 18}, {"0", 6}, {c3, 3}, {flag, 1}, {a, 10}, {b, 20},
                 {"", 2}, {n, 5}, {tail, 10}, {"", 137}});
}

TEST_F(Step530Test, SplitsR08AndReg04NotesIntoR33AndF32) {
  box.MakeFolder("R33");
  std::string other = Fields({{"B", 1}, {"F1", 10}, {"F2", 10}, {"01/01/2002", 10}, {"F4", 10},
                              {"sixteen-chars-41", 16}, {"57-63..", 7}, {"64", 2}, {"twenty-chars-66-85..", 20},
                              {"86-90", 5}});
  other += Fill(160 - other.size());
  box.Write("R08/ABC.DAT",
            R08KindA("ONE", "TWO", "28/02/2001", "FOUR", "03", "first note") +
                R08KindA("X", "Y", "31/12/2003", "Z", "02", "gone", true) + other +
                R08KindA("uno", "dos", "15/03/2004", "cuatro", "01", "second note") +
                R08KindA("u", "d", "15/03/2004", "c", "  ", "third note") +
                R08KindA("u", "d", "          ", "c", "05", "no date") +
                // Not a whole date: no end date is made up from its pieces.
                R08KindA("s", "t", "1/3/2009", "c", "05", "short date"));
  std::string note = "#" + Pad("a note of REG04", 100) + Fill(12);
  box.Write("REG04/AB.DAT", Reg04("a11", "b11", "01/05/2001", "11", "c3a", '1', "00042", "text fourteen.") + note +
                                 Reg04("a12", "b12", "01/05/2001", "12", "c3b", '0', "00043", "t") +
                                 Reg04("a13", "b13", "01/05/2001", "13", "c3c", '2', "7", "u") +
                                 Reg04("axx", "bxx", "01/05/2001", "xx", "c3d", '1', "00044", "v"));

  steps::RelayoutRecordsAndPhotos(ui);

  EXPECT_EQ(box.Read("R33/L33ABC.DAT"),
            R33Main("ONE", "TWO", "28/02/2001", "FOUR", "02/03/2001") + "#" + Pad("first note", 259) +
                R33Main("uno", "dos", "15/03/2004", "cuatro", "15/03/2004") + "#" + Pad("second note", 259) +
                R33Main("u", "d", "15/03/2004", "c", "15/03/2004") + "#" + Pad("third note", 259) +
                R33Main("u", "d", "", "c", "") + "#" + Pad("no date", 259) +
                R33Main("s", "t", "1/3/2009", "c", "") + "#" + Pad("short date", 259));
  EXPECT_EQ(box.Read("F32.DAT"), Fields({{"F2", 10}, {"01/01/2002", 20}, {"sixteen-chars-41", 36}, {"0", 9},
                                         {"0", 1}, {"F4", 10}, {"twenty-chars-66-85..", 20}, {"03", 2}, {"64", 5},
                                         {"57-63..", 10}, {"86-90", 137}}));
  EXPECT_EQ(box.Read("R33/L33AB.DAT"),
            R33Normal("00042/AB.D", "a11", "b11", "11", "c3a", "9", "05/2001", "text fourteen.") + "A" +
                Pad("a note of REG04", 259) + R33Normal("00043/AB.D", "a12", "b12", "12", "c3b", "0", "2001", "t") +
                R33Normal("7    /AB.D", "a13", "b13", "13", "c3c", "0", "01/05/2001", "u") +
                R33Normal("00044/AB.D", "axx", "bxx", "xx", "c3d", "9", "05/2001", "v"));
  EXPECT_TRUE(ui.messages.empty());

  // F32.DAT marks the split as done: a second run appends nothing.
  std::string r33 = box.Read("R33/L33ABC.DAT");
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("R33/L33ABC.DAT"), r33);
}

TEST_F(Step530Test, WithoutR33TheUserIsWarnedAndNothingIsMarkedDone) {
  box.Write("REG04/AB.DAT", Reg04("a", "b", "01/05/2001", "11", "c", '1', "00042", "t"));
  steps::RelayoutRecordsAndPhotos(ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "A pasta R33 n\xE3o existe: as anota\xE7\xF5" "es das pastas R08 e REG04 n\xE3o foram convertidas.");
  EXPECT_EQ(ui.messages[0].caption, "Vek");
  EXPECT_EQ(ui.messages[0].icon, platform::Icon::kWarning);
  EXPECT_FALSE(box.Exists("F32.DAT"));
  EXPECT_FALSE(box.Exists("R33"));

  // Once R33 is there, a later run converts them.
  box.MakeFolder("R33");
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("R33/L33AB.DAT"), R33Normal("00042/AB.D", "a", "b", "11", "c", "9", "05/2001", "t"));
  EXPECT_EQ(box.Read("F32.DAT"), "");
  EXPECT_EQ(ui.messages.size(), 1u);
}

std::string F31(std::string_view s0, std::string_view s51, std::string_view s69, std::string_view month1,
                std::string_view month2, std::string_view s85, bool deleted = false) {
  std::string r = Fields({{s0, 51}, {s51, 18}, {s69, 2}, {month1, 7}, {month2, 7}, {s85, 6}});
  r += Fill(172 - r.size());
  r.back() = deleted ? '+' : ' ';
  return r;
}

std::string F14(std::string_view s0, std::string_view s51, std::string_view s69, std::string_view first,
                std::string_view last, std::string_view s85) {
  return Fields({{s0, 51}, {"", 79}, {s51, 18}, {first, 10}, {last, 10}, {s69, 7}, {s85, 136}});
}

TEST_F(Step530Test, F14R0GetsTheFirstAndLastDaysOfItsMonths) {
  box.Write("F31.DAT", F31("charge one", "eighteen chars 51.", "69", "01/2004", "02/2004", "85-90.") +
                           F31("charge two", "b", "xy", "03/2003", "02/2003", "z") +
                           F31("deleted", "c", "zz", "01/2003", "02/2003", "z", true) +
                           F31("charge three", "d", "  ", "       ", "04/2003", "") +
                           F31("charge four", "e", "12", "11/2003", "       ", "w"));
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("F14R0.DAT"),
            F14("charge one", "eighteen chars 51.", "69", "01/01/2004", "29/02/2004", "85-90.") +
                F14("charge two", "b", "xy", "01/03/2003", "28/02/2003", "z") +
                F14("charge three", "d", "", "", "30/04/2003", "") +
                F14("charge four", "e", "12", "01/11/2003", "", "w"));
}

TEST_F(Step530Test, ConfigaSettingsBecomeCountersOnce) {
  std::string configa;
  for (int k = 0; k < 15; ++k) {
    const char* value = k == 5 ? "7" : k == 12 ? "9" : k == 1 ? "abc" : k == 3 ? "999999999" : k == 14 ? "  42" : "0";
    configa += Pad(value, 11);
  }
  box.Write("CONFIGA.DAT", configa);
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("F34.DAT"), Fields({{"", 10}, {"60", 10}, {"7", 10}}) + Fields({{"", 10}, {"60B", 10}, {"9", 10}}) +
                                     Fields({{"", 10}, {"14", 10}, {"42", 10}}));
  EXPECT_FALSE(box.Exists("CONFIGA.DAT"));

  // With a counters file in place CONFIGA.DAT is not read.
  box.Write("CONFIGA.DAT", configa);
  box.Write("F34.DAT", "");
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("F34.DAT"), "");
  EXPECT_EQ(box.Read("CONFIGA.DAT"), configa);
}

TEST_F(Step530Test, FieldMovesOfF10R4AndF09R0RunOnce) {
  // F10R4: byte 826 blank leaves the record alone, even with 693 = "3".
  std::string untouched = Pattern(1000, 4);
  Put(untouched, 693, "3");
  Put(untouched, 815, "X01/05/2001   ");
  std::string full = Pattern(1000, 5);
  Put(full, 693, "3");
  Put(full, 815, "Q01/06/2002ABC");
  std::string deleted = Pattern(1000, 6, true);
  Put(deleted, 693, "4");
  Put(deleted, 815, "           Z  ");
  box.Write("F10R4.DAT", untouched + full + deleted);

  std::string with_note = Pattern(815, 7);
  Put(with_note, 552, Pad("a free note", 43));
  Put(with_note, 492, "2001-05-01");
  std::string with_date = Pattern(815, 8);
  Put(with_date, 552, Pad("01/02/2003", 43));
  Put(with_date, 492, " 123456789");
  std::string blank = Pattern(815, 9, true);
  Put(blank, 552, Fill(43));
  Put(blank, 492, "ABCDEFGHIJ");
  std::string short_note = Pattern(815, 10);
  Put(short_note, 552, Pad("ab", 43));
  Put(short_note, 492, " 23456789x");
  box.Write("F09R0.DAT", with_note + with_date + blank + short_note);

  steps::RelayoutRecordsAndPhotos(ui);

  std::string full_after = full;
  Put(full_after, 693, "5");
  Put(full_after, 239, "Q");
  Put(full_after, 552, "01/06/2002");
  Put(full_after, 815, "ABC" + Fill(11));
  std::string deleted_after = deleted;
  Put(deleted_after, 693, "3");
  Put(deleted_after, 815, "Z" + Fill(13));
  EXPECT_EQ(box.Read("F10R4.DAT"), untouched + full_after + deleted_after);

  std::string with_note_after = with_note;
  Put(with_note_after, 613, Pad("a free note", 43));
  Put(with_note_after, 552, Pad("2001-05-01", 43));
  Put(with_note_after, 492, Fill(10));
  std::string blank_after = blank;
  Put(blank_after, 552, "ABCDEFGHIJ");
  Put(blank_after, 492, Fill(10));
  std::string short_after = short_note;
  Put(short_after, 613, Pad("ab", 43));
  Put(short_after, 552, Fill(43));
  const std::string f09 = with_note_after + with_date + blank_after + short_after;
  EXPECT_EQ(box.Read("F09R0.DAT"), f09);
  EXPECT_EQ(box.Read("CONV.DAT"), "530\r\n");

  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read("F10R4.DAT"), untouched + full_after + deleted_after);
  EXPECT_EQ(box.Read("F09R0.DAT"), f09);
  EXPECT_EQ(box.Read("CONV.DAT"), "530\r\n");
}

TEST_F(Step530Test, MovesThePhotoFolderAndRenamesItsPhotos) {
  const auto photos = box.root / "Zelk" / "Fotos" / "Vek";
  box.Write(photos / "1" / "a.jpg", "p1");
  box.Write(photos / "2" / "b.jpg", "p2");
  box.Write(photos / "3" / "c.jpg", "p3");
  box.Write(photos / "540" / "0007-540.jpeg", "front");
  box.Write(photos / "540" / "0007-545.BMP", "back");
  box.Write(photos / "540" / "12-540.gif", "two");
  box.Write(photos / "540" / "99-540.jpg", "not listed");
  box.Write("F26R0.DAT", Pad("0007", 999) + " " + Pad("12", 999) + "+" + Pad("0008", 999) + " ");

  steps::RelayoutRecordsAndPhotos(ui);

  EXPECT_FALSE(box.Exists(box.root / "Zelk" / "Fotos"));
  EXPECT_EQ(box.List("X01"), (std::vector<std::string>{"01", "10", "13", "26"}));
  EXPECT_EQ(box.Read("X01/10/a.jpg"), "p1");
  EXPECT_EQ(box.Read("X01/13/b.jpg"), "p2");
  EXPECT_EQ(box.Read("X01/01/c.jpg"), "p3");
  EXPECT_EQ(box.List("X01/26"), (std::vector<std::string>{"0007-1.jpeg", "0007-2.bmp", "12-1.gif", "99-540.jpg"}));
  EXPECT_EQ(box.Read("X01/26/0007-1.jpeg"), "front");
  EXPECT_EQ(box.Read("X01/26/0007-2.bmp"), "back");
  EXPECT_EQ(box.Read("X01/26/12-1.gif"), "two");

  // The old folder is gone: a second run changes nothing.
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.List("X01/26"), (std::vector<std::string>{"0007-1.jpeg", "0007-2.bmp", "12-1.gif", "99-540.jpg"}));
}

TEST_F(Step530Test, AnExistingX01StopsThePhotoMove) {
  const auto photos = box.root / "Zelk" / "Fotos" / "Vek";
  box.Write(photos / "540" / "0007-540.jpg", "front");
  box.Write("X01/keep.txt", "mine");
  box.Write("F26R0.DAT", Pad("0007", 999) + " ");
  steps::RelayoutRecordsAndPhotos(ui);
  EXPECT_EQ(box.Read(photos / "540" / "0007-540.jpg"), "front");
  EXPECT_EQ(box.List("X01"), (std::vector<std::string>{"keep.txt"}));
}

}  // namespace
