// The word lists that names, addresses and notes are drawn from, in cp1252.
#pragma once

#include <string>
#include <vector>

namespace sample {

struct City {
  std::string name;
  const char* uf;
  int ddd;
  int cep;  // first five digits
};

struct Lists {
  std::vector<std::string> male, female, surnames, streets, districts, professions, notes, relations, roles,
      donors, businesses, charges, banks, countries_other, marital;
  std::vector<City> cities;
};

const Lists& Words();

}  // namespace sample
