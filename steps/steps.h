// The conversion steps, in the order in which the Convert command runs them.
// Each takes the conversion dialog (status line, message boxes, work lists)
// and reports nothing to its caller: what the user must know, it shows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

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
  const char* name;   // for timings and logs
  const char* label;  // for the user (cp1252)
  void (*run)(platform::Ui& dlg);
  // The change set is committed after this step; otherwise the next step
  // goes on in it and they commit together.
  bool commits = true;
};
// All thirteen steps in their order.
std::span<const Step> AllSteps();

// ---- the conversion as a whole ----------------------------------------------

// How a conversion ended.
enum class Outcome {
  kDone,
  kStopped,  // a step could not read or write its files; nothing of it was made
  kNoSpace,  // the disk lacks the space the conversion needs; nothing was changed
  kBusy,     // another conversion holds the data folder; nothing was changed
};

struct ConversionResult {
  Outcome outcome = Outcome::kDone;
  std::vector<std::string> warnings;  // what was passed over (cp1252)
  std::string message;           // for the user when not kDone (cp1252)
  std::int64_t space_needed = 0;  // the estimate, bytes
  std::int64_t space_free = -1;   // free on the data folder's disk at the start
  std::int64_t peak_use = 0;      // the most the conversion took of it, measured
};

// Converts the current folder. Each step runs in a change set and commits
// whole (the steps from 4.69 on together), after the previous ones, so that
// an interruption leaves the files as the last commit left them; the next
// conversion first
// completes an interrupted commit and then goes on with the step that was
// interrupted (on the date the interrupted conversion took for today). Before
// the first step the space that the steps still to run need is compared with
// the space free (unless check_space is false: a disk that fills up then
// stops the conversion like any refused write). on_step hears each step's
// name and its time in seconds.
ConversionResult Convert(platform::Ui& dlg, const std::function<void(const char*, double)>& on_step = {},
                         bool check_space = true);

// ---- where an installation stands ----------------------------------------

enum class StepState {
  kDone,         // a conversion would change nothing in it
  kPending,      // a conversion would run it and change files
  kInterrupted,  // a conversion was interrupted in it; the next one takes it up
};

struct InstallationStatus {
  std::vector<StepState> steps;      // by the index of AllSteps()
  std::optional<std::string> stop;   // what stops a conversion before any step (cp1252)
  std::optional<std::string> fault;  // a step that could not read its files: the message (cp1252)
  std::vector<std::string> warnings; // what a conversion would pass over (cp1252)
  std::vector<std::string> logged;   // the ids in the conversion log
  std::int64_t space_needed = 0;
  std::int64_t space_free = -1;
};

// Where the installation in the current folder stands, changing nothing (a
// read-only copy will do). A step's state comes from the progress of an
// interrupted conversion, or from running the step itself in a probe that
// stops at its first change: the step's own tests of what is left to do
// decide. A step after a pending one waits for what that one makes: it is
// pending too.
InstallationStatus ReadStatus(platform::Ui& dlg);

// What must hold before the first step: the data folder can be read and
// written, no two of its names differ only in letter case, and no data file
// the conversion reads is over the 2 GB a data file may have. The message for
// the user when one does not hold.
std::optional<std::string> CheckBeforeConverting();

// The space on the data folder's disk that the steps from `first` on will
// take at most, estimated from the files there are now.
std::int64_t EstimateSpace(std::size_t first);

// A file a step reads or writes, as the estimate of the space sees the step:
// a read file with its size now (-1: not there now, an earlier step makes it).
struct StepFile {
  std::string name;
  std::int64_t size = -1;
  bool written = false;
  int files = 1;  // a group of files ("R08\*.DAT"): how many there are now
};
std::vector<StepFile> FilesOfStep(std::size_t step);

// The bytes that the step (index in AllSteps()) will read, from the files it
// reads as they stand before it runs, each counted as often as the step goes
// through it; 0 for a step that reads nothing of size.
std::int64_t StepInputBytes(std::size_t step);

// The file that tells how far an interrupted conversion came.
inline constexpr char kProgressFile[] = "VEKCONV.RUN";
// Where the system needs a file to hold the data folder for one conversion.
inline constexpr char kLockFile[] = "VEKCONV.LCK";

}  // namespace steps
