// Release 5.30 re-laid out a group of tables (F01R0, F09R0, F14R0), split the
// note files of R08 and REG04 into R33\L33* and F32.DAT, moved the numeric
// settings of CONFIGA.DAT into the counters file, moved fields inside F10R4 and
// F09R0, and took the photo folder into the data folder as X01.
//
// Every section runs whatever happened in the ones before it; a section whose
// files cannot be opened is skipped.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/files.h"
#include "steps/conv_log.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "store/counters.h"
#include "store/housekeeping.h"
#include "text/cp1252.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {

namespace {

namespace files = store::files;

// Each table lists the new record's fields in order; the comment gives the
// field's offset in the new record.

// F01R0.DAT (814) from F17R0.DAT (1000).
constexpr std::array kF01R0 = {
    Src(502, 0, 501),  // 0
    Blank(312),        // 502
};
static_assert(RecordLength(kF01R0) == files::kF01R0.length);

// F09R0.DAT (815) from F11R3.DAT (1000).
enum { kRunningNumber, kDigits };
constexpr std::array kF09R0 = {
    Value(5, kRunningNumber),  // 0
    Blank(6),                  // 5
    Src(80, 19, 58),           // 11
    Src(63, 99, 138),          // 91 (59-98 is dropped)
    Value(7, kDigits),         // 154
    Src(78, 139, 209),         // 161
    Src(11, 379, 379),         // 239
    Src(18, 220, 237),         // 250
    Src(22, 0, 18),            // 268
    Src(64, 288, 307),         // 290
    Src(138, 238, 255),        // 354
    Src(10, 470, 479),         // 492
    Src(10, 380, 389),         // 502
    Blank(40),                 // 512
    Src(1, 586, 586),          // 552
    Src(12, 390, 399),         // 553
    Src(11, 368, 378),         // 565
    Src(239, 338, 356),        // 576
};
static_assert(RecordLength(kF09R0) == files::kF09R0.length);

// R33\L33{name} and F32.DAT share this record length.
constexpr std::size_t kNoteLength = files::kR33.length;

// R08 kind "A": a main record and its note record, both to R33\L33{name}.
enum { kEndDate };
constexpr std::array kR08Main = {
    Src(10, 11, 20),      // 0
    Value(10, kEndDate),  // 10
    Src(10, 21, 30),      // 20
    Blank(36),            // 30
    Text(9, "0"),         // 66
    Text(1, "0"),         // 75
    Src(10, 31, 40),      // 76
    Src(20, 1, 10),       // 86
    Blank(2),             // 106
    Text(5, "40"),        // 108
    Blank(147),           // 113
};
constexpr std::array kR08Note = {
    Text(1, "#"),      // 0
    Src(259, 44, 83),  // 1
};
static_assert(RecordLength(kR08Main) == kNoteLength && RecordLength(kR08Note) == kNoteLength);

// R08, every other kind: one F32.DAT record.
constexpr std::array kR08Other = {
    Src(10, 11, 20),   // 0
    Src(20, 21, 30),   // 10
    Src(36, 41, 56),   // 30
    Text(9, "0"),      // 66
    Text(1, "0"),      // 75
    Src(10, 31, 40),   // 76
    Src(20, 66, 85),   // 86
    Text(2, "03"),     // 106
    Src(5, 64, 65),    // 108
    Src(10, 57, 63),   // 113
    Src(137, 86, 90),  // 123
};
static_assert(RecordLength(kR08Other) == kNoteLength);

// REG04: a note record ("#") and the normal record, both to R33\L33{name}.
constexpr std::array kReg04Note = {
    Text(1, "A"),      // 0
    Src(259, 1, 100),  // 1
};
enum { kKey, kFlag, kDateTail };
constexpr std::array kReg04Normal = {
    Value(20, kKey),       // 0
    Value(10, kKey),       // 20
    Src(18, 71, 84),       // 30
    Src(18, 71, 84),       // 48
    Text(6, "0"),          // 66
    Src(3, 46, 48),        // 72
    Value(1, kFlag),       // 75
    Src(10, 0, 9),         // 76
    Src(20, 10, 19),       // 86
    Blank(2),              // 106
    Src(5, 44, 45),        // 108
    Value(10, kDateTail),  // 113
    Blank(137),            // 123
};
static_assert(RecordLength(kReg04Note) == kNoteLength && RecordLength(kReg04Normal) == kNoteLength);

// F14R0.DAT (311) from F31.DAT (172).
enum { kFirstDay, kLastDay };
constexpr std::array kF14R0 = {
    Src(51, 0, 50),        // 0
    Blank(79),             // 51
    Src(18, 51, 68),       // 130
    Value(10, kFirstDay),  // 148
    Value(10, kLastDay),   // 158
    Src(7, 69, 70),        // 168
    Src(136, 85, 90),      // 175
};
static_assert(RecordLength(kF14R0) == files::kF14R0.length);

// CONFIGA.DAT field k -> the counter with this second key part.
constexpr std::array<std::string_view, 15> kConfigaKeys = {
    "10", "13", "18", "9", "1", "60", "4", "15", "25", "2", "29", "30", "60B", "8", "14",
};
constexpr std::size_t kConfigaFieldWidth = 11;

// ---- the sections ---------------------------------------------------------

void WriteF01R0() {
  WriteNewFile(files::kF17R0.name, files::kF17R0.length, files::kF01R0.name, [](RecordReader& in, RecordWriter& out) {
    PutRows(out, in, kF01R0);
  });
}

void WriteF09R0() {
  long number = 0;  // deleted records take no number
  WriteNewFile(files::kF11R3.name, files::kF11R3.length, files::kF09R0.name, [&number](RecordReader& in, RecordWriter& out) {
    std::string digits(in.Field(256, 8));
    const std::string values[] = {text::FormatInteger(++number, 5), text::KeepDigits(digits, 7)};
    PutRows(out, in, kF09R0, values);
  });
}

// The period of a kind "A" record ends (days - 1) days after its start date.
// A start that is not a whole date (fewer than ten characters once the spaces
// behind it are cut, such as "1/3/2009") gives no end date: ten spaces, never
// a date made up from the pieces.
std::string EndDate(std::string_view start, std::string_view days_field) {
  while (!start.empty() && start.back() == ' ') start.remove_suffix(1);
  if (start.size() < 10) return {};
  text::CalendarDate d = text::ParseDate(start);
  if (d.year == 0) return {};
  for (long days = text::ParseLong(days_field); days > 1; --days) text::NextDay(d);
  return text::FormatDate(d);
}

std::string Reg04DateTail(std::string_view date, std::string_view n_field) {
  const long n = text::ParseLong(n_field);
  const std::size_t p = n <= 11 ? 3 : (n == 12 ? 6 : 0);
  return p < date.size() ? std::string(date.substr(p)) : std::string();
}

std::vector<std::string> DataFilesOf(std::string_view folder) {
  std::vector<std::string> names;
  for (const platform::FindEntry& e : store::FindDataFiles(std::string(folder) + "\\*.DAT")) names.push_back(e.name);
  return names;
}

// Splits one file of notes: `split(in, notes, others)` puts each live record
// into R33\L33<name> or into F32.DAT. F32.DAT is written to even when nothing
// goes there: its existence marks the split as done, also when REG04 is the
// only folder with files.
template <typename Split>
void SplitNotes(const std::string& path, std::size_t length, const std::string& name, Split split) {
  RecordReader in(path, length);
  if (!in) return;
  RecordWriter notes("R33\\L33" + name, RecordWriter::Mode::kAppend);
  RecordWriter others(files::kF32.name, RecordWriter::Mode::kAppend);
  for (std::int64_t i = 0; in.Load(i); ++i) {
    if (!in.deleted()) split(in, notes, others);
  }
  notes.Close();
  others.Close();
}

void ConvertR08File(const std::string& name) {
  SplitNotes("R08\\" + name, files::kR08.length, name, [](const RecordReader& in, RecordWriter& notes, RecordWriter& others) {
    if (in.At(0) == 'A') {
      const std::string values[] = {EndDate(in.Field(21, 10), in.Field(41, 2))};
      PutRows(notes, in, kR08Main, values);
      PutRows(notes, in, kR08Note);
    } else {
      PutRows(others, in, kR08Other);
    }
  });
}

void ConvertReg04File(const std::string& name) {
  SplitNotes("REG04\\" + name, files::kReg04.length, name, [&name](const RecordReader& in, RecordWriter& notes, RecordWriter&) {
    if (in.At(0) == '#') {
      PutRows(notes, in, kReg04Note);
      return;
    }
    // The key: the five characters at 66, "/", the first four of the file name.
    const std::string key = std::string(in.Field(66, 5)) + "/" + name.substr(0, 4);
    const std::string values[] = {key, in.At(51) == '1' ? "9" : "0",
                                  Reg04DateTail(in.Field(20, 10), in.Field(44, 2))};
    PutRows(notes, in, kReg04Normal, values);
  });
}

void SplitNoteFiles(platform::Ui& dlg) {
  if (store::Exists(files::kF32.name)) return;
  const std::vector<std::string> r08 = DataFilesOf("R08");
  const std::vector<std::string> reg04 = DataFilesOf("REG04");
  if (r08.empty() && reg04.empty()) return;
  if (!store::IsFolder("R33")) {
    // The notes would be left behind unconverted, and the cleanup later moves
    // R08 and REG04 out of the data folder: the user must know.
    dlg.MessageBox(CP1252("A pasta R33 não existe: as anotações das pastas R08 e REG04 não foram convertidas."),
                   "Vek", platform::Icon::kWarning);
    return;
  }
  for (const std::string& name : r08) ConvertR08File(name);
  for (const std::string& name : reg04) ConvertReg04File(name);
}

void WriteF14R0() {
  WriteNewFile(files::kF31.name, files::kF31.length, files::kF14R0.name, [](RecordReader& in, RecordWriter& out) {
    std::string first;
    if (in.At(71) != ' ') first = "01/" + std::string(in.Field(71, 7));
    std::string last;
    if (in.At(78) != ' ') {
      const std::string_view month = in.Field(78, 7);
      const text::CalendarDate d = text::MakeDate(1, month);
      last = Format("%02d/", text::DaysInMonth(d.year, d.month)) + std::string(month);
    }
    const std::string values[] = {first, last};
    PutRows(out, in, kF14R0, values);
  });
}

void MoveSettingsToCounters() {
  if (!store::Exists("CONFIGA.DAT") || store::Exists(store::kCountersFile)) return;
  bool stored = true;
  for (std::size_t k = 0; k < kConfigaKeys.size(); ++k) {
    const long value = store::ReadRecordNumber("CONFIGA.DAT", static_cast<long>(k), kConfigaFieldWidth);
    if (value > 0 && !store::StoreCounter("", kConfigaKeys[k], value)) stored = false;
  }
  // Settings that did not reach the counters file are not thrown away.
  if (stored && !store::DeleteFile("CONFIGA.DAT") && store::IsReadOnly("CONFIGA.DAT")) {
    store::Warn(CP1252("CONFIGA.DAT: está marcado como somente leitura e não foi excluído (os valores já estão em "
                       "F34.DAT).")
                    .str());
  }
}

void PatchF10R4() {
  namespace old = store::member469;
  namespace was = store::member435;
  namespace now = store::member530;
  PatchEach(store::files::kF10R4, [](RecordPatcher& f10) {
    if (f10.At(old::kKindNumber.offset) == ' ') return;
    if (f10.At(store::person::kKindCode.offset) == '3') {
      f10.Set(store::person::kKindCode, "5");
    } else if (f10.At(store::person::kKindCode.offset) == '4') {
      f10.Set(store::person::kKindCode, "3");
    }
    const char exclusion = f10.At(was::kExclusion.offset);
    if (exclusion != ' ') f10.Set(now::kExclusion, std::string(1, exclusion));
    // A date moves; its first two characters stay behind.
    const std::string date(f10.Field(was::kField29));
    if (f10.At(was::kField29.offset + 2) == '/') {
      f10.Set(now::kField29Date, date);
      f10.Set(was::kField29.offset + 2, "", was::kField29.width - 2);
    }
    const std::string code(f10.Field(old::kKindNumber));
    f10.Set(now::kKindNumber, code);
    f10.Set(old::kKindNumber, "");
  });
}

void PatchF09R0() {
  namespace f09 = store::f09r0;
  PatchEach(files::kF09R0, [](RecordPatcher& rec) {
    // A free text (not a date) moves to the block.
    const std::string note = rec.Trimmed(f09::kDateOrText);
    if (!note.empty() && (note.size() < 3 || note[2] != '/')) {
      rec.Set(f09::kBlock, note);
      rec.Set(f09::kDateOrText, "");
    }
    if (rec.At(f09::kOldDate.offset) != ' ') {
      const std::string moved(rec.Field(f09::kOldDate));
      rec.Set(f09::kDateOrText.offset, moved, f09::kOldDate.width);
      rec.Set(f09::kOldDate, "");
    }
  });
}

void PatchOnce() {
  // Logged before the work: a patch that fails is not tried again.
  if (ConvMark("530") != 0) return;
  PatchF10R4();
  PatchF09R0();
}

void RenamePhoto(const std::string& folder, const std::string& code, const char* from, const char* to) {
  const std::string stem = folder + code + from;
  std::string found = stem;
  if (!store::FindImageFile(found)) return;
  const std::string ext = found.substr(stem.size());  // with its dot
  store::MoveFile(found, folder + code + to + ext);
}

std::string FoldedStem(std::string name) {
  for (char& c : name) c = static_cast<char>(text::FoldCase(static_cast<unsigned char>(c)));
  return name;
}

void MovePhotoFolder() {
  if (!store::Exists("..\\Fotos\\Vek") || !store::MoveFile("..\\Fotos\\Vek", "X01")) return;
  store::RemoveFolder("..\\Fotos");
  struct Rename {
    int from;
    const char* to;
  };
  static constexpr Rename kRenames[] = {{1, "X01\\10"}, {2, "X01\\13"}, {3, "X01\\01"}, {540, "X01\\26"}};
  for (const Rename& r : kRenames) {
    const std::string from = Format("X01\\%d", r.from);
    if (store::Exists(from)) store::MoveFile(from, r.to);
  }
  // The folder is read once, so that the photo table's records whose photos
  // are not there cost no search of the disk.
  std::unordered_set<std::string> stems;
  for (const platform::FindEntry& e : store::FindFiles("X01\\26\\*")) {
    stems.insert(FoldedStem(e.name.substr(0, e.name.rfind('.'))));
  }
  RecordReader photos(files::kF26R0);
  for (std::int64_t i = 0; photos.Load(i); ++i) {
    const std::string code = photos.Trimmed(0, 9);
    if (stems.count(FoldedStem(code + "-540"))) RenamePhoto("X01\\26\\", code, "-540", "-1");
    if (stems.count(FoldedStem(code + "-545"))) RenamePhoto("X01\\26\\", code, "-545", "-2");
  }
}

}  // namespace

void RelayoutRecordsAndPhotos(platform::Ui& dlg) {
  store::MoveFile("F27.DAT", "F02R1.DAT");
  WriteF01R0();
  WriteF09R0();
  SplitNoteFiles(dlg);
  WriteF14R0();
  MoveSettingsToCounters();
  PatchOnce();
  MovePhotoFolder();
}

}  // namespace steps
