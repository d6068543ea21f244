#include "sample/install.h"

#include <algorithm>

#include "platform/files.h"
#include "sample/writers.h"
#include "text/cp1252.h"

namespace sample {
namespace {

bool DataFolderHasEntries(const std::string& host) {
  for (const platform::FindEntry& e : platform::FindFiles(host + "/*")) {
    if (e.name != "." && e.name != "..") return true;
  }
  return false;
}

bool MakeFolders(Gen& g) {
  static const char* const kFolders[] = {
      "Zelk",           "Zelk/Vek",         "Zelk/Vek/REG",     "Zelk/Vek/REG01",   "Zelk/Vek/REG02",
      "Zelk/Vek/R08",   "Zelk/Vek/R01",     "Zelk/Vek/R33",     "Zelk/Vek/Temp",    "Zelk/Fotos",
      "Zelk/Fotos/Vek", "Zelk/Fotos/Vek/1", "Zelk/Fotos/Vek/2", "Zelk/Fotos/Vek/3", "Zelk/Fotos/Vek/540",
      "Glebrium",       "Glebrium/REG"};
  for (const char* folder : kFolders) {
    if (!Folder(g, folder)) return false;
  }
  return true;
}

// The tables of the data folder, in the order written.
bool WriteTables(Gen& g, std::vector<int>* years) {
  std::uint64_t old_person = 0;
  Rng config(g.opt.seed, kConfig, 0);
  return WriteMembers(g) && WriteYearlyFiles(g, years) && WriteStaff(g, &old_person) &&
         WriteRelatives(g, &old_person) && WriteDonors(g, &old_person) && WriteChargeValues(g, config) &&
         WriteBankAccounts(g, config) && WriteChargeNames(g, config) && WriteChargeCodes(g, config) &&
         WriteCounters(g, config) && WriteReceipts(g) && WriteBankBatches(g) && WriteDeposits(g) &&
         WritePartners(g) && WriteOtherPeople(g) && WritePersons1000(g) && WriteClubAndBranches(g) &&
         WriteCollectors(g) && WriteSectors(g) && WritePriceList(g) && WriteBillingAgents(g) && WriteNotes(g) &&
         WriteAgenda(g);
}

// The photos, what older releases left in the data folder, and the legacy
// folder: files that the data folder has too (older copies, which must not
// replace the current ones), one that only it has, and the yearly file of
// 1960 with the oldest history.
bool WriteOthers(Gen& g, const std::vector<int>& years) {
  std::vector<std::string> with_photos;
  Rng legacy(g.opt.seed, kLegacy, 0);
  bool ok = WritePhotoTable(g, &with_photos) && WritePhotoFiles(g, with_photos) &&
            WriteReceiptForm(g, "Zelk/Vek/C04.DAT", CP1252("Recibo padrão - modelo 1"), 832) &&
            WriteReceiptForm(g, "Zelk/Vek/C04B.DAT", CP1252("Recibo padrão - modelo 2"), 999) &&
            WriteOldNotes(g, legacy) && EmitBytes(g, "Zelk/Vek/R01/LEIAME.TXT", "Notas antigas\r\n") &&
            EmitBytes(g, "Zelk/Vek/Temp/IMP0001.DAT", std::string(120, ' ')) && WriteObsoleteFiles(g, legacy) &&
            WriteLegacyCharges(g) &&
            EmitBytes(g, "Glebrium/CONF14.DAT", std::string("01   ") + std::string(34, '-') + " ") &&
            EmitBytes(g, "Glebrium/F23.DAT", std::string(200, ' ')) &&
            EmitBytes(g, "Glebrium/LEIAME.TXT", CP1252("Dados da versão antiga\r\n")) && WriteLegacyHistory(g);
  if (ok && !years.empty()) ok = WriteLegacyYear(g, years.front());
  return ok;
}

}  // namespace

bool MakeSampleInstallation(const std::string& root_host_folder, const SampleOptions& options, std::string* error,
                            std::vector<SampleFile>* written) {
  Gen g;
  g.opt = options;
  g.root = root_host_folder;
  while (g.root.size() > 1 && (g.root.back() == '/' || g.root.back() == '\\')) g.root.pop_back();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (g.root.empty()) return fail("no folder given");
  if (options.members < 1 || options.members > 50000000) return fail("the member count must be from 1 to 50000000");
  if (options.last_year < kFirstHistoryYear + 1 || options.last_year > 2100)
    return fail(platform::Format("the last year must be from %d to 2100", kFirstHistoryYear + 1));
  g.history_end = std::min(kLastHistoryYear, options.last_year);
  g.orphans = options.members / 200;
  // Codes are zero-padded to one width; the photo table keeps nine characters.
  g.code_width = std::max(5, static_cast<int>(std::to_string(options.members + g.orphans + 3).size()));

  if (!Folder(g, "")) return fail(g.error);
  if (platform::IsFolder(g.Host("Zelk/Vek")) && DataFolderHasEntries(g.Host("Zelk/Vek")))
    return fail("the data folder " + g.Host("Zelk/Vek") + " is not empty");
  if (!MakeFolders(g)) return fail(g.error);

  std::vector<int> years;
  bool ok = WriteTables(g, &years) && WriteOthers(g, years);
  if (written) *written = g.files;
  if (!ok) return fail(g.error.empty() ? "cannot write the installation" : g.error);
  return true;
}

}  // namespace sample
