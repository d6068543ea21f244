// The member table and the yearly payment files that its history comes from.
#include <algorithm>
#include <numeric>

#include "sample/records.h"
#include "sample/writers.h"

namespace sample {
namespace {

using platform::Format;
using store::RecordWriter;

// The most units of one member in one year's file (dense shape).
constexpr int kMostUnits = 6;

// Member i's history in the yearly files. In the dense shape most members
// belonged once before and joined again: their history starts with the years
// of that earlier membership, the member table keeping the later join.
History YearlyHistory(const Gen& g, std::int64_t i) {
  History h = g.MakeHistory(i);
  if (!g.opt.dense_history) return h;
  // Index i * 128 is free: the units of a year use i * 128 + (year - 1900).
  Rng r(g.opt.seed, kDense, static_cast<std::uint64_t>(i) * 128);
  if (!r.PerMille(600)) return h;
  int earlier = std::min(r.Range(3, 25), h.join_year - kFirstHistoryYear);
  h.first_year = static_cast<std::int16_t>(h.first_year - earlier);
  h.years = static_cast<std::int8_t>(h.years + earlier);
  return h;
}

// How many units member i has in a year's file: one, or in the dense shape
// one for each payment run that found the member's marks changed.
int UnitsInYear(const Gen& g, std::int64_t i, const History& h, int year) {
  if (!g.opt.dense_history) return 1;
  Rng r(g.opt.seed, kDense, static_cast<std::uint64_t>(i) * 128 + static_cast<std::uint64_t>(year - 1900));
  return h.monthly ? r.Range(2, kMostUnits) : r.Range(1, 2);
}

// The twelve month marks of member i in a year: '*' for a month paid.
std::string Marks(const Gen& g, std::int64_t i, const History& h, int year) {
  Rng r(g.opt.seed, kMarks, static_cast<std::uint64_t>(i) * 128 + static_cast<std::uint64_t>(year - 1900));
  std::string marks(12, ' ');
  if (h.monthly) {
    int missing = r.PerMille(200) ? 80 : 20;  // per mille of unpaid months
    for (int m = 1; m <= 12; ++m) {
      // The months before joining stay blank only in a first membership.
      bool before_join = year == h.first_year && year == h.join_year && m < h.join_month;
      if (!before_join && !r.PerMille(missing)) marks[static_cast<std::size_t>(m - 1)] = '*';
    }
  } else {
    int kind = static_cast<int>(r.Below(100));
    if (kind < 85) marks.assign(12, '*');
    else if (kind < 95) marks.assign(12, ' ');
    else marks = "******" + std::string(6, ' ');
  }
  return marks;
}

// Every member's history, and the order in which payments came in: a fixed
// permutation j -> (a j + b) mod n of the members. Each later payment run of
// a year (dense shape) starts the same order at another member.
struct Payments {
  std::vector<History> hist;
  std::vector<std::int64_t> per_year;  // members with a unit, per year
  std::uint64_t a = 1;
  std::uint64_t b = 0;

