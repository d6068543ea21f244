#include <string>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

class Step559 : public vektest::SandboxTest {
 protected:
  std::string Retired(const std::string& name) const { return box.Read(box.temp / "Zelk" / "Vek" / name); }
};

// ---- F09R0.DAT ----------------------------------------------------------

struct Block {
  std::string at613, at614, at626, at637, at648;
};

// An F09R0.DAT record (815 bytes) with filler around the fields the step uses.
std::string F09(std::string_view at154, std::string_view code354, const Block& b, char flag = ' ') {
  return Fill(154, 'a') + Pad(at154, 7) + Fill(193, 'b') + Pad(code354, 19) + Fill(240, 'c') +
         Fields({{b.at613, 1}, {b.at614, 12}, {b.at626, 11}, {b.at637, 11}, {b.at648, 8}}) +
         Fill(44) + Fill(114, 'd') + flag;
}

// The same record after the step: 154-160 blank, the code at 354 in 18, and
// the block rearranged into 613-699.
std::string F09After(std::string_view code354, const Block& b, char flag = ' ') {
  return Fill(154, 'a') + Fill(7) + Fill(193, 'b') + Pad(code354, 19) + Fill(240, 'c') +
         Fields({{b.at637, 27}, {b.at613, 1}, {b.at614, 18}, {b.at626, 9}, {b.at648, 32}}) +
         Fill(114, 'd') + flag;
}

TEST_F(Step559, FormatsCodesAndRearrangesTheBlockOnce) {
  box.Write("F09R0.DAT",
            F09("XYZ1234", "123 456-789.0125", {"S", "Centro Norte", "1234567-9", "Ana Souza", "20240101"}) +
                F09("QQ", "1234567890124", {"N", "Sul", "12345678901", "Bia", "x"}) +
                F09("DEL", "9876543210981", {"D", "Oeste", "7891234 2", "Caio", "y"}, '+') +
                F09("", "123456789012", {"", "", "", "", ""}));

  steps::FormatCodesAndLinkNotes(ui);

  const std::string after =
      F09After("123.456.789.012-5", {"S", "Centro Norte", "1234567-9", "Ana Souza", "20240101"}) +
      // A wrong check digit: the code stays, cut to its 9 places.
      F09After("1234567890124", {"N", "Sul", "123456789", "Bia", "x"}) +
      F09After("987.654.321.098-1", {"D", "Oeste", "7891234-2", "Caio", "y"}, '+') +
      F09After("123456789012", {"", "", "", "", ""});
  EXPECT_EQ(box.Read("F09R0.DAT"), after);
  EXPECT_EQ(box.Read("CONV.DAT"), "559\r\n");

  // The log is lost and a new raw code arrives: the codes are formatted again,
  // the block is not moved a second time.
  std::filesystem::remove(box.Path("CONV.DAT"));
  std::string changed = after;
  changed.replace(815 + 354, 19, Pad("9876543210981", 19));
  box.Write("F09R0.DAT", changed);
  steps::FormatCodesAndLinkNotes(ui);
  std::string expected = after;
  expected.replace(815 + 354, 19, Pad("987.654.321.098-1", 19));
  EXPECT_EQ(box.Read("F09R0.DAT"), expected);
  EXPECT_EQ(box.Read("CONV.DAT"), "559\r\n");

  // Logged: nothing of this work runs again.
  box.Write("F09R0.DAT", changed);
  steps::FormatCodesAndLinkNotes(ui);
  EXPECT_EQ(box.Read("F09R0.DAT"), changed);
  EXPECT_EQ(box.Read("CONV.DAT"), "559\r\n");
  EXPECT_TRUE(ui.messages.empty());
}

// ---- F28R0.DAT and the note links ----------------------------------------

std::string F28(char at544, char flag = ' ') {
  return Fill(544, 'f') + at544 + Fill(27, 'g') + '-' + Fill(426, 'h') + flag;
}

std::string Main(std::string_view key, std::string_view link = "") {
  return Pad(key, 151) + Pad(link, 10) + Fill(98, 'm') + ' ';
}
std::string Note(char kind, std::string_view text, char flag = ' ') {
  return kind + Pad(text, 100) + Fill(50, 'n') + Fill(108, 't') + flag;
}
std::string LinkedNote(std::string_view main_index, std::string_view text) {
  return "B" + Pad(main_index, 10) + Pad(text, 140) + Fill(108, 't') + ' ';
}

