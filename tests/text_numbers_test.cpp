#include "text/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>

namespace {

using namespace std::string_literals;
using text::CalendarDate;

CalendarDate Date(int day, int month, int year) {
  CalendarDate d;
  d.day = day;
  d.month = month;
  d.year = year;
  return d;
}

std::tuple<int, int, int> Dmy(const CalendarDate& d) { return {d.day, d.month, d.year}; }

CalendarDate Next(CalendarDate d) {
  text::NextDay(d);
  return d;
}

CalendarDate Previous(CalendarDate d) {
  text::PreviousDay(d);
  return d;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TextNumbers, ParseDecimal) {
  EXPECT_DOUBLE_EQ(text::ParseDecimal("1.234,56"), 1234.56);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("1,234.56"), 1234.56);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("12,5"), 12.5);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("1.234.567,89"), 1234567.89);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("  -7,25"), -7.25);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("+3,5 reais"), 3.5);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("3e5"), 35.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("1,5E2"), 1.52);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("12x5"), 12.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("abc12"), 0.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal(""), 0.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal(","), 0.0);
  // Words the C runtime would read as special values stay plain text.
  EXPECT_DOUBLE_EQ(text::ParseDecimal("nan"), 0.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("inf"), 0.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("0x1A"), 0.0);
  // Only the first 30 characters count, and a zero byte ends the text.
  EXPECT_DOUBLE_EQ(text::ParseDecimal(std::string(28, '0') + "12" + "3456789012"), 12.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal(std::string(28, ' ') + "12,5"), 12.0);
  EXPECT_DOUBLE_EQ(text::ParseDecimal("12,5\0,3"s), 12.5);
}

TEST(TextNumbers, Round2) {
  EXPECT_DOUBLE_EQ(text::Round2(2.345), 2.35);
  EXPECT_DOUBLE_EQ(text::Round2(2.344), 2.34);
  EXPECT_DOUBLE_EQ(text::Round2(0.005), 0.01);
  EXPECT_DOUBLE_EQ(text::Round2(7.0), 7.0);
  EXPECT_DOUBLE_EQ(text::Round2(-2.345), -2.35);
  EXPECT_DOUBLE_EQ(text::Round2(-2.344), -2.34);
  EXPECT_EQ(text::Round2(1e300), 1e300);
  EXPECT_EQ(text::Round2(kNaN), 0.0);
  EXPECT_EQ(text::Round2(kInf), 0.0);
  EXPECT_EQ(text::Round2(-kInf), 0.0);
}

TEST(TextNumbers, FormatNumber) {
  EXPECT_EQ(text::FormatNumber(1234567.891, 2), "1.234.567,89");
  EXPECT_EQ(text::FormatNumber(999, 0), "999");
  EXPECT_EQ(text::FormatNumber(1000, 0), "1.000");
  EXPECT_EQ(text::FormatNumber(-1500.5, 2), "-1.500,50");
  EXPECT_EQ(text::FormatNumber(123456, 3), "123.456,000");
  EXPECT_EQ(text::FormatNumber(0.1234567, 3), "0,123");
  EXPECT_EQ(text::FormatNumber(999999999999999.0, 0), "999.999.999.999.999");
  // Two decimals go through the cents rounding, not printf's.
  EXPECT_EQ(text::FormatNumber(1.005, 2), "1,01");
  EXPECT_EQ(text::FormatNumber(2.345, 2), "2,35");
  EXPECT_EQ(text::FormatNumber(-2.345, 2), "-2,35");
  EXPECT_EQ(text::FormatNumber(1.5, 7), "1,500000");
  EXPECT_EQ(text::FormatNumber(12.7, -1), "13");

  EXPECT_EQ(text::FormatNumber(1e15, 0), "0");
  EXPECT_EQ(text::FormatNumber(1e15, 2), "0,00");
  EXPECT_EQ(text::FormatNumber(-3e20, 2), "0,00");
  EXPECT_EQ(text::FormatNumber(kNaN, 2), "0,00");
  EXPECT_EQ(text::FormatNumber(kInf, 0), "0");
  EXPECT_EQ(text::FormatNumber(-kInf, 0), "0");
  // A negative amount that prints as zero has no sign.
  EXPECT_EQ(text::FormatNumber(-0.001, 2), "0,00");
  EXPECT_EQ(text::FormatNumber(-0.4, 0), "0");
}

