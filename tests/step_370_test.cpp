#include <string>
#include <vector>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fill;
using vektest::Pad;
using vektest::SandboxTest;
using Names = std::vector<std::string>;

class Step370Test : public SandboxTest {};

// A yearly unit: an 18-character key and a tail.
std::string Unit(std::string_view key, std::string_view tail) { return Pad(key, 18) + std::string(tail); }

// An F10r2.dat record: key, some data, the flag byte at 896.
std::string OldRecord(std::string_view key, std::string_view data, char flag = ' ') {
  return Pad(key, 18) + Pad(data, 878) + std::string(1, flag);
}

// The F10r3.dat record: the old record, the history, the flag at 1500.
std::string NewRecord(const std::string& old, std::string_view history, char flag = ' ') {
  return old + Pad(history, 603) + std::string(1, flag);
}

TEST_F(Step370Test, CleansYearlyFilesCollectsHistoryAndMergesIt) {
  // 1985: B, A, B (the second B in other letter case and with another tail).
  box.Write("REG/RM1985.DAT", Unit("KEYB", "b85 first\r\n") + Unit("KEYA", "a85\r\n") + Unit("keyB", "b85 last\r\n"));
  box.Write("REG/RM1990.DAT", Unit("KEYA", "a90\r\n") + Unit("KEYC", "c90\r\n"));
  box.Write("REG/RM2010.DAT", Unit("KEYC", "c10\r\n"));
  box.Write("REG/notes.txt", "not a yearly file");

  const std::string a = OldRecord("KeyA", "member A");
  const std::string b = OldRecord("KEYB", "member B");
  const std::string x = OldRecord("KEYX", "member without history");
  const std::string c = OldRecord("KEYC", "deleted member C", '+');
  const std::string shorty = Pad("KEYA", 18) + "cut short";
  box.Write("F10r2.dat", a + b + x + c + shorty);

  steps::MigrateTo370(ui);

  EXPECT_EQ(box.Read("REG/RM1985.DAT"), Unit("KEYA", "a85\r\n") + Unit("keyB", "b85 last\r\n"));
  EXPECT_EQ(box.Read("REG/RM1990.DAT"), Unit("KEYA", "a90\r\n") + Unit("KEYC", "c90\r\n"));
  EXPECT_EQ(box.Read("REG/RM2010.DAT"), Unit("KEYC", "c10\r\n"));
  EXPECT_EQ(box.Read("REG/notes.txt"), "not a yearly file");

  // Tails keep their line feeds; the first year in which a key was found leads.
  EXPECT_EQ(box.Read("F10r3.dat"), NewRecord(a, "1985a85\na90\n") + NewRecord(b, "1985b85 last\n") +
                                       NewRecord(x, "") + NewRecord(c, "1990c90\nc10\n", '+') +
                                       NewRecord(Pad(shorty, 897), "1985a85\na90\n"));
  EXPECT_EQ(box.Read("F10r2.dat"), a + b + x + c + shorty);

  std::vector<std::string> expected = {"Convertendo 3.70", "RM1985.DAT", "RM1990.DAT", "RM2010.DAT"};
  for (int y = 1960; y <= 2010; ++y) expected.push_back(std::to_string(y));
  expected.insert(expected.end(), {"Convertendo 3.70", "1", "2", "3", "4", "5"});
  EXPECT_EQ(ui.statuses, expected);
  EXPECT_TRUE(ui.messages.empty());

  // The collected entries stay in work list A.
  ASSERT_EQ(ui.ListA().Count(), 3);
  EXPECT_EQ(*ui.ListA().Get(0), Pad("KEYA", 18) + "1985a85\na90\n");
}

TEST_F(Step370Test, CleaningSortsShortKeysFirstAndFoldsAccentedCapitals) {
  // Units shorter than a key hold their line feed in the key; a line feed sorts
  // before a space, a shorter key before a longer one, and accented capitals
  // fold to their small letters (code page 1252), sorting after plain letters.
  box.Write("REG/RM1975.DAT", Unit("\xC9LAN", "1\r\n") + "KEY\r\n" + Unit("KEY", "2\r\n") + "Zed" +
                                  "\r\n" + Unit("\xE9lan", "3\r\n") + "KE\r\n");
  box.Write("F10r2.dat", "");

  steps::MigrateTo370(ui);

  EXPECT_EQ(box.Read("REG/RM1975.DAT"),
            "KE\r\nKEY\r\n" + Unit("KEY", "2\r\n") + "Zed\r\n" + Unit("\xE9lan", "3\r\n"));
}