TEST_F(Step559, CopiesTheF28ByteAndLinksNotesToTheirMainRecords) {
  box.Write("F28R0.DAT", F28('Q') + F28('R', '+'));
  box.Write("R33/L33ABC.DAT",
            Note('A', "Nota na primeira linha") + Main("M1") + Note('#', "Nota antiga") + Main("M3") +
                Main("M4") + Note('A', "Nota do M4") + Main("M6") + Note('A', "Nota apagada", '+'));
  box.Write("R33/L33XYZ.DAT", Main("X0") + Note('A', "Outra nota"));
  const std::string other = Main("O0") + Note('A', "Fora da busca");
  box.Write("R33/OUTRO.DAT", other);

  steps::FormatCodesAndLinkNotes(ui);

  EXPECT_EQ(box.Read("F28R0.DAT"), Fill(544, 'f') + 'Q' + Fill(27, 'g') + 'Q' + Fill(426, 'h') + ' ' +
                                       Fill(544, 'f') + 'R' + Fill(27, 'g') + 'R' + Fill(426, 'h') + '+');
  EXPECT_EQ(box.Read("R33/L33ABC.DAT"),
            Note('A', "Nota na primeira linha") + Main("M1") + Note('#', "Nota antiga") + Main("M3") +
                Main("M4", "5") + LinkedNote("4", "Nota do M4") + Main("M6") + Note('A', "Nota apagada", '+'));
  EXPECT_EQ(box.Read("R33/L33XYZ.DAT"), Main("X0", "1") + LinkedNote("0", "Outra nota"));
  EXPECT_EQ(box.Read("R33/OUTRO.DAT"), other);
  EXPECT_EQ(box.Read("CONV.DAT"), "559\r\n");
}

// ---- F15R1.DAT and F18R2.DAT -----------------------------------------------

// A record whose every byte tells its position, so that a field taken from the
// wrong place shows.
std::string Positional(std::size_t length, char flag = ' ') {
  static const std::string cycle = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string r;
  for (std::size_t i = 0; i + 1 < length; ++i) r += cycle[i % cycle.size()];
  return r + flag;
}

std::string F15Source(char kind, char flag = ' ') {
  std::string r = Positional(300, flag);
  r[86] = kind;
  return r;
}

std::string F15Expected(const std::string& s, std::string_view kind_code) {
  return Pad(s.substr(0, 19), 20) + Pad(s.substr(19, 40), 81) + Pad(s.substr(80, 6), 148) + Pad(kind_code, 233) +
         Pad(s.substr(60, 20), 93) + Pad(s.substr(92, 5), 5) + Pad(s.substr(98, 6), 67) + Pad(s.substr(59, 1), 4) +
         Pad(s.substr(89, 3), 249);
}

std::string F18Expected(const std::string& s) {
  auto src = [&](std::size_t a, std::size_t b) { return s.substr(a, b - a + 1); };
  return Pad(src(0, 50), 51) + Pad(src(200, 239), 40) + Pad(src(69, 98), 109) + Pad(src(99, 113), 30) +
         Pad(src(114, 115), 20) + Pad(src(51, 68), 18) + Pad(src(116, 133), 86) + Pad(src(255, 272), 18) +
         Pad(src(273, 312), 60) + Pad(src(313, 327), 60) + Pad(src(134, 141), 15) + Pad(src(142, 143), 2) +
         Pad(src(328, 329), 3) + Pad(src(160, 199), 101) + Pad(src(330, 347), 18) + Pad(src(144, 159), 16) +
         Pad(src(240, 254), 15) + Fill(148);
}

TEST_F(Step559, RelaysOutF15AndF18AndRetiresTheOldTables) {
  const std::string f15 = F15Source('1') + F15Source('2', '+') + F15Source('2') + F15Source('3');
  box.Write("F15R0.DAT", f15);
  std::string f18b = Positional(547);
  f18b.replace(200, 40, Pad("Segundo", 40));
  const std::string f18 = Positional(547) + Positional(547, '+') + f18b;
  box.Write("F18R1.DAT", f18);

  steps::FormatCodesAndLinkNotes(ui);

  const std::string s15 = F15Source('1');
  EXPECT_EQ(box.Read("F15R1.DAT"),
            F15Expected(s15, "0") + F15Expected(F15Source('2'), "2") + F15Expected(F15Source('3'), ""));
  EXPECT_EQ(box.Read("F18R2.DAT"), F18Expected(Positional(547)) + F18Expected(f18b));
  EXPECT_FALSE(box.Exists("F15R0.DAT"));
  EXPECT_FALSE(box.Exists("F18R1.DAT"));
  EXPECT_EQ(Retired("F15R0.DAT"), f15);
  EXPECT_EQ(Retired("F18R1.DAT"), f18);
}

