#include <string>

#include "platform/files.h"
#include "steps/code_format.h"
#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

class TelephonesStep : public vektest::SandboxTest {};

// A record with the key, both telephone fields and filler around them, so that
// a write at a wrong offset shows.
std::string PhoneRecord(std::size_t length, std::string_view key, std::string_view first,
                        std::string_view second, char flag = ' ') {
  std::string r = Pad(key, 10) + Fill(280, '.') + Pad(first, 41) + Pad(second, 23);
  r += Fill(length - 1 - r.size(), '=');
  r += flag;
  return r;
}

std::string Line(std::string_view head, std::string_view key, std::string_view text) {
  return Fields({{head, 5}, {key, 10}, {text, 23}}) + "\r\n";
}

const std::string k40 = "1234567890123456789012345678901234567ABC";
const std::string k41 = "1234567890123456789012345678901234567WXYZ";
const std::string k30 = "Rua das Flores 123 - fundos 12";
const std::string k37 = "1234567890123456789012345678901234567";

TEST_F(TelephonesStep, MovesOverflowAndSecondNumbersIntoTheList) {
  box.Write("F10R4.DAT", PhoneRecord(1000, "K0", k40, "") +
                             PhoneRecord(1000, "K1", "3222-1234", "9999-0000") +
                             PhoneRecord(1000, "K2", k30, "12345678") +
                             PhoneRecord(1000, "K3", "Casa 3222-1234", "CASA") +
                             PhoneRecord(1000, "K4", "", "1234") +
                             PhoneRecord(1000, "K5", "3333-0000", "5555", '+') +
                             PhoneRecord(1000, "K6", k41, "8765-4321"));
  box.Write("F00R0.DAT", PhoneRecord(1000, "A0", "3222-1234", "9999-0000"));
  platform::SetReadOnly("F00R0.DAT", true);
  box.Write("F09R0.DAT", PhoneRecord(815, "N9", k40, "7777"));

  steps::MigrateTelephones(ui);

  EXPECT_EQ(box.Read("F10R4.DAT"), PhoneRecord(1000, "K0", k37, "") +
                                       PhoneRecord(1000, "K1", "3222-1234 / 9999-0000", "") +
                                       PhoneRecord(1000, "K2", k30, "") +
                                       PhoneRecord(1000, "K3", "Casa 3222-1234", "CASA") +
                                       PhoneRecord(1000, "K4", " / 1234", "") +
                                       PhoneRecord(1000, "K5", "3333-0000 / 5555", "", '+') +
                                       PhoneRecord(1000, "K6", k37, ""));
  EXPECT_EQ(box.Read("F00R0.DAT"), PhoneRecord(1000, "A0", "3222-1234 / 9999-0000", ""));
  EXPECT_EQ(box.Read("F09R0.DAT"), PhoneRecord(815, "N9", k37, ""));
  EXPECT_EQ(box.Read("FTEL1.DAT"), Line("00021", "A0", "9999-0000") +  //
                                       Line("09010", "N9", "ABC") +       //
                                       Line("09020", "N9", "7777") +      //
                                       Line("10010", "K0", "ABC") +       //
                                       Line("10021", "K1", "9999-0000") + //
                                       Line("10020", "K2", "12345678") +  //
                                       Line("10021", "K4", "1234") +      //
                                       Line("10021", "K5", "5555") +      //
                                       Line("10010", "K6", "WXYZ") +      //
                                       Line("10020", "K6", "8765-4321"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TelephonesStep, ALastRecordCutShortKeepsWhatItHas) {
  const std::string full = PhoneRecord(814, "F1", "3222-1234", "");
  box.Write("F01R0.DAT", full + PhoneRecord(814, "F2", "3222-9999", "5555").substr(0, 335));
  steps::MigrateTelephones(ui);
  EXPECT_EQ(box.Read("F01R0.DAT"), full + PhoneRecord(814, "F2", "3222-9999 / 5555", "").substr(0, 354));
  EXPECT_EQ(box.Read("FTEL1.DAT"), Line("01021", "F2", "5555"));
}

TEST_F(TelephonesStep, TheListMarksTheMigrationAsDone) {
  steps::MigrateTelephones(ui);
  ASSERT_TRUE(box.Exists("FTEL1.DAT"));
  EXPECT_EQ(box.Read("FTEL1.DAT"), "");

  const std::string later = PhoneRecord(1000, "K1", k41, "9999-0000");
  box.Write("F10R4.DAT", later);
  steps::MigrateTelephones(ui);
  EXPECT_EQ(box.Read("F10R4.DAT"), later);
  EXPECT_EQ(box.Read("FTEL1.DAT"), "");
}

TEST_F(TelephonesStep, ReplacesOnlyTheOldSizeOfC04) {
  const std::string old_c04 = Fill(833, 'o');
  const std::string new_c04 = Fill(900, 'n');
  box.Write("C04.DAT", old_c04);
  box.Write("C04B.DAT", new_c04);
  platform::SetReadOnly("C04.DAT", true);
  steps::MigrateTelephones(ui);
  EXPECT_EQ(box.Read("C04.DAT"), new_c04);
  EXPECT_EQ(box.Read("C04B.DAT"), new_c04);

  box.Write("C04.DAT", Fill(834, 'o'));
  steps::MigrateTelephones(ui);
  EXPECT_EQ(box.Read("C04.DAT"), Fill(834, 'o'));

  // Without a replacement the old file stays.
  box.Write("C04.DAT", old_c04);
  std::filesystem::remove(box.Path("C04B.DAT"));
  steps::MigrateTelephones(ui);
  EXPECT_EQ(box.Read("C04.DAT"), old_c04);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(CodeFormat, EightDigitCodes) {
  std::string code = "1234567-9";
  EXPECT_TRUE(steps::FormatMod11Code8(code));
  EXPECT_EQ(code, "1234567-9");
  code = " 12.345.67 9 ";
  EXPECT_TRUE(steps::FormatMod11Code8(code));
  EXPECT_EQ(code, "1234567-9");
  code = "7891234 2";
  EXPECT_TRUE(steps::FormatMod11Code8(code));
  EXPECT_EQ(code, "7891234-2");

  for (std::string rejected : {"12345678", "123456789", "1234567", "",
                               // The check digit lies beyond the 18 characters looked at.
                               "1234567           9"}) {
    std::string c = rejected;
    EXPECT_FALSE(steps::FormatMod11Code8(c)) << rejected;
    EXPECT_EQ(c, rejected);
  }
}

TEST(CodeFormat, ThirteenDigitCodes) {
  std::string code = "1234567890125";
  EXPECT_TRUE(steps::FormatMod11Code13(code));
  EXPECT_EQ(code, "123.456.789.012-5");
  // A formatted code is accepted as it is.
  EXPECT_TRUE(steps::FormatMod11Code13(code));
  EXPECT_EQ(code, "123.456.789.012-5");
  code = "98 7654-3210.981";
  EXPECT_TRUE(steps::FormatMod11Code13(code));
  EXPECT_EQ(code, "987.654.321.098-1");

  for (std::string rejected : {"1234567890124", "123456789012", "12345678901256"}) {
    std::string c = rejected;
    EXPECT_FALSE(steps::FormatMod11Code13(c)) << rejected;
    EXPECT_EQ(c, rejected);
  }
}

}  // namespace
