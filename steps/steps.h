// The conversion steps, in the order in which the Convert command runs them.
// Each takes the conversion dialog (status line, message boxes, work lists)
// and reports nothing to its caller: what the user must know, it shows.
#pragma once

#include <span>
#include <string>

#include "platform/ui.h"

namespace steps {

void ImportLegacyFolder(platform::Ui& dlg);       // C:\Glebrium -> C:\Zelk\Vek
void MigrateTo370(platform::Ui& dlg);             // yearly history -> F10r3.dat
void MigrateTo400(platform::Ui& dlg);             // f13/f14/f15 -> F13R0.DAT
void MigrateTo407(platform::Ui& dlg);             // Conf10.dat widened to 665 bytes
void MigrateTo431(platform::Ui& dlg);             // Conf11 -> F18R0.DAT, Config22 -> F19.DAT
void MigrateTo435(platform::Ui& dlg);             // REG04, F22.DAT, 1000-byte layouts, F24.DAT
void MigrateTo451(platform::Ui& dlg);             // R50 lines, F11R3.DAT, F18R1.DAT
void MigrateTo469(platform::Ui& dlg);             // charge kinds F31.DAT, packed month grids
void RelayoutRecordsAndPhotos(platform::Ui& dlg); // F01R0/F09R0/F14R0, R33 notes, counters, photos
void RelayoutPaymentMethods(platform::Ui& dlg);   // F03R0, default payment methods, country codes
void MigrateTelephones(platform::Ui& dlg);        // FTEL1.DAT, C04.DAT
void FormatCodesAndLinkNotes(platform::Ui& dlg);  // codes, note links, F15R1, F18R2, F40
void CleanupObsoleteFiles(platform::Ui& dlg);     // deletes and moves to the temporary folder

// Files that the conversion no longer needs go to this subfolder of the
// temporary folder, never to the bin.
inline constexpr const char* kRetiredSubfolder = "Zelk\\Vek";
// The full path of that folder.
std::string RetiredFolder();

struct Step {
  const char* name;
  void (*run)(platform::Ui& dlg);
};
// All thirteen steps in their order.
std::span<const Step> AllSteps();

}  // namespace steps
