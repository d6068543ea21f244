// Letter-case folding of code page 1252 text, shared by name matching and the
// work lists. Private to platform/ (the text layer has its own helpers, and
// platform/ may not depend on it).
#pragma once

#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace platform::detail {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 0x20);
  // Accented capitals; 0xD7 is the multiplication sign, not a letter.
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) t[c] = static_cast<unsigned char>(c + 0x20);
  t[0x8A] = 0x9A;  // S caron
  t[0x8C] = 0x9C;  // OE
  t[0x8E] = 0x9E;  // Z caron
  t[0x9F] = 0xFF;  // Y diaeresis
  return t;
}

inline constexpr std::array<unsigned char, 256> kFoldTable = MakeFoldTable();

inline unsigned char Fold(char c) { return kFoldTable[static_cast<unsigned char>(c)]; }

inline std::string FoldText(std::string_view s) {
  std::string out(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = static_cast<char>(Fold(s[i]));
  return out;
}

// Lexicographic order of the folded bytes; a proper prefix sorts first.
inline int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  // Equal bytes fold equally: skip the common start eight bytes at a time.
  std::size_t i = 0;
  while (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0) i += 8;
  for (; i < n; ++i) {
    unsigned char ca = Fold(a[i]);
    unsigned char cb = Fold(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace platform::detail
