// Release 4.51: the account files of REG02 become line files in R50,
// F11R2.DAT becomes F11R3.DAT and F18R0.DAT becomes F18R1.DAT. Every stage is
// guarded by the absence of the file it creates; the old files stay in place.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "steps/record_io.h"
#include "steps/steps.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {
namespace {

// ---- REG02\A*.DAT -> R50 ---------------------------------------------------

constexpr std::size_t kAccountLength = 557;
constexpr std::size_t kGroupsAt = 137;  // twelve groups of 30 bytes
constexpr int kGroups = 12;

std::string Amount(std::string_view text) { return Fmt("%.2f", text::ParseDecimal(text)); }

long ClassCode(std::string_view class_number) {
  long n = text::ParseLong(class_number);
  return n <= 2 ? 1 : n == 3 ? 2 : 9;
}

// One account record gives a "01" line, a "20" line per group whose number is
// not negative, and an "80" line with the total; 230 bytes each.
void WriteAccountLines(const RecordReader& in, RecordWriter& out) {
  out.Put("01", 2)
      .Put(in.At(18) == 'E' ? "0" : "1", 1)
      .Put("04", 9)
      .Put(Fmt("%ld", text::ParseLong(in.Field(0, 7))), 26)
      .Put(in.Field(7, 11), 20)
      .Put(in.Field(21, 19), 22)
      .Spaces(4)
      .Put(Fmt("%ld", ClassCode(in.Field(19, 2))), 11)
      .Put(in.Field(40, 19), 135)
      .EndRecord();
  for (int k = 0; k < kGroups; ++k) {
    const std::size_t at = kGroupsAt + 30 * static_cast<std::size_t>(k);
    std::string_view number = in.Field(at, 2);
    if (text::ParseLong(number) < 0) continue;
    out.Put("20", 2)
        .Put(number, 39)
        .Put(Amount(in.Field(at + 2, 14)), 16)
        .Put(Amount(in.Field(at + 16, 14)), 173)
        .EndRecord();
  }
  out.Put("80", 2).Put(Amount(in.Field(59, 14)), 228).EndRecord();
}

void ConvertAccountFiles() {
  for (const platform::FindEntry& found : platform::FindFiles("REG02\\A*.DAT")) {
    if (found.attributes & platform::kAttrFolder) continue;
    const std::string target = "R50\\" + found.name.substr(1);
    if (platform::Exists(target)) continue;
    RecordReader in("REG02\\" + found.name, kAccountLength);
    if (!in) continue;
    // Installations from before 4.51 have no R50 folder; without it nothing
    // could be converted.
    if (!platform::IsFolder("R50")) platform::CreateFolder("R50");
    RecordWriter out(target, RecordWriter::Mode::kCreate);
    if (!out) continue;
    for (std::int64_t i = 0; in.Load(i); ++i) {
      if (in.deleted()) continue;
      WriteAccountLines(in, out);
    }
    out.Close();
  }
}

// ---- F11R2.DAT (1581) -> F11R3.DAT (1000) ----------------------------------

constexpr std::size_t kF11OldLength = 1581;

enum class From {
  kText,    // the old text, cut to the new width
  kBlank,   // spaces
  kMarker,  // "1" when the old text begins with a space, else "2"
  kCodes,   // the codes made from the marks of field 48
};

struct F11Row {
  std::size_t width;  // in the new record
  From from;
  std::size_t offset;  // in the old record
  std::size_t length;  // the old field's text: its width less the byte behind it
};

// The new record, row by row in new-offset order (the comment is the old field).
constexpr std::array<F11Row, 35> kF11Layout{{
    {19, From::kText, 0, 18},       // 0
    {40, From::kText, 19, 40},      // 1
    {40, From::kText, 60, 40},      // 2
    {40, From::kText, 101, 40},     // 3
    {30, From::kText, 142, 30},     // 4
    {9, From::kText, 173, 9},       // 5
    {30, From::kText, 183, 30},     // 6
    {2, From::kText, 214, 2},       // 7
    {10, From::kText, 217, 10},     // 8
    {18, From::kText, 228, 18},     // 9
    {18, From::kText, 247, 18},     // 10
    {8, From::kText, 266, 8},       // 11
    {20, From::kText, 275, 30},     // 12, first 20 characters
    {4, From::kBlank, 0, 0},        // 13 is dropped
    {30, From::kText, 347, 30},     // 14
    {20, From::kBlank, 0, 0},       // 15 is dropped
    {10, From::kText, 409, 10},     // 16
    {10, From::kText, 420, 10},     // 17
    {10, From::kText, 431, 10},     // 18
    {11, From::kText, 487, 11},     // 20
    {1, From::kMarker, 499, 10},    // 21 blank or not
    {10, From::kText, 499, 10},     // 21
    {10, From::kText, 510, 15},     // 22 .. 28, first 10 characters each
    {10, From::kText, 526, 15},     //
    {10, From::kText, 542, 15},     //
    {10, From::kText, 558, 15},     //
    {10, From::kText, 574, 15},     //
    {10, From::kText, 590, 15},     //
    {10, From::kText, 606, 15},     //
    {10, From::kText, 804, 20},     // 34, first 10 characters
    {30, From::kText, 825, 50},     // 35, first 30 characters
    {80, From::kText, 1038, 90},    // 38, first 80 characters
    {4, From::kText, 1129, 10},     // 39, first 4 characters
    {11, From::kCodes, 1508, 72},   // 48
    {404, From::kBlank, 0, 0},      // then the flag byte at 999
}};
constexpr std::size_t kF11FlagAt = kF11OldLength - 1;

constexpr std::size_t LayoutWidth() {
  std::size_t n = 0;
  for (const F11Row& row : kF11Layout) n += row.width;
  return n;
}
static_assert(LayoutWidth() + 1 == 1000, "F11R3.DAT records are 1000 bytes");

// Field 48 holds "0"/"1" marks; the first "1" of each group of positions
// names a code. Positions 18 to 22 are carried as they stand ("0" as blank).
std::string MarkCodes(std::string_view field) {
  std::string marks(field.substr(0, 23));
  for (char& c : marks) {
    if (c == '0') c = ' ';
  }
  auto first_set = [&](std::size_t from, std::size_t n) -> int {
    for (std::size_t k = 0; k < n; ++k) {
      if (from + k < marks.size() && marks[from + k] == '1') return static_cast<int>(k);
    }
    return -1;
  };
  static constexpr std::array<std::string_view, 6> kClass{"01", "02", "03", "04", "05", "99"};
  std::string out;
  int k = first_set(0, 6);
  out += k < 0 ? std::string_view("  ") : kClass[static_cast<std::size_t>(k)];
  k = first_set(6, 6);
  out += k < 0 ? ' ' : "123459"[k];
  k = first_set(12, 3);
  out += k < 0 ? ' ' : "123"[k];
  k = first_set(15, 3);
  out += k < 0 ? ' ' : "123"[k];
  std::string_view tail = marks.size() > 18 ? std::string_view(marks).substr(18, 5) : std::string_view();
  out.append(6 - tail.size(), ' ');
  out += tail;
  return out;
}

void ConvertF11() {
  if (platform::Exists("F11R3.DAT")) return;
  RecordReader in("F11R2.DAT", kF11OldLength);
  if (!in) return;
  RecordWriter out("F11R3.DAT", RecordWriter::Mode::kCreate);
  if (!out) return;
  // Deleted records are carried over with their flag byte.
  for (std::int64_t i = 0; in.Load(i); ++i) {
    for (const F11Row& row : kF11Layout) {
      switch (row.from) {
        case From::kText:
          out.Put(in.Field(row.offset, row.length), row.width);
          break;
        case From::kBlank:
          out.Spaces(row.width);
          break;
        case From::kMarker:
          out.Put(in.At(row.offset) == ' ' ? "1" : "2", row.width);
          break;
        case From::kCodes:
          out.Put(MarkCodes(in.Field(row.offset, row.length)), row.width);
          break;
      }
    }
    out.Put(std::string(1, in.At(kF11FlagAt)), 1).EndRecord();
  }
  out.Close();
}

// ---- F18R0.DAT (575) -> F18R1.DAT (547) ------------------------------------

struct F18Row {
  std::size_t offset;  // in the old record
  std::size_t width;   // in the old record
  std::size_t kept;    // its first characters that the new record keeps
};

// Every field loses the byte behind it, but the code keeps 11 characters and
// the flag byte stays whole.
constexpr std::array<F18Row, 22> kF18Layout{{
    {0, 19, 11},    {19, 41, 40},   {60, 19, 18},   {79, 31, 30},   {110, 16, 15},
    {126, 3, 2},    {129, 19, 18},  {148, 9, 8},    {157, 3, 2},    {160, 13, 12},
    {173, 5, 4},    {178, 41, 40},  {219, 41, 40},  {260, 14, 13},  {274, 3, 2},
    {277, 19, 18},  {296, 41, 40},  {337, 16, 15},  {353, 3, 2},    {356, 19, 18},
    {375, 199, 198}, {574, 1, 1},
}};

void ConvertF18() {
  if (platform::Exists("F18R1.DAT")) return;
  RecordReader in("F18R0.DAT", 575);
  if (!in) return;
  RecordWriter out("F18R1.DAT", RecordWriter::Mode::kCreate);
  if (!out) return;
  // Deleted records are carried over with their flag byte.
  for (std::int64_t i = 0; in.Load(i); ++i) {
    for (const F18Row& row : kF18Layout) out.Put(in.Field(row.offset, row.width), row.kept);
    out.EndRecord();
  }
  out.Close();
}

}  // namespace

void MigrateTo451(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.51");
  platform::CopyFile("Reg02\\F20r2.dat", "Reg02\\F20r2.tmp", /*fail_if_exists=*/true);
  ConvertAccountFiles();
  ConvertF11();
  ConvertF18();
}

}  // namespace steps