TEST_F(Step559, AnExistingNewTableIsKeptAndTheOldOneStillRetired) {
  box.Write("F15R1.DAT", "kept");
  box.Write("F15R0.DAT", F15Source('1'));
  box.Write("F18R1.DAT", Positional(547));
  box.Write(box.temp / "Zelk" / "Vek" / "F18R1.DAT", "earlier");

  steps::FormatCodesAndLinkNotes(ui);

  EXPECT_EQ(box.Read("F15R1.DAT"), "kept");
  EXPECT_FALSE(box.Exists("F15R0.DAT"));
  EXPECT_EQ(Retired("F15R0.DAT"), F15Source('1'));
  EXPECT_EQ(box.Read("F18R2.DAT"), F18Expected(Positional(547)));
  EXPECT_EQ(Retired("F18R1.DAT"), "earlier");
  EXPECT_EQ(Retired("F18R1.DAT.001"), Positional(547));
}

// ---- F90.DAT -> F40.DAT ----------------------------------------------------

std::string Entry(char kind, std::string_view key, std::string_view length, std::string_view text) {
  return kind + Pad(key, 10) + std::string(length) + std::string(text);
}

std::string F40(std::string_view key, std::string_view length, std::string_view text) {
  return Fields({{"100", 3}, {"", 10}, {"110", 3}, {key, 10}, {length, 6}, {length, 4}, {"0", 3}, {"1", 1},
                 {text, 460}});
}

TEST_F(Step559, TurnsTextEntriesIntoF40Records) {
  std::string long_text;
  for (int i = 0; i < 45; ++i) long_text += "texto " + std::to_string(i % 10) + "...";
  ASSERT_EQ(long_text.size(), 450u);
  box.Write("F90.DAT", Entry('1', "KEY1", "00450", long_text) +      // capped at 300, next 466 on
                           Entry('2', "KEY2", "00010", "1xxxxxxxxx") +  // other kind: skipped by its length
                           Entry('3', "NEG", "-0016", "") +             // a negative length still advances
                           Entry('1', "KEY4", "00012", "linha1\r\nlin2") + Entry('1', "KEY5", "00000", "") +
                           Entry('1', "KEY6", "abcde", ""));
  box.Write("C04.DAT", Fill(833));
  box.Write("C04B.DAT", "b");

  steps::FormatCodesAndLinkNotes(ui);

  EXPECT_EQ(box.Read("F40.DAT"), F40("KEY1", "300", long_text.substr(0, 300)) +
                                     F40("KEY4", "12", "linha1\r\nlin2") + F40("KEY5", "0", "") +
                                     F40("KEY6", "0", ""));
  EXPECT_FALSE(box.Exists("F90.DAT"));
  EXPECT_FALSE(box.Exists("C04.DAT"));
  EXPECT_FALSE(box.Exists("C04B.DAT"));

  // Done once: a later F90.DAT is left alone.
  const std::string later = Entry('1', "KEY9", "00003", "abc");
  box.Write("F90.DAT", later);
  steps::FormatCodesAndLinkNotes(ui);
  EXPECT_EQ(box.Read("F90.DAT"), later);
  EXPECT_EQ(box.Read("F40.DAT").size(), 2000u);
}

TEST_F(Step559, WithoutF90AnEmptyF40IsCreated) {
  steps::FormatCodesAndLinkNotes(ui);
  ASSERT_TRUE(box.Exists("F40.DAT"));
  EXPECT_EQ(box.Read("F40.DAT"), "");
  EXPECT_EQ(box.Read("CONV.DAT"), "559\r\n");
  EXPECT_FALSE(box.Exists("F15R1.DAT"));
  EXPECT_FALSE(box.Exists("F18R2.DAT"));
}

}  // namespace
