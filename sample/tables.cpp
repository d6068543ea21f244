// The record tables of payments and daily work: receipts, bank batches and
// deposits, collectors, sectors, price list, billing agents, notes, agenda.
#include <algorithm>

#include "sample/people.h"
#include "sample/words.h"
#include "sample/writers.h"

namespace sample {

using platform::Format;
using store::RecordWriter;

// REG01: one file of receipts per year ("2009.DAT").
bool WriteReceipts(Gen& g) {
  int first = std::max(kFirstHistoryYear, g.opt.last_year - 5);
  Rng split(g.opt.seed, kReceipt, 0);
  std::vector<std::int64_t> counts = Split(split, AtLeast(g.opt.members / 2, 6), g.opt.last_year - first + 1);
  std::uint64_t index = 1;
  for (int year = first; year <= g.opt.last_year; ++year) {
    std::int64_t count = counts[static_cast<std::size_t>(year - first)];
    auto receipt = [&](RecordWriter& w, std::int64_t k, Rng& r) {
      std::int64_t member = r.Below(g.opt.members);
      bool monthly = !r.PerMille(150);
      w.Put(g.Code(member), 10).Put(Format("%03d", r.Range(1, 3)), 3).Put(monthly ? "Mensal" : " Anual", 7);
      w.Put(Format("%05lld", static_cast<long long>(k + 1)), 5).Put(RandomDate(r, year, year), 14);
      w.Put(RandomAmount(r, 1500, monthly ? 25000 : 180000), 14);
      return w.Put(FullName(r, r.PerMille(600), ""), 25).Put(r.Flag(), 1).EndRecord();
    };
    if (!EmitRecords(g, Format("Zelk/Vek/REG01/%d.DAT", year), count, kReceipt, index, receipt)) return false;
    index += static_cast<std::uint64_t>(count);
  }
  return true;
}

namespace {

// Twelve monthly groups of a batch: month, amount, second amount; the months
// not used are "-1" and blanks. Adds the first amounts in cents to *total.
std::string MonthGroups(Rng& r, long long* total) {
  std::string groups;
  int used = r.Range(1, 12);
  for (int m = 0; m < 12; ++m) {
    if (m < used) {
      int first = r.Range(1000, 900000);
      int second = r.Range(0, 5000);
      *total += first;
      groups += Format("%02d", m + 1) + Format("%-14s", Amount(first / 100.0).c_str()) +
                Format("%-14s", Amount(second / 100.0).c_str());
    } else {
      groups += Format("-1%-14s%-14s", "", "");
    }
  }
  return groups;
}

}  // namespace

// REG02: a few large files of bank batches ("A101.DAT").
bool WriteBankBatches(Gen& g) {
  const Lists& words = Words();
  int files = 2 + static_cast<int>(std::min<std::int64_t>(6, g.opt.members / 200000));
  Rng split(g.opt.seed, kBatch, 0);
  std::vector<std::int64_t> counts = Split(split, AtLeast(g.opt.members / 10, 4), files);
  std::uint64_t index = 1;
  auto batch = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    int year = r.Range(std::max(kFirstHistoryYear, g.opt.last_year - 3), g.opt.last_year);
    w.Put(std::to_string(k + 1), 7).Put(RandomDate(r, year, year), 11).Put(r.PerMille(700) ? "E" : "S", 1);
    w.Put(std::to_string(r.Range(1, 5)), 2).Put(r.Pick(words.charges), 19).Put(r.Pick(words.banks), 19);
    long long total = 0;
    std::string groups = MonthGroups(r, &total);
    w.Put(Amount(static_cast<double>(total) / 100.0), 14).Put(Amount(0), 14);
    w.Put(r.PerMille(300) ? r.Pick(words.notes) : "", 50).Put(groups, 360).Put("", 59);
    return w.Put(r.Flag(), 1).EndRecord();
  };
  for (int f = 0; f < files; ++f) {
    std::int64_t count = counts[static_cast<std::size_t>(f)];
    if (!EmitRecords(g, Format("Zelk/Vek/REG02/A%d.DAT", 101 + f), count, kBatch, index, batch)) return false;
    index += static_cast<std::uint64_t>(count);
  }
  return true;
}

// REG02/F20r2.dat: deposits at the banks.
bool WriteDeposits(Gen& g) {
  const Lists& words = Words();
  std::int64_t count = 5 + g.opt.members / 5000;
  auto deposit = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    w.Put(Format("%06lld", static_cast<long long>(k + 1)), 10).Put(r.Pick(words.banks), 40);
    w.Put(RandomAmount(r, 1000, 500000), 14).Put(RandomDate(r, g.opt.last_year - 1, g.opt.last_year), 11);
    return w.Put("", 124).Put(" ", 1).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/REG02/F20r2.dat", count, kBatch, 1000000000ULL, deposit);
}

// F08R0.DAT: collectors.
bool WriteCollectors(Gen& g) {
  auto collector = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    Person p = MakePerson(r, 1990);
    w.Put(Format("%04lld", static_cast<long long>(k + 1)), 11).Put(p.name, 40);
    w.Put(r.PerMille(800) ? "S" : "N", 1).Put(RandomDate(r, 1995, g.opt.last_year), 10).Put(p.cpf, 18);
    return w.Put(p.phone1, 219).Put(r.Flag(), 1).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/F08R0.DAT", 3 + g.opt.members / 50, kSmallTable, 0, collector);
}

