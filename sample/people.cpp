#include "sample/people.h"

#include <algorithm>
#include <cstdint>

#include "platform/format.h"
#include "sample/words.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace sample {

using platform::Format;

// The accented letters of the lists lose their accent, anything else that is
// no letter is dropped.
std::string AsciiLower(std::string_view cp1252) {
  static constexpr std::string_view kAccented =
      "\xE0\xE1\xE2\xE3\xE4\xE7\xE8\xE9\xEA\xEC\xED\xEE\xF2\xF3\xF4\xF5\xF6\xF9\xFA\xFB\xFC";
  static constexpr std::string_view kPlain = "aaaaaceeeiiiooooouuuu";
  std::string out;
  for (char c : cp1252) {
    const char lower = static_cast<char>(text::FoldCase(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'z') out += lower;
    else if (std::size_t k = kAccented.find(lower); k != std::string_view::npos) out += kPlain[k];
  }
  return out;
}

std::string Date(int day, int month, int year) {
  text::CalendarDate d;
  d.day = day;
  d.month = month;
  d.year = year;
  return text::FormatDate(d);
}

std::string RandomDate(Rng& r, int from_year, int to_year) {
  return Date(r.Range(1, 28), r.Range(1, 12), r.Range(from_year, std::max(from_year, to_year)));
}

// "1.234,56"
std::string Amount(double v) { return text::FormatNumber(v, 2); }
std::string RandomAmount(Rng& r, int min_cents, int max_cents) {
  return Amount(static_cast<double>(r.Range(min_cents, max_cents)) / 100.0);
}

std::string Landline(Rng& r, int ddd) { return Format("(%02d) 3%03d-%04d", ddd, r.Range(0, 999), r.Range(0, 9999)); }
std::string Mobile(Rng& r, int ddd) { return Format("(%02d) 9%03d-%04d", ddd, r.Range(100, 999), r.Range(0, 9999)); }

std::string Cpf(Rng& r) {
  std::string d = r.Digits(11);
  return d.substr(0, 3) + "." + d.substr(3, 3) + "." + d.substr(6, 3) + "-" + d.substr(9, 2);
}

std::string Cnpj(Rng& r) {
  std::string d = r.Digits(8);
  return d.substr(0, 2) + "." + d.substr(2, 3) + "." + d.substr(5, 3) + "/0001-" + r.Digits(2);
}

namespace {

// The digits and their check digit: none now and then (kind below 15), a
// wrong check digit (15 to 19), else the right one.
struct Checked {
  std::string digits;
  char check = '0';
};

Checked DrawChecked(Rng& r, int kind, int digits, int max_weight) {
  Checked c;
  c.digits = r.Digits(digits);
  std::string work = c.digits;
  c.check = text::Mod11CheckDigit(work, max_weight);
  if (kind < 20) c.check = static_cast<char>('0' + (c.check - '0' + 1) % 10);
  return c;
}

}  // namespace

// Formatted, bare digits, a wrong check digit now and then, or nothing.
std::string CheckedCode13(Rng& r) {
  int kind = static_cast<int>(r.Below(100));
  if (kind < 15) return "";
  Checked c = DrawChecked(r, kind, 12, 7);
  const std::string& d = c.digits;
  if (kind < 60) {
    return d.substr(0, 3) + "." + d.substr(3, 3) + "." + d.substr(6, 3) + "." + d.substr(9, 3) + "-" + c.check;
  }
  return d + c.check;
}

std::string CheckedCode8(Rng& r) {
  int kind = static_cast<int>(r.Below(100));
  if (kind < 15) return "";
  Checked c = DrawChecked(r, kind, 7, 9);
  if (kind < 65) return c.digits + "-" + c.check;
  return c.digits + c.check;
}

namespace {

std::string FirstName(Rng& r, bool female) {
  const Lists& w = Words();
  return r.Pick(female ? w.female : w.male);
}

std::string PickCity(Rng& r, std::int64_t among) {
  return Words().cities[static_cast<std::size_t>(r.Below(among))].name;
}

// "Brasil" in the spellings that data entry produced, or a foreign country.
std::string Country(Rng& r) {
  int c = static_cast<int>(r.Below(1000));
  if (c < 500) return "Brasil";
  if (c < 780) return "BRASIL";
  if (c < 820) return "brasil";
  if (c < 860) return "Brasileira";
  if (c < 900) return "";
  if (c < 910) return "B";
  return r.Pick(Words().countries_other);
}

void DrawPhones(Rng& r, Person& p) {
  p.phone1 = r.PerMille(60) ? "" : Landline(r, p.ddd);
  if (r.PerMille(80)) p.phone1 += Format(" / 3%03d-%04d", r.Range(0, 999), r.Range(0, 9999));
  int second = static_cast<int>(r.Below(100));
  if (second < 40) p.phone2 = "";
  else if (second < 75) p.phone2 = Mobile(r, p.ddd);
  else if (second < 85) p.phone2 = p.phone1.substr(0, std::min<std::size_t>(p.phone1.size(), 14));
  else if (second < 95) p.phone2 = Format("9%03d-%04d", r.Range(100, 999), r.Range(0, 9999));
  else p.phone2 = Mobile(r, p.ddd) + " recado";
}

}  // namespace

std::string FullName(Rng& r, bool female, const std::string& family) {
  const Lists& w = Words();
  std::string first = FirstName(r, female);
  if (r.PerMille(300)) {
    std::string second = FirstName(r, female);
    if (second != first) first += " " + second;
  }
  std::string name = first + " " + r.Pick(w.surnames);
  if (r.PerMille(150)) name = first + (female ? " da " : " dos ") + r.Pick(w.surnames);
  name += " " + (family.empty() ? r.Pick(w.surnames) : family);
  if (name.size() > 40) name = first.substr(0, first.find(' ')) + " " + (family.empty() ? r.Pick(w.surnames) : family);
  return name.substr(0, 40);
}

Person MakePerson(Rng& r, int adult_in_year) {
  const Lists& w = Words();
  const std::int64_t cities = static_cast<std::int64_t>(w.cities.size());
  Person p;
  p.female = r.PerMille(480);
  p.family = r.Pick(w.surnames);
  p.name = FullName(r, p.female, p.family);
  // Most live in the club's own city.
  const City& city = w.cities[static_cast<std::size_t>(r.Below(r.PerMille(700) ? 1 : cities))];
  p.city = city.name;
  p.uf = city.uf;
  p.ddd = city.ddd;
  p.cep = Format("%05d-%03d", city.cep + r.Range(0, 999), r.Range(0, 999));
  p.street = Format("%s, %d", r.Pick(w.streets).c_str(), r.Range(1, 4500));
  p.complement = r.PerMille(400) ? Format("Apto %d", r.Range(101, 1204)) : (r.PerMille(100) ? "Casa 2" : "");
  p.district = r.Pick(w.districts);
  DrawPhones(r, p);
  p.cpf = r.PerMille(100) ? "" : Cpf(r);
  p.rg = r.PerMille(150) ? "" : r.Digits(10);
  std::string first = p.name.substr(0, p.name.find(' '));
  static const char* const kMail[] = {"terra.com.br", "gmail.com", "yahoo.com.br", "hotmail.com", "uol.com.br"};
  if (!r.PerMille(450)) p.email = AsciiLower(first) + "." + AsciiLower(p.family) + "@" + kMail[r.Below(5)];
  p.profession = r.PerMille(200) ? "" : r.Pick(w.professions);
  p.birth = r.PerMille(50) ? "" : RandomDate(r, std::max(1915, adult_in_year - 70), adult_in_year - 16);
  p.country = Country(r);
  p.birthplace = r.PerMille(300) ? "" : PickCity(r, cities);
  int m = static_cast<int>(r.Below(100));
  p.marital = m < 35 ? w.marital[0] : m < 80 ? w.marital[1] : m < 88 ? w.marital[2] : m < 96 ? w.marital[3] : "";
  p.father = r.PerMille(250) ? "" : FullName(r, false, p.family);
  p.mother = r.PerMille(150) ? "" : FullName(r, true, "");
  if (m >= 35 && m < 80) p.spouse = FullName(r, !p.female, "");
  p.note = r.PerMille(900) ? "" : r.Pick(w.notes);
  return p;
}

}  // namespace sample
