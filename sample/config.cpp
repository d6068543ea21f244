// The settings files: charge values and names, bank accounts, counters.
#include <algorithm>

#include "sample/layouts.h"
#include "sample/people.h"
#include "sample/words.h"
#include "sample/writers.h"
#include "text/cp1252.h"

namespace sample {

using platform::Format;
using store::RecordWriter;

// Conf10.dat before 4.07: ten charge values of 19 bytes, then the five
// due-date settings (monthly day, month shift, yearly day, yearly month,
// year shift); the last byte is the record flag.
bool WriteChargeValues(Gen& g, Rng& r) {
  static const int kCents[] = {12000, 6000, 3550, 120000, 9000, 4500, 25000, 1500, 60000, 8000};
  return Emit(g, "Zelk/Vek/Conf10.dat", [&](RecordWriter& w) {
    for (int cents : kCents) w.Put(Amount((cents + 50 * r.Range(0, 20)) / 100.0), 19);
    w.Put(std::to_string(r.Range(5, 15)), 19).Put("1", 19).Put(std::to_string(r.Range(5, 20)), 19);
    w.Put(std::to_string(r.Range(1, 4)), 19).Put("1", 18).Put(" ", 1);
    return w.EndRecord();
  });
}

// Conf11.dat: the bank accounts used for collection.
bool WriteBankAccounts(Gen& g, Rng& r) {
  const Lists& words = Words();
  std::int64_t accounts = std::min<std::int64_t>(300, 3 + g.opt.members / 20000);
  return Emit(g, "Zelk/Vek/Conf11.dat", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < accounts; ++k) {
      Person p = MakePerson(r, 1990);
      Record<kBankAccountLayout> v;
      v["bank"] = r.Pick(words.banks);
      v["cnpj"] = Cnpj(r);
      v["street"] = p.street;
      v["city"] = p.city.substr(0, 14);
      v["uf"] = p.uf;
      v["branch"] = Format("%04d-%d", r.Range(1, 9999), r.Range(0, 9));
      v["cep"] = p.cep.substr(0, 5) + p.cep.substr(6, 3);
      v["kind"] = "01";
      v["phone"] = Landline(r, p.ddd).substr(5);
      v["bank_number"] = Format("%03d", r.Range(1, 399));
      v["holder"] = p.name;
      v["email"] = p.email;
      v["account"] = Format("%07d-%d", r.Range(1, 9999999), r.Range(0, 9));
      v["portfolio"] = "17";
      v["agreement"] = r.Digits(11);
      v["collection"] = r.PerMille(500) ? CP1252("Cobrança registrada").str() : "";
      v["fee"] = Format("%d,%02d", r.Range(1, 4), r.Range(0, 99));
      v["options"] = "SN";
      v["next_number"] = r.Digits(6);
      if (!PutRow(w, v, r.PerMille(100), Separated::kNo)) return false;
    }
    return true;
  });
}

// Config22.dat: forty charge descriptions; an entry blanked by the user
// begins with spaces.
bool WriteChargeNames(Gen& g, Rng& r) {
  const Lists& words = Words();
  return Emit(g, "Zelk/Vek/Config22.dat", [&](RecordWriter& w) {
    int blank = r.Range(3, 38);
    for (int k = 0; k < 40; ++k) {
      std::string name = k == blank ? "" : r.Pick(words.charges);
      if (k == blank + 1) name = "   " + r.Pick(words.charges);
      w.Put(name, 30).Put(r.PerMille(700) ? "S" : "N", 1).Put(RandomAmount(r, 500, 30000), 15);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
}

// CONF14.DAT: twelve charges with their codes.
bool WriteChargeCodes(Gen& g, Rng& r) {
  const Lists& words = Words();
  return Emit(g, "Zelk/Vek/CONF14.DAT", [&](RecordWriter& w) {
    for (int k = 0; k < 12; ++k) {
      w.Put(Format("%02d", k + 1), 2).Put(Format("%03d", r.Range(0, 999)), 3);
      w.Put(words.charges[static_cast<std::size_t>(k)], 34);
      if (!w.Put(" ", 1).EndRecord()) return false;
    }
    return true;
  });
}

// CONFIGA.DAT: the running counters of older releases, fifteen numbers.
bool WriteCounters(Gen& g, Rng& r) {
  return Emit(g, "Zelk/Vek/CONFIGA.DAT", [&](RecordWriter& w) {
    for (int k = 0; k < 15; ++k) {
      long long v = k == 0 ? g.opt.members + 1 : (r.PerMille(200) ? 0 : r.Range(1, 5000));
      w.Put(std::to_string(v), 11);
    }
    return w.EndRecord();
  });
}

}  // namespace sample