  std::int64_t MemberAt(std::int64_t j, int run = 0) const {
    const std::uint64_t n = hist.size();
    const std::uint64_t start = static_cast<std::uint64_t>(run) * (n / kMostUnits + 1);
    return static_cast<std::int64_t>((a * static_cast<std::uint64_t>(j) + b + start) % n);
  }
  bool HasUnit(std::int64_t i, int year) const {
    const History& h = hist[static_cast<std::size_t>(i)];
    return year >= h.first_year && year < h.first_year + h.years;
  }
};

Payments CollectPayments(const Gen& g) {
  const std::int64_t n = g.opt.members + g.orphans;
  Payments p;
  p.hist.resize(static_cast<std::size_t>(n));
  p.per_year.assign(static_cast<std::size_t>(kLastHistoryYear + 1), 0);
  for (std::int64_t i = 0; i < n; ++i) {
    History h = YearlyHistory(g, i);
    p.hist[static_cast<std::size_t>(i)] = h;
    for (int y = h.first_year; y < h.first_year + h.years; ++y) ++p.per_year[static_cast<std::size_t>(y)];
  }
  Rng order(g.opt.seed, kOrder, 0);
  p.a = static_cast<std::uint64_t>(order.Below(n)) | 1;
  while (std::gcd(p.a, static_cast<std::uint64_t>(n)) != 1) ++p.a;
  p.b = static_cast<std::uint64_t>(order.Below(n));
  return p;
}

// REG/RM<year>.DAT.
bool WriteYearlyFile(Gen& g, const Payments& pay, int year) {
  const std::int64_t n = static_cast<std::int64_t>(pay.hist.size());
  bool line_ends = Rng(g.opt.seed, kYearFile, static_cast<std::uint64_t>(year)).PerMille(150);
  auto put_unit = [&](RecordWriter& w, std::int64_t i, const std::string& marks) {
    w.Put(g.Code(i), 18);
    if (line_ends) w.Put(marks.substr(0, 10), 10).Raw("\r\n");
    else w.Put(marks, 12);
    return w.EndRecord();
  };
  auto stale_before = [&](std::int64_t i) {
    return Rng(g.opt.seed, kStale, static_cast<std::uint64_t>(i) * 128 + static_cast<std::uint64_t>(year - 1900))
        .PerMille(10);
  };
  const int runs = g.opt.dense_history ? kMostUnits : 1;
  return Emit(g, Format("Zelk/Vek/REG/RM%d.DAT", year), [&](RecordWriter& w) {
    for (int run = 0; run < runs; ++run) {
      for (std::int64_t j = 0; j < n; ++j) {
        std::int64_t i = pay.MemberAt(j, run);
        if (run == 0 && j + 1 < n) {
          std::int64_t next = pay.MemberAt(j + 1);
          if (pay.HasUnit(next, year) && stale_before(next) && !put_unit(w, next, std::string(12, ' ')))
            return false;
        }
        if (!pay.HasUnit(i, year)) continue;
        const History& h = pay.hist[static_cast<std::size_t>(i)];
        const int units = UnitsInYear(g, i, h, year);
        if (run >= units) continue;
        std::string marks = Marks(g, i, h, year);
        // An earlier run saw only the months paid by then.
        if (run + 1 < units) {
          const std::size_t seen = static_cast<std::size_t>(12 * (run + 1) / units);
          marks.replace(seen, 12 - seen, 12 - seen, ' ');
        }
        if (!put_unit(w, i, marks)) return false;
      }
    }
    return true;
  });
}

}  // namespace

// F10r2.dat.
bool WriteMembers(Gen& g) {
  auto member = [&](RecordWriter& w, std::int64_t i, Rng& r) {
    History h = g.MakeHistory(i);
    Person p = MakePerson(r, h.join_year);
    bool deleted = r.PerMille(20);
    return PutRow(w, MemberRecord(g, i, h, r, p), deleted, Separated::kYes);
  };
  return EmitRecords(g, "Zelk/Vek/F10r2.dat", g.opt.members, kMember, 0, member);
}

// One file per year, a unit of 30 characters per member who paid that year:
// the 18-character key, then the twelve month marks. The files were written
// in the order payments came in, some by a version that ended every unit with
// CR LF in place of its last two marks, and now and then a member's unit was
// written twice, the later one holding the final marks. In the dense shape
// (SampleOptions::dense_history) every year's payments came in over several
// runs, each writing again the units of the members it touched.
bool WriteYearlyFiles(Gen& g, std::vector<int>* years_written) {
  const Payments pay = CollectPayments(g);
  for (int year = kFirstHistoryYear; year <= g.history_end; ++year) {
    if (pay.per_year[static_cast<std::size_t>(year)] == 0) continue;
    if (!WriteYearlyFile(g, pay, year)) return false;
    years_written->push_back(year);
  }
  return true;
}

}  // namespace sample