TEST(TextNumbers, IntegersAndFixedPointPrintAsPrintfWould) {
  const long long values[] = {0, 7, -7, 42, -42, 999, 1000, -1000, 123456789, LLONG_MAX, LLONG_MIN};
  for (long long v : values) {
    for (int width : {0, 1, 2, 3, 10}) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%0*lld", width, v);
      EXPECT_EQ(text::FormatInteger(v, width), expected) << v << " width " << width;
    }
  }
  // Halves that lie exactly in binary round to even as printf does; the rest
  // round to the nearer; a negative zero keeps its sign.
  const double amounts[] = {0.0,     -0.0,     0.125,   0.375,    2.675, 1.005,
                            -2.345,  123.455,  1e15,    -9.999,   1e300, 5e-324,
                            0.00499, 99999.995, -0.004, 18446744073709551616.0};
  for (double v : amounts) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%.2f", v);
    EXPECT_EQ(text::FormatFixed2(v), expected) << v;
  }
}

TEST(TextNumbers, NextSequenceValue) {
  EXPECT_EQ(text::NextSequenceValue(1, 3), 2);
  EXPECT_EQ(text::NextSequenceValue(998, 3), 999);
  EXPECT_EQ(text::NextSequenceValue(999, 3), 1);
  EXPECT_EQ(text::NextSequenceValue(1000, 3), 1);
  EXPECT_EQ(text::NextSequenceValue(0, 3), 1);
  EXPECT_EQ(text::NextSequenceValue(-5, 3), 1);
  EXPECT_EQ(text::NextSequenceValue(8, 1), 9);
  EXPECT_EQ(text::NextSequenceValue(9, 1), 1);
  EXPECT_EQ(text::NextSequenceValue(5, 0), 1);
  EXPECT_EQ(text::NextSequenceValue(5, -2), 1);
  EXPECT_EQ(text::NextSequenceValue(999999998, 12), 999999999);
  EXPECT_EQ(text::NextSequenceValue(999999999, 12), 1);
}

TEST(TextNumbers, ParseMakeAndFormatDates) {
  EXPECT_EQ(Dmy(text::ParseDate("31/02/2001")), std::make_tuple(31, 2, 2001));
  EXPECT_EQ(Dmy(text::ParseDate(" 5- 3-2024")), std::make_tuple(5, 3, 2024));
  EXPECT_EQ(Dmy(text::ParseDate("05/03/20245 tail")), std::make_tuple(5, 3, 2024));
  EXPECT_EQ(Dmy(text::ParseDate("1x/+2/-3ab")), std::make_tuple(1, 2, -3));
  EXPECT_EQ(Dmy(text::ParseDate("ab/cd/efgh")), std::make_tuple(0, 0, 0));
  EXPECT_EQ(Dmy(text::ParseDate("05/03/202")), std::make_tuple(0, 0, 0));
  EXPECT_EQ(Dmy(text::ParseDate("05/03\0/2024"s)), std::make_tuple(0, 0, 0));
  EXPECT_EQ(text::FormatDate(text::ParseDate("05/03/202")), "");

  EXPECT_EQ(Dmy(text::MakeDate(5, "03/2024")), std::make_tuple(5, 3, 2024));
  EXPECT_EQ(Dmy(text::MakeDate(15, "12/1999 and more")), std::make_tuple(15, 12, 1999));
  EXPECT_EQ(Dmy(text::MakeDate(5, "3/2024")), std::make_tuple(0, 0, 0));
  // A three-digit day pushes the year out of the ten characters.
  EXPECT_EQ(Dmy(text::MakeDate(123, "03/2024")), std::make_tuple(12, 0, 0));

  EXPECT_EQ(text::FormatDate(Date(5, 3, 2024)), "05/03/2024");
  EXPECT_EQ(text::FormatDate(Date(5, 14, 2024)), "05/00/2024");
  EXPECT_EQ(text::FormatDate(Date(31, 13, 2023)), "31/13/2023");
  EXPECT_EQ(text::FormatDate(Date(32, 0, 2024)), "00/00/2024");
  EXPECT_EQ(text::FormatDate(Date(1, 1, 12000)), "01/01/0000");
  EXPECT_EQ(text::FormatDate(Date(1, 1, -5)), "01/01/0000");
  EXPECT_EQ(text::FormatDate(Date(9, 9, 0)), "");
}

