// The tables of people other than members: staff, relatives and donors of the
// old layouts, the partners, and the person records of F17, F27 and F00R0.
#include "sample/records.h"
#include "sample/words.h"
#include "sample/writers.h"
#include "text/cp1252.h"

namespace sample {
namespace {

using platform::Format;
using store::RecordWriter;

// f13.dat (staff, "E"), f14.dat (relatives, type from the first letter of
// field 2) and f15.dat (donors, "D"): 130 bytes of fields, then the address.
bool WriteOldPersonTable(Gen& g, const char* rel, std::size_t length, std::int64_t count,
                         const std::vector<std::string>& kinds, std::uint64_t* index) {
  const std::uint64_t first = *index;
  *index += static_cast<std::uint64_t>(count);
  return EmitRecords(g, rel, count, kRelative, first, [&](RecordWriter& w, std::int64_t, Rng& r) {
    Person p = MakePerson(r, 2000);
    std::int64_t holder = r.Below(g.opt.members);
    w.Put(p.name, 60).Put(r.Pick(kinds), 41).Put(p.birth, 11).Put(g.Code(holder), 18);
    std::string rest = p.street + " - " + p.district + " - " + p.city + "/" + p.uf + "  " + p.phone1;
    return w.Put(rest, length - 130 - 1).Put(r.Flag(), 1).EndRecord();
  });
}

// Class marks: one "1" in each group of positions (0-5, 6-11, 12-14, 15-17),
// or none, then five free marks.
std::string ClassMarks(Rng& r) {
  std::string marks(23, '0');
  auto mark_one = [&](int from, int count_positions) {
    if (!r.PerMille(100)) marks[static_cast<std::size_t>(from + r.Below(count_positions))] = '1';
  };
  mark_one(0, 6);
  mark_one(6, 6);
  mark_one(12, 3);
  mark_one(15, 3);
  for (int m = 18; m < 23; ++m) marks[static_cast<std::size_t>(m)] = r.PerMille(300) ? '1' : '0';
  return marks;
}

using Partner = Record<kPartnerLayout>;

Partner PartnerRecord(const Gen& g, std::int64_t k, Rng& r, const Person& p) {
  const Lists& words = Words();
  const int last_year = g.opt.last_year;
  Partner v;
  v["code"] = Format("%06lld", static_cast<long long>(k + 1));
  v["name"] = r.PerMille(500)
                  ? p.name
                  : (r.Pick(words.businesses) + " " + p.family + (r.PerMille(500) ? " Ltda" : " ME")).substr(0, 40);
  v["contact"] = FullName(r, r.PerMille(500), "");
  v["street"] = p.street;
  v["district"] = p.district;
  v["cep"] = p.cep;
  v["city"] = p.city;
  v["uf"] = p.uf;
  v["since"] = RandomDate(r, 1990, last_year);
  v["document"] = r.PerMille(500) ? Cnpj(r) : Cpf(r);
  v["code13"] = CheckedCode13(r);
  v["reference"] = r.PerMille(200) ? "" : Format("%02d-%02d %02d", r.Range(0, 99), r.Range(0, 99), r.Range(0, 99));
  v["email"] = p.email;
  v["website"] = r.PerMille(300) ? "www." + AsciiLower(p.family) + ".com.br" : "";
  v["phone1"] = p.phone1;
  v["phone2"] = r.PerMille(200) ? Landline(r, p.ddd) : "";
  v["contract"] = RandomDate(r, 1995, last_year);
  v["renewed"] = r.PerMille(500) ? RandomDate(r, 1995, last_year) : "";
  v["revised"] = r.PerMille(300) ? RandomDate(r, 1995, last_year) : "";
  v["note"] = r.PerMille(200) ? r.Pick(words.notes) : "";
  v["code8"] = CheckedCode8(r);
  v["branch"] = r.PerMille(400) ? "" : Format("%04d-%d", r.Range(1, 9999), r.Range(0, 9));
  static constexpr Partner::Name kAmounts[] = {"amount1", "amount2", "amount3", "amount4",
                                                "amount5", "amount6", "amount7"};
  for (Partner::Name field : kAmounts) v[field] = r.PerMille(300) ? "" : RandomAmount(r, 0, 50000);
  static constexpr Partner::Name kCounts[] = {"count1", "count2", "count3", "count4"};
  for (Partner::Name field : kCounts) v[field] = std::to_string(r.Range(0, 3));
  v["agreement"] = r.PerMille(500) ? CP1252("Convênio ").str() + std::to_string(r.Range(1, 40)) : "";
  v["agreed_on"] = r.PerMille(600) ? RandomDate(r, 2000, last_year) : "";
  v["remark"] = r.PerMille(200) ? r.Pick(words.notes) : "";
  v["billing_address"] = r.PerMille(300) ? p.street + " - " + p.district : "";
  v["first_year"] = std::to_string(r.Range(1995, last_year));
  v["classes"] = ClassMarks(r);
  return v;
}

}  // namespace

bool WriteStaff(Gen& g, std::uint64_t* index) {
  return WriteOldPersonTable(g, "Zelk/Vek/f13.dat", 478, AtLeast(g.opt.members / 25, 1), Words().roles, index);
}

bool WriteRelatives(Gen& g, std::uint64_t* index) {
  return WriteOldPersonTable(g, "Zelk/Vek/f14.dat", 479, AtLeast(g.opt.members / 8, 2), Words().relations, index);
}

bool WriteDonors(Gen& g, std::uint64_t* index) {
  return WriteOldPersonTable(g, "Zelk/Vek/f15.dat", 538, AtLeast(g.opt.members / 25, 1), Words().donors, index);
}

// F11R2.DAT: partners (shops, clinics, schools) with their bank and codes.
bool WritePartners(Gen& g) {
  std::int64_t count = AtLeast(g.opt.members / 2, 1);
  return EmitRecords(g, "Zelk/Vek/F11R2.DAT", count, kPartner, 0, [&](RecordWriter& w, std::int64_t k, Rng& r) {
    Person p = MakePerson(r, 1995);
    Partner v = PartnerRecord(g, k, r, p);
    return PutRow(w, v, r.PerMille(20), Separated::kYes);
  });
}

// F17.DAT: the member table's person fields, then the record's own.
bool WriteOtherPeople(Gen& g) {
  std::int64_t count = AtLeast(g.opt.members / 20, 1);
  return EmitRecords(g, "Zelk/Vek/F17.DAT", count, kOtherPerson, 0, [&](RecordWriter& w, std::int64_t k, Rng& r) {
    Person p = MakePerson(r, 2000);
    History h;
    h.join_year = static_cast<std::int16_t>(r.Range(1990, g.opt.last_year));
    h.join_month = static_cast<std::int8_t>(r.Range(1, 12));
    h.join_day = static_cast<std::int8_t>(r.Range(1, 28));
    // A whole member record is drawn and its person fields kept, so that the
    // category and remark come after all of its draws.
    Record<kMemberLayout> member = MemberRecord(g, k, h, r, p);
    Record<kOtherPersonLayout> v;
    for (std::size_t f = 0; f < kOldPersonFields.size(); ++f) v.At(f) = member.At(f);
    v["category"] = Format("%d", r.Range(1, 9));
    v["remark"] = r.PerMille(200) ? p.note : "";
    return PutRow(w, v, r.PerMille(20), Separated::kYes);
  });
}

// F27.DAT, already in the 1000-byte layout.
bool WritePersons1000(Gen& g) {
  std::int64_t count = AtLeast(g.opt.members / 20, 1);
  return EmitRecords(g, "Zelk/Vek/F27.DAT", count, kOtherPerson, 1000000000ULL,
                     [&](RecordWriter& w, std::int64_t k, Rng& r) {
                       Person p = MakePerson(r, 2000);
                       // The flag is drawn before the record's own values.
                       bool deleted = r.PerMille(20);
                       std::string code = Format("%06lld", static_cast<long long>(k + 1));
                       return PutRow(w, Person1000Record(r, p, code), deleted, Separated::kNo);
                     });
}

// F00R0.DAT: the club itself and its branches; their telephone lines are
// long lists that no longer fit the shorter field.
bool WriteClubAndBranches(Gen& g) {
  std::int64_t count = 1 + g.opt.members / 100000;
  return EmitRecords(g, "Zelk/Vek/F00R0.DAT", count, kOtherPerson, 2000000000ULL,
                     [&](RecordWriter& w, std::int64_t k, Rng& r) {
                       Person p = MakePerson(r, 1980);
                       p.name = k == 0 ? "Clube Recreativo " + p.family : "Sede " + p.district;
                       p.phone1 = Landline(r, p.ddd) + " / " + Landline(r, p.ddd).substr(5) + " / " +
                                  Landline(r, p.ddd).substr(5);
                       p.phone2 = k == 0 ? "(51) 3333-0000 fax" : Mobile(r, p.ddd);
                       std::string code = Format("%02lld", static_cast<long long>(k + 1));
                       return PutRow(w, Person1000Record(r, p, code), false, Separated::kNo);
                     });
}

}  // namespace sample
