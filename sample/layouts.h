// The record layouts of the old tables as (name, width) lists, and records
// whose values are set by field name. A layout's order is the record's order;
// the last field ends with the record's flag byte.
// The field names are the generator's own: the data files' catalogue
// (store/files.h) names only the fields that the program reads; the lengths
// here are checked against it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "store/files.h"
#include "store/record_io.h"

namespace sample {

struct Field {
  std::string_view name;
  std::size_t width;
};

template <std::size_t N>
using Layout = std::array<Field, N>;

template <std::size_t N>
constexpr std::size_t RecordLength(const Layout<N>& layout) {
  std::size_t n = 0;
  for (const Field& f : layout) n += f.width;
  return n;
}

// Only ever run by the compiler: a name the layout lacks stops the build.
template <std::size_t N>
consteval std::size_t FieldIndex(const Layout<N>& layout, std::string_view name) {
  for (std::size_t k = 0; k < N; ++k) {
    if (layout[k].name == name) return k;
  }
  throw "no field of that name in the layout";
}

template <std::size_t A, std::size_t B>
constexpr Layout<A + B> Join(const Layout<A>& a, const Layout<B>& b) {
  Layout<A + B> out{};
  for (std::size_t k = 0; k < A; ++k) out[k] = a[k];
  for (std::size_t k = 0; k < B; ++k) out[A + k] = b[k];
  return out;
}

// One record's values; record["name"] = ... names a field of the layout.
template <const auto& kLayout>
class Record {
 public:
  static constexpr std::size_t kFields = kLayout.size();

  struct Name {
    consteval Name(const char* name) : index(FieldIndex(kLayout, name)) {}
    std::size_t index;
  };

  std::string& operator[](Name field) { return values_[field.index]; }
  const std::string& At(std::size_t k) const { return values_[k]; }
  std::string& At(std::size_t k) { return values_[k]; }

 private:
  std::array<std::string, kFields> values_;
};

enum class Separated { kNo, kYes };

// Writes the values in their widths, then the record flag byte ("+" for a
// deleted record) in the last byte of the last field. In the old layouts
// every field ends with a separator byte, which stays a space.
template <const auto& kLayout>
bool PutRow(store::RecordWriter& w, const Record<kLayout>& values, bool deleted, Separated separated) {
  constexpr std::size_t n = kLayout.size();
  const std::size_t keep = separated == Separated::kYes ? 1 : 0;
  for (std::size_t k = 0; k + 1 < n; ++k) {
    w.Put(std::string_view(values.At(k)).substr(0, kLayout[k].width - keep), kLayout[k].width);
  }
  w.Put(values.At(n - 1), kLayout[n - 1].width - 1).Put(deleted ? std::string_view(&store::kDeletedFlag, 1) : " ", 1);
  return w.EndRecord();
}

// ---- the layouts ----------------------------------------------------------

// The person fields that the old member table shares with F17.DAT.
inline constexpr auto kOldPersonFields = std::to_array<Field>({
    {"code", 19}, {"name", 41}, {"street", 41}, {"district", 41}, {"city", 31}, {"cep", 10},
    {"complement", 31}, {"uf", 3}, {"joined", 11}, {"cpf", 19}, {"rg", 19}, {"number", 9},
    {"phone1", 31}, {"phone2", 31}, {"profession", 31}, {"birth", 11}, {"country", 31}, {"birthplace", 31},
    {"marital", 31}, {"father", 41}, {"mother", 41}, {"spouse", 41}, {"note", 101}, {"dependents", 16},
    {"period", 3}, {"email", 51}, {"sex", 2},
});

// F10r2.dat, the member table before 3.70 (the first 897 bytes of its later
// layouts).
inline constexpr auto kMemberLayout =
    Join(kOldPersonFields, std::to_array<Field>({{"value_index", 3}, {"excluded", 2}, {"excluded_on", 11},
                                                 {"category", 3}, {"option1", 2}, {"option2", 2}, {"option3", 2},
                                                 {"free", 104}}));
static_assert(RecordLength(kMemberLayout) == store::files::kF10R2.length);

// F17.DAT, other people in the old layout.
inline constexpr auto kOtherPersonLayout =
    Join(kOldPersonFields, std::to_array<Field>({{"category", 3}, {"remark", 123}, {"free", 2}}));
static_assert(RecordLength(kOtherPersonLayout) == store::files::kF17.length);

// The 1000-byte person layout of the files that are already in it.
inline constexpr auto kPerson1000Layout = std::to_array<Field>({
    {"code", 11}, {"name", 40}, {"street", 40}, {"district", 70}, {"city", 30}, {"cep", 9}, {"complement", 30},
    {"uf", 2}, {"category", 8}, {"joined", 10}, {"cpf", 18}, {"rg", 18}, {"spare", 4}, {"phone1", 41},
    {"phone2", 41}, {"email", 120}, {"birth", 10}, {"since", 10}, {"note", 101}, {"profession", 30}, {"country", 20},
    {"birthplace", 30}, {"marital", 1}, {"father", 40}, {"mother", 40}, {"spouse", 40}, {"sex", 1}, {"free", 185},
});
static_assert(RecordLength(kPerson1000Layout) == store::files::kF00R0.length);

// F11R2.DAT, the partners.
inline constexpr auto kPartnerLayout = std::to_array<Field>({
    {"code", 19}, {"name", 41}, {"contact", 41}, {"street", 41}, {"district", 31}, {"cep", 10},
    {"city", 31}, {"uf", 3}, {"since", 11}, {"document", 19}, {"code13", 19}, {"reference", 9},
    {"email", 31}, {"website", 41}, {"phone1", 31}, {"phone2", 31}, {"contract", 11}, {"renewed", 11},
    {"revised", 11}, {"note", 45}, {"code8", 12}, {"branch", 11}, {"amount1", 16}, {"amount2", 16},
    {"amount3", 16}, {"amount4", 16}, {"amount5", 16}, {"amount6", 16}, {"amount7", 16}, {"count1", 2},
    {"count2", 2}, {"count3", 2}, {"count4", 2}, {"spare1", 174}, {"agreement", 21}, {"agreed_on", 51},
    {"remark", 81}, {"spare2", 81}, {"billing_address", 91}, {"first_year", 11}, {"spare3", 91}, {"spare4", 81},
    {"spare5", 41}, {"spare6", 16}, {"spare7", 2}, {"spare8", 2}, {"spare9", 133}, {"spare10", 2},
    {"classes", 73},
});
static_assert(RecordLength(kPartnerLayout) == store::files::kF11R2.length);

// Conf11.dat, the bank accounts used for collection.
inline constexpr auto kBankAccountLayout = std::to_array<Field>({
    {"bank", 40}, {"cnpj", 18}, {"street", 30}, {"city", 15}, {"uf", 2},
    {"branch", 18}, {"cep", 8}, {"kind", 2}, {"phone", 12}, {"bank_number", 4},
    {"holder", 40}, {"email", 40}, {"account", 13}, {"portfolio", 2}, {"agreement", 18},
    {"collection", 40}, {"fee", 15}, {"options", 2}, {"next_number", 18},
});
static_assert(RecordLength(kBankAccountLayout) == store::files::kConf11.length);

}  // namespace sample
