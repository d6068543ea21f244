#include "text/fields.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace text {

namespace {

// White space as the C runtime's isspace sees it in the "C" locale.
bool IsBlank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

}  // namespace

bool IsDigitChar(unsigned char c) { return c >= '0' && c <= '9'; }

std::string& CutText(std::string& s, std::size_t n) {
  if (s.size() > n) s.resize(n);
  return s;
}

std::string CopyField(std::string_view src, std::size_t pos, std::size_t n) {
  if (pos >= src.size()) return {};
  std::string_view field = src.substr(pos, n);
  // A zero byte ends the text, as it would in a record buffer.
  return std::string(field.substr(0, field.find('\0')));
}

std::string& TrimRight(std::string& s) {
  std::size_t end = s.find_last_not_of(' ');
  s.resize(end == std::string::npos ? 0 : end + 1);
  return s;
}

std::string TrimRight(std::string_view s) { return std::string(TrimRightView(s)); }

std::string_view TrimRightView(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return s.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

std::string& PadRight(std::string& s, std::size_t n) {
  s.resize(n, ' ');
  return s;
}

std::string Padded(std::string_view s, std::size_t n) {
  std::string out(s.substr(0, n));
  return PadRight(out, n);
}

bool HasText(std::string_view s) {
  return s.find_first_not_of(' ') != std::string_view::npos;
}

std::string& KeepDigits(std::string& s, std::size_t n) {
  std::size_t w = 0;
  for (std::size_t r = 0; r < s.size() && w < n; ++r) {
    if (IsDigitChar(Byte(s[r]))) s[w++] = s[r];
  }
  s.resize(w);
  return s;
}

std::string& FoldUtf8Latin1(std::string& s) {
  const std::size_t len = s.size();
  std::size_t i = 0;
  std::size_t j = 0;
  while (j < len) {
    unsigned char c = Byte(s[j]);
    unsigned char d = j + 1 < len ? Byte(s[j + 1]) : 0;
    if ((c == 0xC2 || c == 0xC3) && d >= 0x80 && d <= 0xBF) {
      unsigned char folded;
      if (c == 0xC3) {
        folded = static_cast<unsigned char>(d + 0x40);
      } else {
        // C1 controls and the no-break space would break fixed-width fields.
        folded = d <= 0xA0 ? ' ' : d;
      }
      s[i++] = static_cast<char>(folded);
      j += 2;
    } else {
      s[i++] = s[j++];
    }
  }
  s.resize(i);
  return s;
}

std::string& CleanText(std::string& s) {
  FoldUtf8Latin1(s);
  for (char& ch : s) {
    unsigned char c = Byte(ch);
    if (c >= 1 && c <= 31) ch = ' ';
  }
  return s;
}

char Mod11CheckDigit(std::string& digits, int max_weight) {
  TrimRight(digits);
  long long weight = 1;
  long long sum = 0;
  for (std::size_t k = digits.size(); k-- > 0;) {
    if (weight < max_weight) {
      ++weight;
    } else {
      weight = 2;
    }
    sum += (static_cast<long long>(Byte(digits[k])) - '0') * weight;
  }
  // A negative sum (spaces or signs inside the text) leaves a non-positive
  // remainder, which gives the digit 0 like a remainder of 0 or 1.
  long long d = 11 - sum % 11;
  return d > 9 ? '0' : static_cast<char>('0' + d);
}

long ParseLong(std::string_view s) {
  std::size_t k = 0;
  while (k < s.size() && IsBlank(Byte(s[k]))) ++k;
  bool negative = false;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) {
    negative = s[k] == '-';
    ++k;
  }
  // Accumulate towards the sign so that LONG_MIN is reachable.
  long value = 0;
  for (; k < s.size() && IsDigitChar(Byte(s[k])); ++k) {
    int digit = s[k] - '0';
    if (negative) {
      if (value < (LONG_MIN + digit) / 10) return LONG_MIN;
      value = value * 10 - digit;
    } else {
      if (value > (LONG_MAX - digit) / 10) return LONG_MAX;
      value = value * 10 + digit;
    }
  }
  return value;
}

unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  switch (c) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return c;
  }
}

const std::array<unsigned char, 256>& FoldCaseTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = FoldCase(static_cast<unsigned char>(c));
    return t;
  }();
  return table;
}

std::uint64_t FoldCase8(const unsigned char* p) {
  static const std::array<unsigned char, 256>& fold = FoldCaseTable();
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x80 * kOnes;
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if ((w & kHigh) == 0) {
    // All below 0x80, where folding is 'A'-'Z' to 'a'-'z': eight at once.
    // No byte carries into the next, each being below 0x80.
    const std::uint64_t upper = (w + (0x80 - 'A') * kOnes) & ~(w + (0x80 - 'Z' - 1) * kOnes) & kHigh;
    return w | upper >> 2;
  }
  unsigned char b[8];
  for (std::size_t j = 0; j < 8; ++j) b[j] = fold[p[j]];
  std::memcpy(&w, b, 8);
  return w;
}

bool EqualNoCase(std::string_view a, std::string_view b, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    unsigned char ca = k < a.size() ? Byte(a[k]) : 0;
    unsigned char cb = k < b.size() ? Byte(b[k]) : 0;
    if (FoldCase(ca) != FoldCase(cb)) return false;
    if (ca == 0) return true;  // both ended here
  }
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return EqualNoCase(a, b, std::max(a.size(), b.size()) + 1);
}

}  // namespace text