// C28R0.DAT: sectors of the club; byte 544 is the sector's open flag.
bool WriteSectors(Gen& g) {
  const Lists& words = Words();
  auto sector = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    w.Put(Format("%04lld", static_cast<long long>(k + 1)), 11).Put(r.Pick(words.charges), 40);
    w.Put(FullName(r, r.PerMille(500), ""), 40).Put(RandomAmount(r, 1000, 100000), 14).Put("", 439);
    return w.Put(r.PerMille(700) ? "S" : "N", 1).Put("", 454).Put(r.Flag(), 1).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/C28R0.DAT", 3 + g.opt.members / 50, kSmallTable, 1000000000ULL, sector);
}

// F25R0.DAT: price list; most codes have three characters.
bool WritePriceList(Gen& g) {
  const Lists& words = Words();
  auto price = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    int kind = static_cast<int>(r.Below(100));
    std::string code = kind < 60   ? std::to_string(100 + k % 900)
                       : kind < 75 ? std::to_string(10 + k % 90)
                       : kind < 90 ? std::to_string(1000 + k)
                                   : Format("%05lld", static_cast<long long>(k + 1));
    w.Put(code, 10).Put(r.Pick(words.charges), 40).Put(RandomAmount(r, 500, 90000), 14).Put("", 492);
    return w.Put(r.Flag(), 1).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/F25R0.DAT", 5 + g.opt.members / 200, kSmallTable, 2000000000ULL, price);
}

// F15R0.DAT: billing agents.
bool WriteBillingAgents(Gen& g) {
  auto agent = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    Person p = MakePerson(r, 1990);
    w.Put(Format("%05lld", static_cast<long long>(k + 1)), 19).Put(p.name, 40).Put(r.PerMille(500) ? "S" : "N", 1);
    w.Put(p.phone1, 20).Put(Format("%06d", r.Range(0, 999999)), 6).Put(std::to_string(r.Range(1, 3)), 1);
    w.Put(Format("%02d", r.Range(1, 12)), 2).Put(Format("%03d", r.Range(1, 999)), 3).Put(RandomAmount(r, 100, 9999), 5);
    w.Put(r.PerMille(500) ? "1" : "0", 1).Put(Format("%02d%04d", r.Range(1, 12), g.opt.last_year), 6);
    return w.Put(p.email, 195).Put(r.Flag(), 1).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/F15R0.DAT", 10 + g.opt.members / 1000, kSmallTable, 3000000000ULL, agent);
}

// F90.DAT: free-text notes of variable length, each behind a 16-byte header.
bool WriteNotes(Gen& g) {
  const Lists& words = Words();
  auto note = [&](RecordWriter& w, std::int64_t, Rng& r) {
    std::size_t target = static_cast<std::size_t>(r.PerMille(150) ? r.Range(300, 900) : r.Range(15, 280));
    std::string text;
    while (text.size() < target) {
      if (!text.empty()) text += r.PerMille(50) ? "\r\n" : " ";
      text += r.Pick(words.notes);
    }
    w.Put(r.PerMille(900) ? "1" : "2", 1).Put(g.Code(r.Below(g.opt.members)), 10);
    return w.Put(Format("%05lld", static_cast<long long>(text.size())), 5).Raw(text).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/F90.DAT", AtLeast(g.opt.members / 10, 2), kNote, 0, note);
}

// R08: the agenda of the last two years; kind "A" is an appointment with a
// note, the other kinds are charges.
bool WriteAgenda(Gen& g) {
  const Lists& words = Words();
  Rng split(g.opt.seed, kAgenda, 0);
  std::vector<std::int64_t> counts = Split(split, AtLeast(g.opt.members / 10, 4), 2);
  std::uint64_t index = 1;
  for (int f = 0; f < 2; ++f) {
    int year = g.opt.last_year - 1 + f;
    std::int64_t count = counts[static_cast<std::size_t>(f)];
    auto entry = [&](RecordWriter& w, std::int64_t k, Rng& r) {
      bool appointment = r.PerMille(600);
      w.Put(appointment ? "A" : std::string(1, "BCR"[r.Below(3)]), 1).Put(g.Code(r.Below(g.opt.members)), 10);
      w.Put(Format("%08lld", static_cast<long long>(k + 1)), 10).Put(RandomDate(r, year, year), 10);
      w.Put(Format("%02d:%02d", r.Range(8, 20), r.Range(0, 3) * 15), 10);
      if (appointment) {
        int days = static_cast<int>(r.Below(10));
        w.Put(days == 0 ? "" : Format("%02d", days), 2).Put("", 1).Put(r.Pick(words.notes), 40).Put("", 75);
      } else {
        w.Put(r.Pick(words.charges), 16).Put(RandomAmount(r, 500, 99999), 7).Put(Format("%02d", r.Range(1, 12)), 2);
        w.Put(r.Pick(words.banks), 20).Put(Format("%05d", r.Range(1, 99999)), 5).Put("", 68);
      }
      return w.Put(r.Flag(), 1).EndRecord();
    };
    if (!EmitRecords(g, Format("Zelk/Vek/R08/AG%d.DAT", year), count, kAgenda, index, entry)) return false;
    index += static_cast<std::uint64_t>(count);
  }
  return true;
}

}  // namespace sample
