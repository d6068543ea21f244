#include "sample/records.h"

namespace sample {
namespace {

using platform::Format;

// The fields that both layouts take from the person as they are.
template <const auto& kLayout>
void SetPerson(Record<kLayout>& v, const Person& p) {
  v["name"] = p.name;
  v["street"] = p.street;
  v["district"] = p.complement.empty() ? p.district : p.complement + " - " + p.district;
  v["city"] = p.city;
  v["cep"] = p.cep;
  v["complement"] = p.complement;
  v["uf"] = p.uf;
  v["cpf"] = p.cpf;
  v["rg"] = p.rg;
  v["phone1"] = p.phone1;
  v["phone2"] = p.phone2;
  v["email"] = p.email;
  v["birth"] = p.birth;
  v["note"] = p.note;
  v["profession"] = p.profession;
  v["country"] = p.country;
  v["birthplace"] = p.birthplace;
  v["father"] = p.father;
  v["mother"] = p.mother;
  v["spouse"] = p.spouse;
  v["sex"] = p.female ? "F" : "M";
}

}  // namespace

Record<kMemberLayout> MemberRecord(const Gen& g, std::int64_t i, const History& h, Rng& r, const Person& p) {
  Record<kMemberLayout> v;
  SetPerson(v, p);
  v["code"] = g.Code(i);
  v["joined"] = Date(h.join_day, h.join_month, h.join_year);
  v["marital"] = p.marital;
  v["period"] = h.monthly ? "1" : "12";
  // The rest in the order they are drawn.
  v["number"] = Format("%06lld", static_cast<long long>(r.Below(999999)));
  v["dependents"] = r.PerMille(300) ? Format("%d dependentes", r.Range(1, 5)) : "";
  // Values 0-9 are the charges set up in Conf10; a few records point past them.
  v["value_index"] = std::to_string(r.PerMille(5) ? r.Range(10, 29) : static_cast<int>(r.Below(10)));
  v["excluded"] = h.left || r.PerMille(10) ? "1" : "0";
  v["excluded_on"] = r.PerMille(250) ? RandomDate(r, h.join_year, g.opt.last_year) : "";
  v["category"] = Format("%02d", r.Range(1, 5));
  v["option1"] = r.PerMille(500) ? "1" : "0";
  v["option2"] = r.PerMille(100) ? "1" : "0";
  v["option3"] = r.PerMille(50) ? "1" : "0";
  return v;
}

Record<kPerson1000Layout> Person1000Record(Rng& r, const Person& p, const std::string& code) {
  Record<kPerson1000Layout> v;
  SetPerson(v, p);
  v["code"] = code;
  v["category"] = Format("%02d", r.Range(1, 5));
  v["joined"] = RandomDate(r, 1995, 2010);
  v["marital"] = p.marital.empty() ? "" : std::string(1, "1234"[r.Below(4)]);
  return v;
}

}  // namespace sample
