// Code page 1252 constants written in UTF-8 source. CP1252("DEPÓSITO") is the
// 8-byte cp1252 text, converted at compile time, so that accented data and
// message texts read naturally in the code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

template <std::size_t N>
struct Cp1252Literal {
  char data[N] = {};
  std::size_t size = 0;
  constexpr operator std::string_view() const { return {data, size}; }
  std::string str() const { return std::string(data, size); }
  const char* c_str() const { return data; }
};

// Converts UTF-8 text of the range U+0000..U+00FF to cp1252 bytes (the Latin-1
// letters keep their code). Anything outside that range is a compile error.
template <std::size_t N>
consteval Cp1252Literal<N> ToCp1252(const char (&utf8)[N]) {
  Cp1252Literal<N> out;
  std::size_t i = 0;
  while (i + 1 < N) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.data[out.size++] = static_cast<char>(c);
      i += 1;
    } else if ((c == 0xC2 || c == 0xC3) && i + 2 < N) {
      unsigned char d = static_cast<unsigned char>(utf8[i + 1]);
      if (d < 0x80 || d > 0xBF) throw "not UTF-8";
      out.data[out.size++] = static_cast<char>(c == 0xC2 ? d : d + 0x40);
      i += 2;
    } else {
      throw "character outside code page 1252's Latin-1 range";
    }
  }
  out.data[out.size] = 0;
  return out;
}

}  // namespace text

#define CP1252(s) (::text::ToCp1252(s))
