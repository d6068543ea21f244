// Amounts and dates as the data files hold them: amounts in the Brazilian
// manner (1.234.567,89), dates as dd/mm/yyyy.
#pragma once

#include <string>
#include <string_view>

namespace text {

struct CalendarDate {
  int year = 0;   // 1..9999 when valid; 0 means no date
  int day = 0;    // 1..31
  int month = 0;  // 1..12; 13 stands for December
};

// Accepts full stop and comma as the decimal separator (the rightmost one
// counts) and ignores thousands separators; only the first 30 characters count.
double ParseDecimal(std::string_view s);
// Rounds to cents the way the product always has (third decimal 5 or more rounds up).
double Round2(double v);
// Amount text: "-1.234.567,89"; decimals above 6 act as 6; |v| >= 1e15 prints 0.
std::string FormatNumber(double v, int decimals);
// The decimal digits of v, with zeros in front up to `width` characters, sign
// included: what "%0<width>lld" prints ("%lld" for width 0).
std::string FormatInteger(long long v, int width = 0);
// v with two decimals and a full stop, as "%.2f" prints it ("nan" and "inf"
// aside: they print as 0.00).
std::string FormatFixed2(double v);
// 1, 2, ..., 99..9 (width nines), then 1 again; a width above 9 acts as 9.
long NextSequenceValue(long current, int width);

// Day from characters 1-2, month from 4-5, year from 7-10; all 0 when the
// text is shorter than 10 characters. No range check.
CalendarDate ParseDate(std::string_view s);
// The given day of the month that a "mm/yyyy" text names.
CalendarDate MakeDate(int day, std::string_view month_year);
// "dd/mm/yyyy"; empty for year 0; out-of-range parts print as 0.
std::string FormatDate(const CalendarDate& d);
// 31/30/29/28 (every year divisible by 4 is a leap year); month 13 has 31; 0 otherwise.
int DaysInMonth(int year, int month);
void PreviousDay(CalendarDate& d);
void NextDay(CalendarDate& d);
// -1, 0 or 1.
int CompareDates(const CalendarDate& a, const CalendarDate& b);
int CompareMonths(const CalendarDate& a, const CalendarDate& b);

}  // namespace text
