// Random people and the values of their fields: names, addresses, telephone
// numbers, document numbers, dates and amounts, formatted as the old tables
// hold them (cp1252, day/month/year, "1.234,56").
#pragma once

#include <string>
#include <string_view>

#include "sample/random.h"

namespace sample {

// Lower-case ASCII for e-mail addresses and web sites.
std::string AsciiLower(std::string_view cp1252);

std::string Date(int day, int month, int year);
std::string RandomDate(Rng& r, int from_year, int to_year);
std::string Amount(double v);
std::string RandomAmount(Rng& r, int min_cents, int max_cents);

std::string Landline(Rng& r, int ddd);
std::string Mobile(Rng& r, int ddd);
std::string Cpf(Rng& r);
std::string Cnpj(Rng& r);
// Codes with a modulo-11 check digit, in the forms that data entry produced
// over the years.
std::string CheckedCode13(Rng& r);
std::string CheckedCode8(Rng& r);

// "Maria Conceição Gonçalves Loureiro", at most 40 characters; `family` is
// the last surname, or empty for a random one.
std::string FullName(Rng& r, bool female, const std::string& family);

struct Person {
  bool female = false;
  std::string family;  // the last surname, shared with relatives
  std::string name, street, district, complement, city, uf, cep, phone1, phone2, cpf, rg, email;
  std::string profession, birth, country, birthplace, marital, father, mother, spouse, note;
  int ddd = 51;
};

// A person who came of age around the year given.
Person MakePerson(Rng& r, int adult_in_year);

}  // namespace sample
