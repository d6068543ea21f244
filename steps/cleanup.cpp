// The last step: what earlier releases left in the data folder goes away.
// Configuration, index, help and program files are deleted; converted data
// files and old folders move into the temporary folder, out of the way but
// not lost; four report folders get their new names; obsolete counters leave
// F34.DAT. Every row does nothing once its name is gone, so the step runs on
// every conversion.
#include <string>

#include "platform/files.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "store/counters.h"
#include "store/housekeeping.h"
#include "store/records.h"
#include "text/cp1252.h"

namespace steps {

namespace {

enum class Action {
  kDelete,          // a plain delete: a read-only file stays
  kRetire,          // file or folder into the temporary folder
  kMoveFolder,      // folder renamed, or its *.DAT files moved into the new one
  kRemoveCounters,  // counters whose second key part is the name
};

struct Disposal {
  const char* name;
  Action action;
  const char* target = nullptr;  // kMoveFolder only
};

constexpr Disposal kDisposals[] = {
    {"Acc001.dat", Action::kDelete},
    {"Accnew.001", Action::kDelete},
    {"CONF0.SAT", Action::kDelete},
    {"config4.dat", Action::kDelete},
    {"config7.dat", Action::kDelete},
    {"config8.dat", Action::kDelete},
    {"config9.dat", Action::kDelete},
    {"Conf10.dat", Action::kRetire},
    {"conf12.dat", Action::kDelete},
    {"conf13.dat", Action::kDelete},
    {"conf14.dat", Action::kDelete},
    {"conf15.dat", Action::kDelete},
    {"config22.dat", Action::kDelete},
    {"C01A.DAT", Action::kDelete},
    {"C01C.DAT", Action::kDelete},
    {"C10.DAT", Action::kDelete},
    {"c035.dat", Action::kDelete},
    {"d03.den", Action::kDelete},
    {"d04.den", Action::kDelete},
    {"d19.den", Action::kDelete},
    {"d20.den", Action::kDelete},
    {"d21.den", Action::kDelete},
    {"d21b.den", Action::kDelete},
    {"d22.den", Action::kDelete},
    {"d22b.den", Action::kDelete},
    {"F10R2.DAT", Action::kRetire},
    {"F10R3.DAT", Action::kRetire},
    {"F11R2.DAT", Action::kRetire},
    {"F11R3.DAT", Action::kRetire},
    {"F13.DAT", Action::kRetire},
    {"F13R0.DAT", Action::kRetire},
    {"F14.DAT", Action::kRetire},
    {"F15.DAT", Action::kRetire},
    {"F16.dat", Action::kDelete},
    {"F17.DAT", Action::kRetire},
    {"F17R0.DAT", Action::kRetire},
    {"F18.DAT", Action::kRetire},
    {"F18R0.DAT", Action::kRetire},
    {"F23.dat", Action::kDelete},
    {"F25.dat", Action::kDelete},
    {"F31.DAT", Action::kRetire},
    {"vek.txt", Action::kDelete},
    {"glb01g.txt", Action::kDelete},
    {"glb0130.txt", Action::kDelete},
    {"glb0131.txt", Action::kDelete},
    {"glb0133.txt", Action::kDelete},
    {"glbprod.exe", Action::kDelete},
    {"glebrium.ata", Action::kDelete},
    {"Glb01.hlp", Action::kDelete},
    {"Glb01.gid", Action::kDelete},
    {"glb02.hlp", Action::kDelete},
    {"glb02.gid", Action::kDelete},
    {"glb03.hlp", Action::kDelete},
    {"glb03.gid", Action::kDelete},
    {"REG", Action::kRetire},
    {"REG01", Action::kRetire},
    {"REG04", Action::kRetire},
    {"REG02", Action::kRetire},
    {"R08", Action::kRetire},
    {"Temp", Action::kRetire},
    {"R01", Action::kMoveFolder, "R33"},
    {"R02", Action::kMoveFolder, "R29"},
    {"R05", Action::kMoveFolder, "R50"},
    {"R06", Action::kMoveFolder, "R64"},
    {"60B", Action::kRemoveCounters},
};

// A plain delete: a read-only file stays, and the user is told that it did.
void DeleteOrSay(const char* name) {
  if (!store::DeleteFile(name) && store::IsReadOnly(name)) {
    store::Warn(std::string(name) + CP1252(": está marcado como somente leitura e não foi excluído.").str());
  }
}

constexpr long kCounterKeyPartAt = 10;
constexpr int kCounterKeyPartWidth = 10;

}  // namespace

void CleanupObsoleteFiles(platform::Ui&) {
  for (const Disposal& d : kDisposals) {
    switch (d.action) {
      case Action::kDelete:
        DeleteOrSay(d.name);
        break;
      case Action::kRetire:
        store::MoveToTemp(d.name, kRetiredSubfolder);
        break;
      case Action::kMoveFolder:
        // A file of that name is no report folder.
        if (store::IsFolder(d.name)) store::TransferFolder(d.name, d.target, store::kTransferMove);
        break;
      case Action::kRemoveCounters:
        store::DelByKey(d.name, store::kCountersFile, store::kCounterRecordLength, kCounterKeyPartAt,
                        kCounterKeyPartWidth);
        break;
    }
  }
}

}  // namespace steps
