#include "text/fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "text/cp1252.h"

namespace {

using namespace std::string_literals;

TEST(TextFields, DigitClassIsExactlyTheTenAsciiDigits) {
  int count = 0;
  for (int c = 0; c < 256; ++c) {
    if (text::IsDigitChar(static_cast<unsigned char>(c))) {
      EXPECT_TRUE(c >= '0' && c <= '9') << c;
      ++count;
    }
  }
  EXPECT_EQ(count, 10);
}

TEST(TextFields, CutCopyAndPad) {
  std::string s = "abcdef";
  EXPECT_EQ(text::CutText(s, 4), "abcd");
  EXPECT_EQ(text::CutText(s, 10), "abcd");

  EXPECT_EQ(text::CopyField("abc", 0, 5), "abc");
  EXPECT_EQ(text::CopyField("abcdefgh", 0, 5), "abcde");
  EXPECT_EQ(text::CopyField("abcdefgh", 2, 3), "cde");
  EXPECT_EQ(text::CopyField("abcdefgh", 6, 5), "gh");
  EXPECT_EQ(text::CopyField("abc", 3, 5), "");
  EXPECT_EQ(text::CopyField("abc", 99, 5), "");
  EXPECT_EQ(text::CopyField("ab\0cd"s, 0, 5), "ab");

  std::string empty;
  EXPECT_EQ(text::PadRight(empty, 4), "    ");
  std::string longer = "abcdef";
  EXPECT_EQ(text::PadRight(longer, 3), "abc");
  std::string shorter = "ab";
  EXPECT_EQ(text::PadRight(shorter, 5), "ab   ");
  std::string zero = "abc";
  EXPECT_EQ(text::PadRight(zero, 0), "");
  // The result is the caller's own string, changed in place.
  std::string same = "x";
  EXPECT_EQ(&text::PadRight(same, 2), &same);
  EXPECT_EQ(same, "x ");
}

TEST(TextFields, TrimAndHasText) {
  std::string spaces = "   ";
  EXPECT_EQ(text::TrimRight(spaces), "");
  std::string tab = "ab\t";
  EXPECT_EQ(text::TrimRight(tab), "ab\t");
  std::string inner = " a b  ";
  EXPECT_EQ(text::TrimRight(inner), " a b");
  EXPECT_EQ(text::TrimRight(std::string_view("xy \t  ")), "xy \t");

  EXPECT_FALSE(text::HasText(""));
  EXPECT_FALSE(text::HasText("   "));
  EXPECT_TRUE(text::HasText("\t"));
  EXPECT_TRUE(text::HasText("   x"));
}

TEST(TextFields, KeepDigits) {
  std::string phone = "(51) 3222-1234";
  EXPECT_EQ(text::KeepDigits(phone, 18), "5132221234");
  std::string limited = "(51) 3222-1234";
  EXPECT_EQ(text::KeepDigits(limited, 4), "5132");
  std::string none = "12";
  EXPECT_EQ(text::KeepDigits(none, 0), "");
  // Superscript digits of the code page are no digits.
  std::string accented = "1\xB2" "2\xB3 3";
  EXPECT_EQ(text::KeepDigits(accented, 10), "123");
}

TEST(TextFields, FoldUtf8AndClean) {
  std::string s = "A\xC3\xA7" "B";
  EXPECT_EQ(text::FoldUtf8Latin1(s), "A\xE7" "B");
  std::string lone = "ab\xC3";
  EXPECT_EQ(text::FoldUtf8Latin1(lone), "ab\xC3");
  std::string single = "\xE7";
  EXPECT_EQ(text::FoldUtf8Latin1(single), "\xE7");
  std::string c2 = "\xC2\x85|\xC2\xA0|\xC2\xA1|\xC2\xBA|\xC3\x80|\xC3\xBF";
  EXPECT_EQ(text::FoldUtf8Latin1(c2), " | |\xA1|\xBA|\xC0|\xFF");
  std::string broken = "\xC3" "A\xC3\xC3\xA3";
  EXPECT_EQ(text::FoldUtf8Latin1(broken), "\xC3" "A\xC3\xE3");
  std::string word = "A\xC3\x87\xC3\x83O";  // AÇÃO in UTF-8
  EXPECT_EQ(text::FoldUtf8Latin1(word), CP1252("AÇÃO").str());

  std::string controls = "A\tB\r\n";
  EXPECT_EQ(text::CleanText(controls), "A B  ");
  std::string mixed = "\x01\xC3\x89\x1F\x7F\x81\xE9";
  EXPECT_EQ(text::CleanText(mixed), " \xC9 \x7F\x81\xE9");
}

TEST(TextFields, Mod11CheckDigit) {
  std::string digits = "1234567";
  EXPECT_EQ(text::Mod11CheckDigit(digits, 9), '9');
  std::string zeros = "0000000";
  EXPECT_EQ(text::Mod11CheckDigit(zeros, 9), '0');
  std::string rest1 = "6";  // 12 leaves 1
  EXPECT_EQ(text::Mod11CheckDigit(rest1, 9), '0');
  std::string rest10 = "5";  // 10 leaves 10
  EXPECT_EQ(text::Mod11CheckDigit(rest10, 7), '1');

  // The eighth digit from the right weighs 9, or 3 when the weights wrap at 7.
  std::string wrap = "10000000";
  EXPECT_EQ(text::Mod11CheckDigit(wrap, 9), '2');
  EXPECT_EQ(text::Mod11CheckDigit(wrap, 7), '8');

  std::string padded = "1234567  ";
  EXPECT_EQ(text::Mod11CheckDigit(padded, 9), '9');
  EXPECT_EQ(padded, "1234567");

  // Other characters count by their code minus that of '0'.
  std::string letter = "B";  // 18 * 2 = 36 leaves 3
  EXPECT_EQ(text::Mod11CheckDigit(letter, 9), '8');
  std::string negative = "1-";  // 3 - 6 is negative
  EXPECT_EQ(text::Mod11CheckDigit(negative, 9), '0');
  std::string empty;
  EXPECT_EQ(text::Mod11CheckDigit(empty, 9), '0');
}

TEST(TextFields, ParseLong) {
  EXPECT_EQ(text::ParseLong("  -123abc"), -123);
  EXPECT_EQ(text::ParseLong("+42"), 42);
  EXPECT_EQ(text::ParseLong("\t\n 7"), 7);
  EXPECT_EQ(text::ParseLong("007"), 7);
  EXPECT_EQ(text::ParseLong("abc"), 0);
  EXPECT_EQ(text::ParseLong("- 5"), 0);
  EXPECT_EQ(text::ParseLong(""), 0);
  EXPECT_EQ(text::ParseLong("12\0" "34"s), 12);
  EXPECT_EQ(text::ParseLong("99999999999999999999999"), LONG_MAX);
  EXPECT_EQ(text::ParseLong("-99999999999999999999999"), LONG_MIN);
  EXPECT_EQ(text::ParseLong(std::to_string(LONG_MIN)), LONG_MIN);
}

TEST(TextFields, CaseFolding) {
  EXPECT_EQ(text::FoldCase('A'), 'a');
  EXPECT_EQ(text::FoldCase('Z'), 'z');
  EXPECT_EQ(text::FoldCase('a'), 'a');
  EXPECT_EQ(text::FoldCase('@'), '@');
  EXPECT_EQ(text::FoldCase(0xC0), 0xE0);
  EXPECT_EQ(text::FoldCase(0xDE), 0xFE);
  EXPECT_EQ(text::FoldCase(0xD7), 0xD7);  // multiplication sign
  EXPECT_EQ(text::FoldCase(0xDF), 0xDF);  // sharp s has no capital
  EXPECT_EQ(text::FoldCase(0x8A), 0x9A);
  EXPECT_EQ(text::FoldCase(0x8C), 0x9C);
  EXPECT_EQ(text::FoldCase(0x8E), 0x9E);
  EXPECT_EQ(text::FoldCase(0x9F), 0xFF);
  EXPECT_EQ(text::FoldCase(0xE7), 0xE7);

  EXPECT_TRUE(text::EqualNoCase("F10r3.dat", "F10R3.DAT"));
  EXPECT_TRUE(text::EqualNoCase(CP1252("AÇÃO"), CP1252("ação")));
  EXPECT_FALSE(text::EqualNoCase(CP1252("×"), CP1252("÷")));
  EXPECT_FALSE(text::EqualNoCase("abc", "abcd"));
  EXPECT_TRUE(text::EqualNoCase("", ""));

  EXPECT_TRUE(text::EqualNoCase("abc", "ABD", 2));
  EXPECT_FALSE(text::EqualNoCase("abc", "ABD", 3));
  EXPECT_TRUE(text::EqualNoCase("ab", "ABc", 2));
  EXPECT_FALSE(text::EqualNoCase("ab", "ABc", 3));
  EXPECT_TRUE(text::EqualNoCase("ab", "AB", 10));
  EXPECT_TRUE(text::EqualNoCase("x", "y", 0));
}

}  // namespace
