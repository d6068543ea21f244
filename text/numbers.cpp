#include "text/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "text/fields.h"

namespace text {

namespace {

// A zero byte ends the text, as it would in a record buffer.
std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

// The decimal value at the start of s (blanks, sign, digits, one full stop),
// independent of the locale. Conversion stops at the first other character;
// no digits at all give 0.
double LeadingDecimal(std::string_view s) {
  std::size_t k = 0;
  while (k < s.size() && (s[k] == ' ' || (s[k] >= '\t' && s[k] <= '\r'))) ++k;
  bool negative = false;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) {
    negative = s[k] == '-';
    ++k;
  }
  const std::size_t start = k;
  bool digits = false;
  bool point = false;
  for (; k < s.size(); ++k) {
    if (IsDigitChar(static_cast<unsigned char>(s[k]))) {
      digits = true;
    } else if (s[k] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  double value = 0.0;
  std::from_chars(s.data() + start, s.data() + k, value, std::chars_format::fixed);
  return negative ? -value : value;
}

}  // namespace

double ParseDecimal(std::string_view s) {
  s = UpToZero(s).substr(0, 30);
  // Rebuilt from the right: the rightmost full stop or comma is the decimal
  // point, any other one a thousands separator.
  std::string rebuilt;
  rebuilt.reserve(s.size());
  bool have_point = false;
  for (std::size_t k = s.size(); k-- > 0;) {
    char c = s[k];
    if (c == '.' || c == ',') {
      if (!have_point) {
        rebuilt.push_back('.');
        have_point = true;
      }
    } else if (c != 'e' && c != 'E') {
      rebuilt.push_back(c);
    }
  }
  std::reverse(rebuilt.begin(), rebuilt.end());
  return LeadingDecimal(rebuilt);
}

double Round2(double v) {
  if (!std::isfinite(v)) return 0.0;
  char buf[400];  // the widest double in "%.6f" takes 317 characters
  std::snprintf(buf, sizeof buf, "%.6f", v);
  char* point = std::strrchr(buf, '.');
  if (point == nullptr) return 0.0;
  double correction = point[3] >= '5' ? 0.01 : 0.0;
  point[3] = '\0';
  double cut = LeadingDecimal(buf);
  // The cut goes toward zero, so a negative amount rounds away from zero too.
  return v < 0 ? cut - correction : cut + correction;
}

std::string FormatNumber(double v, int decimals) {
  if (!std::isfinite(v) || std::fabs(v) >= 1e15) v = 0.0;
  const int n = std::clamp(decimals, 0, 6);
  if (n == 2) v = Round2(v);

  char t[64];  // below 1e15 with at most 6 decimals: 22 characters
  const int len = std::snprintf(t, sizeof t, "%.*f", n, std::fabs(v));
  const int whole = n == 0 ? len : len - n - 1;

  std::string out;
  // An amount that prints as zero gets no sign.
  if (v < 0 && std::strpbrk(t, "123456789") != nullptr) out.push_back('-');
  for (int p = 0; p < whole; ++p) {
    if (p != 0 && (whole - p) % 3 == 0) out.push_back('.');
    out.push_back(t[p]);
  }
  if (n > 0) {
    out.push_back(',');
    out.append(t + whole + 1, static_cast<std::size_t>(n));
  }
  return out;
}

long NextSequenceValue(long current, int width) {
  width = std::min(width, 9);
  long max = 0;
  for (int k = 0; k < width; ++k) max = max * 10 + 9;
  return current > 0 && current < max ? current + 1 : 1;
}

CalendarDate ParseDate(std::string_view s) {
  s = UpToZero(s);
  CalendarDate d;
  if (s.size() < 10) return d;
  d.day = static_cast<int>(ParseLong(s.substr(0, 2)));
  d.month = static_cast<int>(ParseLong(s.substr(3, 2)));
  d.year = static_cast<int>(ParseLong(s.substr(6, 4)));
  return d;
}

CalendarDate MakeDate(int day, std::string_view month_year) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/", day);
  std::string text = buf;
  text += UpToZero(month_year).substr(0, 7);
  return ParseDate(CutText(text, 10));
}

std::string FormatDate(const CalendarDate& d) {
  if (d.year == 0) return {};
  const int year = d.year >= 1 && d.year <= 9999 ? d.year : 0;
  const int month = d.month >= 1 && d.month <= 13 ? d.month : 0;
  const int day = d.day >= 1 && d.day <= 31 ? d.day : 0;
  // Once per record in several steps: built by hand, not by snprintf.
  std::string out = "00/00/0000";
  out[0] = static_cast<char>('0' + day / 10);
  out[1] = static_cast<char>('0' + day % 10);
  out[3] = static_cast<char>('0' + month / 10);
  out[4] = static_cast<char>('0' + month % 10);
  out[6] = static_cast<char>('0' + year / 1000);
  out[7] = static_cast<char>('0' + year / 100 % 10);
  out[8] = static_cast<char>('0' + year / 10 % 10);
  out[9] = static_cast<char>('0' + year % 10);
  return out;
}

std::string FormatInteger(long long v, int width) {
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, v);
  std::string out(digits, end);
  if (static_cast<int>(out.size()) < width) {
    out.insert(v < 0 ? 1 : 0, static_cast<std::size_t>(width) - out.size(), '0');
  }
  return out;
}

std::string FormatFixed2(double v) {
  if (!std::isfinite(v)) v = 0.0;
  char buf[400];  // the largest double has 309 digits before the point
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  return ec == std::errc() ? std::string(buf, end) : std::string("0.00");
}

int DaysInMonth(int year, int month) {
  switch (month) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 12: case 13:
      return 31;
    case 4: case 6: case 9: case 11:
      return 30;
    case 2:
      // Every fourth year is a leap year; the stored data has always been
      // computed this way.
      return year % 4 == 0 ? 29 : 28;
    default:
      return 0;
  }
}

void PreviousDay(CalendarDate& d) {
  if (d.month == 13) d.month = 12;
  if (d.day > 1) {
    --d.day;
    return;
  }
  if (d.month > 1) {
    --d.month;
  } else {
    d.month = 12;
    if (d.year > 0) --d.year;
  }
  d.day = DaysInMonth(d.year, d.month);
}

void NextDay(CalendarDate& d) {
  if (d.month == 13) d.month = 12;
  if (d.day < DaysInMonth(d.year, d.month)) {
    ++d.day;
    return;
  }
  d.day = 1;
  if (d.month < 12) {
    ++d.month;
  } else {
    d.month = 1;
    if (d.year < 9999) ++d.year;
  }
}

namespace {
int Sign(int a, int b) { return a < b ? -1 : (a > b ? 1 : 0); }
}  // namespace

int CompareDates(const CalendarDate& a, const CalendarDate& b) {
  if (int c = CompareMonths(a, b)) return c;
  return Sign(a.day, b.day);
}

int CompareMonths(const CalendarDate& a, const CalendarDate& b) {
  if (int c = Sign(a.year, b.year)) return c;
  return Sign(a.month, b.month);
}

}  // namespace text
