// Text field helpers: cutting, padding, trimming, testing and cleaning the
// space-padded code page 1252 fields of the data files, digit extraction and
// the modulo-11 check digit. The in-place helpers return the string they were
// given, so that a call can stand as an argument of a print.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// True exactly for the bytes '0' to '9' (accented letters are no digits).
bool IsDigitChar(unsigned char c);

// Cuts the text at n characters (a shorter text stays as it is).
std::string& CutText(std::string& s, std::size_t n);
// Up to n characters of src from pos on, stopping early at a zero byte.
std::string CopyField(std::string_view src, std::size_t pos, std::size_t n);
// Removes trailing spaces (0x20 only).
std::string& TrimRight(std::string& s);
std::string TrimRight(std::string_view s);
std::string_view TrimRightView(std::string_view s);
// Exactly n characters: cut or filled with spaces.
std::string& PadRight(std::string& s, std::size_t n);
std::string Padded(std::string_view s, std::size_t n);
// True when the text holds any character other than a space.
bool HasText(std::string_view s);
// Keeps only the digits, at most n of them, in their order.
std::string& KeepDigits(std::string& s, std::size_t n);
// Two-byte UTF-8 sequences of U+0080..U+00FF become single cp1252 bytes.
std::string& FoldUtf8Latin1(std::string& s);
// FoldUtf8Latin1, then every byte 1..31 becomes a space.
std::string& CleanText(std::string& s);
// Modulo-11 check digit with weights 2..max_weight from the right; trims
// trailing spaces off the text in place first. Returns '0'..'9'.
char Mod11CheckDigit(std::string& digits, int max_weight);

// Integer value as the C runtime's atol reads it: leading white space skipped,
// an optional sign, then digits up to the first other character; 0 when there
// are none. Saturates instead of overflowing.
long ParseLong(std::string_view s);

// Case folding of code page 1252 letters (A-Z, À-Þ except ×, Š Œ Ž Ÿ).
unsigned char FoldCase(unsigned char c);
// FoldCase of every byte, for loops that fold many.
const std::array<unsigned char, 256>& FoldCaseTable();
// Eight bytes at p folded, as one word in the order they lie in memory.
std::uint64_t FoldCase8(const unsigned char* p);
// Comparison of the first n characters without regard to case, stopping where
// both texts end (strnicmp).
bool EqualNoCase(std::string_view a, std::string_view b, std::size_t n);
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace text