TEST_F(Step370Test, EighteenthCharacterTakesPartInCleaningButNotInEntries) {
  const std::string key = "ABCDEFGHIJKLMNOPQR";  // 18 characters, no space at the end
  box.Write("REG/RM1970.DAT",
            Unit(key, "r1\r\n") + Unit("ABCDEFGHIJKLMNOPQZ", "z1\r\n") + Unit("abcdefghijklmnopqr", "r2\r\n"));
  box.Write("REG/RM1980.DAT", Unit(key, "r3\r\n"));
  // A record with the 18th character set finds no entry; one with a space
  // there finds the first of the entries that share the first 17 characters.
  const std::string full = OldRecord(key, "full key");
  const std::string spaced = OldRecord("ABCDEFGHIJKLMNOPQ", "17 characters");
  box.Write("F10r2.dat", full + spaced);

  steps::MigrateTo370(ui);

  EXPECT_EQ(box.Read("REG/RM1970.DAT"), Unit("abcdefghijklmnopqr", "r2\r\n") + Unit("ABCDEFGHIJKLMNOPQZ", "z1\r\n"));
  EXPECT_EQ(box.Read("F10r3.dat"), NewRecord(full, "") + NewRecord(spaced, "1970r2\n"));
  // No unit ever matched an entry: one entry per unit, in list order.
  ASSERT_EQ(ui.ListA().Count(), 3);
  EXPECT_EQ(*ui.ListA().Get(0), "abcdefghijklmnopq 1970r2\n");
  EXPECT_EQ(*ui.ListA().Get(1), "ABCDEFGHIJKLMNOPQ 1970z1\n");
  EXPECT_EQ(*ui.ListA().Get(2), "ABCDEFGHIJKLMNOPQ 1980r3\n");
}

TEST_F(Step370Test, YearlyFilesWithoutLineEndsAndWithCtrlZ) {
  // Units of exactly 30 characters, no line ends, and a short last unit.
  const std::string b1 = Unit("KEYB", "b1b1b1b1b1b1");
  const std::string a1 = Unit("KEYA", "a1a1a1a1a1a1");
  const std::string b2 = Unit("KEYB", "b2b2b2b2b2b2");
  box.Write("REG/RM2000.DAT", b1 + a1 + b2 + "KEYD");
  // A trailing Ctrl-Z is the end of the text; one with data behind it keeps the file.
  box.Write("REG/RM2001.DAT", Unit("KEYB", "x\r\n") + Unit("KEYA", "y\r\n") + "\x1A");
  const std::string guarded = Unit("KEYB", "x\r\n") + Unit("KEYA", "y\r\n") + "\x1A" + Unit("KEYC", "z\r\n");
  box.Write("REG/RM2002.DAT", guarded);
  // A short last unit that would not be written last is kept where it is.
  const std::string short_first = Unit("KEYY", "y1y1y1y1y1y1") + Unit("KEYX", "x1x1x1x1x1x1") + "KEY0";
  box.Write("REG/RM2003.DAT", short_first);
  box.Write("F10r2.dat", OldRecord("KEYA", "a") + OldRecord("KEYB", "b") + OldRecord("KEYC", "c"));

  steps::MigrateTo370(ui);

  EXPECT_EQ(box.Read("REG/RM2000.DAT"), a1 + b2 + "KEYD");
  EXPECT_EQ(box.Read("REG/RM2001.DAT"), Unit("KEYA", "y\r\n") + Unit("KEYB", "x\r\n"));
  EXPECT_EQ(box.Read("REG/RM2002.DAT"), guarded);
  EXPECT_EQ(box.Read("REG/RM2003.DAT"), short_first);
  EXPECT_EQ(ui.warnings(), (Names{"REG\\RM2002.DAT: um Ctrl-Z na posi\xE7\xE3o 42 encerra o texto antes do fim do "
                                   "arquivo; o arquivo ficou como estava, sem limpeza.",
                                   "REG\\RM2003.DAT: a \xFAltima unidade, na posi\xE7\xE3o 60, est\xE1"
                                   " incompleta e n\xE3o fica no fim em ordem de chave; o arquivo ficou como "
                                   "estava, sem limpeza."}));
  EXPECT_EQ(box.Read("F10r3.dat"), NewRecord(OldRecord("KEYA", "a"), "2000a1a1a1a1a1a1y\ny\n") +
                                       NewRecord(OldRecord("KEYB", "b"), "2000b2b2b2b2b2b2x\nx\n") +
                                       NewRecord(OldRecord("KEYC", "c"), ""));
}

TEST_F(Step370Test, HistoryIsCutAndF10r3IsAppendedTo) {
  // 50 years of 12-character tails: 604 characters behind the year, of
  // which the entry keeps 604 - 18 - 4.
  std::string history = "1960";
  for (int y = 1960; y < 2010; ++y) {
    std::string tail = std::to_string(y);
    tail.insert(tail.begin(), 't');
    tail += "-------";
    box.Write("REG/RM" + std::to_string(y) + ".DAT", Unit("LONG", tail));
    history += tail;
  }
  ASSERT_GT(history.size(), 586u);
  const std::string before = NewRecord(OldRecord("OLD", "appended to"), "");
  box.Write("F10r3.dat", before);
  box.Write("F10r2.dat", OldRecord("long", "x"));

  steps::MigrateTo370(ui);

  EXPECT_EQ(box.Read("F10r3.dat"), before + NewRecord(OldRecord("long", "x"), history.substr(0, 586)));

  // Without F10r2.dat nothing is appended.
  box.Write("F10r2.dat", "");
  std::filesystem::remove(box.Path("F10r2.dat"));
  steps::MigrateTo370(ui);
  EXPECT_EQ(box.Read("F10r3.dat").size(), 2u * 1501u);
}

TEST_F(Step370Test, NothingToConvert) {
  steps::MigrateTo370(ui);
  EXPECT_TRUE(box.List().empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.statuses.front(), "Convertendo 3.70");
  EXPECT_EQ(ui.statuses.back(), "Convertendo 3.70");
}

}  // namespace
