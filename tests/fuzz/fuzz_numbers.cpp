// The amount and date parsers and formatters, fed the bytes of a field as a
// damaged file would hold them. Besides crashes and sanitizer reports, the
// properties that the steps rely on are checked: a date is written in ten
// characters or not at all, a valid date reads back as itself, a formatted
// integer reads back as itself, an amount prints in the Brazilian shape.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_support.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace {

using vekfuzz::Check;

bool Valid(const text::CalendarDate& d) {
  return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= text::DaysInMonth(d.year, d.month);
}

bool Same(const text::CalendarDate& a, const text::CalendarDate& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!text::IsDigitChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "-1.234.567,89": an optional sign, groups of three digits between full
// stops, then a comma and exactly `decimals` digits (none for 0).
bool AmountShape(const std::string& s, int decimals) {
  std::string_view v = s;
  if (!v.empty() && v[0] == '-') v.remove_prefix(1);
  std::string_view whole = v;
  if (decimals > 0) {
    const std::size_t comma = v.rfind(',');
    if (comma == std::string_view::npos || !AllDigits(v.substr(comma + 1)) ||
        v.size() - comma - 1 != static_cast<std::size_t>(decimals)) {
      return false;
    }
    whole = v.substr(0, comma);
  }
  // Groups from the right: three digits each, the first one to three.
  std::size_t group = 0;
  for (std::size_t k = whole.size(); k-- > 0;) {
    if (whole[k] == '.') {
      if (group != 3 || k == 0) return false;
      group = 0;
    } else if (text::IsDigitChar(static_cast<unsigned char>(whole[k]))) {
      if (++group > 3) return false;
    } else {
      return false;
    }
  }
  return group >= 1;
}

void CheckDate(const text::CalendarDate& d) {
  const std::string shown = text::FormatDate(d);
  Check(d.year == 0 ? shown.empty() : shown.size() == 10, "FormatDate gives ten characters or none");
  if (Valid(d)) {
    Check(Same(text::ParseDate(shown), d), "a valid date reads back as itself");
    text::CalendarDate next = d;
    text::NextDay(next);
    Check(text::CompareDates(d, next) < 0 || (d.year == 9999 && d.month == 12 && d.day == 31),
          "the next day comes after the day");
    if (d.year > 1 && d.year < 9999) {
      Check(Valid(next), "the day after a valid date is a valid date");
      text::PreviousDay(next);
      Check(Same(next, d), "the day before the next day is the day itself");
    }
  }
  Check(text::CompareDates(d, d) == 0, "a date equals itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  // The first byte chooses the numbers that fields do not give: decimals,
  // widths, a day.
  const int knob = size > 0 ? data[0] : 0;

  // Amounts.
  const double v = text::ParseDecimal(s);
  const double rounded = text::Round2(v);
  Check(std::isfinite(rounded), "Round2 gives a finite amount");
  const int decimals = knob % 9 - 1;  // -1..7: out-of-range counts are clamped
  const std::string amount = text::FormatNumber(v, decimals);
  Check(AmountShape(amount, decimals < 0 ? 0 : (decimals > 6 ? 6 : decimals)), "FormatNumber gives an amount");
  Check(AmountShape(text::FormatNumber(rounded, 2), 2), "FormatNumber with two decimals gives an amount");
  const std::string fixed = text::FormatFixed2(v);
  Check(fixed.size() >= 4 && fixed[fixed.size() - 3] == '.', "FormatFixed2 gives two decimals");

  // Integers.
  const long n = text::ParseLong(s);
  const int width = knob % 24;
  const std::string digits = text::FormatInteger(n, width);
  Check(digits.size() >= static_cast<std::size_t>(width), "FormatInteger fills the width");
  Check(text::ParseLong(digits) == n, "a formatted integer reads back as itself");
  const long next = text::NextSequenceValue(n, knob % 12);
  Check(next >= 1 && next <= 999'999'999L, "a sequence value lies in its range");

  // Dates, from the text and from a month of the text.
  const text::CalendarDate d = text::ParseDate(s);
  if (s.substr(0, s.find('\0')).size() < 10) {
    Check(d.year == 0 && d.month == 0 && d.day == 0, "a text shorter than a date gives no date");
  }
  CheckDate(d);
  const text::CalendarDate m = text::MakeDate(knob % 33, s.size() > 1 ? s.substr(1) : s);
  CheckDate(m);
  Check(text::CompareDates(d, m) == -text::CompareDates(m, d), "date comparison is antisymmetric");
  Check(text::CompareMonths(d, m) == -text::CompareMonths(m, d), "month comparison is antisymmetric");
  Check(text::DaysInMonth(d.year, d.month) >= 0 && text::DaysInMonth(d.year, d.month) <= 31,
        "a month has at most 31 days");

  // The field helpers the parsers sit on.
  std::string cleaned(s);
  text::CleanText(cleaned);
  std::string kept(s);
  text::KeepDigits(kept, 18);
  Check(kept.size() <= 18 && (kept.empty() || AllDigits(kept)), "KeepDigits keeps digits only");
  std::string body = kept;
  const char check_digit = text::Mod11CheckDigit(body, 2 + knob % 8);
  Check(check_digit >= '0' && check_digit <= '9', "a check digit is a digit");
  return 0;
}