TEST(TextNumbers, DaysInMonth) {
  EXPECT_EQ(text::DaysInMonth(2024, 1), 31);
  EXPECT_EQ(text::DaysInMonth(2024, 4), 30);
  EXPECT_EQ(text::DaysInMonth(2024, 11), 30);
  EXPECT_EQ(text::DaysInMonth(2024, 12), 31);
  EXPECT_EQ(text::DaysInMonth(2024, 13), 31);
  EXPECT_EQ(text::DaysInMonth(2024, 2), 29);
  EXPECT_EQ(text::DaysInMonth(2023, 2), 28);
  EXPECT_EQ(text::DaysInMonth(1900, 2), 29);
  EXPECT_EQ(text::DaysInMonth(2100, 2), 29);
  EXPECT_EQ(text::DaysInMonth(2024, 0), 0);
  EXPECT_EQ(text::DaysInMonth(2024, 14), 0);
  EXPECT_EQ(text::DaysInMonth(2024, -1), 0);
}

TEST(TextNumbers, StepDays) {
  EXPECT_EQ(Dmy(Next(Date(31, 12, 2023))), std::make_tuple(1, 1, 2024));
  EXPECT_EQ(Dmy(Next(Date(28, 2, 2023))), std::make_tuple(1, 3, 2023));
  EXPECT_EQ(Dmy(Next(Date(28, 2, 2024))), std::make_tuple(29, 2, 2024));
  EXPECT_EQ(Dmy(Next(Date(30, 4, 2024))), std::make_tuple(1, 5, 2024));
  EXPECT_EQ(Dmy(Next(Date(15, 6, 2024))), std::make_tuple(16, 6, 2024));
  EXPECT_EQ(Dmy(Next(Date(31, 13, 2023))), std::make_tuple(1, 1, 2024));
  EXPECT_EQ(Dmy(Next(Date(31, 12, 9999))), std::make_tuple(1, 1, 9999));

  EXPECT_EQ(Dmy(Previous(Date(1, 1, 2024))), std::make_tuple(31, 12, 2023));
  EXPECT_EQ(Dmy(Previous(Date(1, 3, 2023))), std::make_tuple(28, 2, 2023));
  EXPECT_EQ(Dmy(Previous(Date(1, 3, 2024))), std::make_tuple(29, 2, 2024));
  EXPECT_EQ(Dmy(Previous(Date(1, 5, 2024))), std::make_tuple(30, 4, 2024));
  EXPECT_EQ(Dmy(Previous(Date(5, 13, 2023))), std::make_tuple(4, 12, 2023));
  EXPECT_EQ(Dmy(Previous(Date(1, 1, 0))), std::make_tuple(31, 12, 0));
}

TEST(TextNumbers, CompareDates) {
  EXPECT_EQ(text::CompareDates(Date(10, 5, 2023), Date(9, 6, 2023)), -1);
  EXPECT_EQ(text::CompareDates(Date(9, 6, 2023), Date(10, 5, 2023)), 1);
  EXPECT_EQ(text::CompareDates(Date(1, 1, 2024), Date(31, 12, 2023)), 1);
  EXPECT_EQ(text::CompareDates(Date(3, 5, 2023), Date(4, 5, 2023)), -1);
  EXPECT_EQ(text::CompareDates(Date(4, 5, 2023), Date(4, 5, 2023)), 0);

  EXPECT_EQ(text::CompareMonths(Date(1, 5, 2023), Date(31, 5, 2023)), 0);
  EXPECT_EQ(text::CompareMonths(Date(31, 12, 2022), Date(1, 1, 2023)), -1);
  EXPECT_EQ(text::CompareMonths(Date(1, 7, 2023), Date(31, 6, 2023)), 1);
}

}  // namespace
