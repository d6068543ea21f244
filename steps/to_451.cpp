// Release 4.51: the account files of REG02 become line files in R50,
// F11R2.DAT becomes F11R3.DAT and F18R0.DAT becomes F18R1.DAT. Every stage is
// guarded by the absence of the file it creates; the old files stay in place.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {
namespace {

// ---- REG02\A*.DAT -> R50 ---------------------------------------------------

namespace files = store::files;

constexpr std::size_t kGroupsAt = 137;  // twelve groups of 30 bytes
constexpr int kGroups = 12;

std::string Amount(std::string_view text) { return text::FormatFixed2(text::ParseDecimal(text)); }

long ClassCode(std::string_view class_number) {
  long n = text::ParseLong(class_number);
  return n <= 2 ? 1 : n == 3 ? 2 : 9;
}

// One account record gives a "01" line, a "20" line per group whose number is
// not negative, and an "80" line with the total.
enum HeadValue : std::size_t { kOrigin, kAccount, kClass };
constexpr Row kHeadLine[] = {
    Text(2, "01"),   Value(1, kOrigin),  Text(9, "04"),      Value(26, kAccount), Src(20, 7, 17),
    Src(22, 21, 39), Blank(4),           Value(11, kClass),  Src(135, 40, 58),
};
enum GroupValue : std::size_t { kGroupNumber, kFirstAmount, kSecondAmount };
constexpr Row kGroupLine[] = {
    Text(2, "20"), Value(39, kGroupNumber), Value(16, kFirstAmount), Value(173, kSecondAmount),
};
constexpr Row kTotalLine[] = {Text(2, "80"), Value(228, 0)};
static_assert(RecordLength(kHeadLine) == files::kR50.length && RecordLength(kGroupLine) == files::kR50.length &&
              RecordLength(kTotalLine) == files::kR50.length);

void WriteAccountLines(const RecordReader& in, RecordWriter& out) {
  const std::string account = text::FormatInteger(text::ParseLong(in.Field(0, 7)));
  const std::string klass = text::FormatInteger(ClassCode(in.Field(19, 2)));
  const std::string_view head[] = {in.At(18) == 'E' ? "0" : "1", account, klass};
  PutRows(out, in, kHeadLine, head);
  for (int k = 0; k < kGroups; ++k) {
    const std::size_t at = kGroupsAt + 30 * static_cast<std::size_t>(k);
    std::string_view number = in.Field(at, 2);
    if (text::ParseLong(number) < 0) continue;
    const std::string first = Amount(in.Field(at + 2, 14));
    const std::string second = Amount(in.Field(at + 16, 14));
    const std::string_view group[] = {number, first, second};
    PutValues(out, kGroupLine, group);
  }
  const std::string total = Amount(in.Field(59, 14));
  const std::string_view values[] = {total};
  PutValues(out, kTotalLine, values);
}

void ConvertAccountFiles() {
  for (const platform::FindEntry& found : store::FindDataFiles(files::kReg02.name)) {
    const std::string target = "R50\\" + found.name.substr(1);
    if (store::Exists(target)) continue;
    RecordReader in("REG02\\" + found.name, files::kReg02.length);
    if (!in) continue;
    // Installations from before 4.51 have no R50 folder; without it nothing
    // could be converted.
    if (!store::IsFolder("R50")) store::CreateFolder("R50");
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

enum F11Value : std::size_t { kBlankMarker, kMarkCodes };

// The new record in new-offset order; the comment names the old field (each
// old field is its text and one byte that is not carried).
constexpr Row kF11Layout[] = {
    Src(19, 0, 17),        // 0
    Src(40, 19, 58),       // 1
    Src(40, 60, 99),       // 2
    Src(40, 101, 140),     // 3
    Src(30, 142, 171),     // 4
    Src(9, 173, 181),      // 5
    Src(30, 183, 212),     // 6
    Src(2, 214, 215),      // 7
    Src(10, 217, 226),     // 8
    Src(18, 228, 245),     // 9
    Src(18, 247, 264),     // 10
    Src(8, 266, 273),      // 11
    Src(20, 275, 294),     // 12, first 20 characters
    Blank(4),              // 13 is dropped
    Src(30, 347, 376),     // 14
    Blank(20),             // 15 is dropped
    Src(10, 409, 418),     // 16
    Src(10, 420, 429),     // 17
    Src(10, 431, 440),     // 18
    Src(11, 487, 497),     // 20
    Value(1, kBlankMarker),  // 21 blank or not
    Src(10, 499, 508),     // 21
    Src(10, 510, 519),     // 22 .. 28, first 10 characters each
    Src(10, 526, 535),     //
    Src(10, 542, 551),     //
    Src(10, 558, 567),     //
    Src(10, 574, 583),     //
    Src(10, 590, 599),     //
    Src(10, 606, 615),     //
    Src(10, 804, 813),     // 34, first 10 characters
    Src(30, 825, 854),     // 35, first 30 characters
    Src(80, 1038, 1117),   // 38, first 80 characters
    Src(4, 1129, 1132),    // 39, first 4 characters
    Value(11, kMarkCodes),   // 48
    Blank(404),
    Src(1, 1580, 1580),    // the flag byte
};
static_assert(RecordLength(kF11Layout) == files::kF11R3.length);
constexpr std::size_t kField48 = 1508;

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
  static constexpr std::string_view kClass[] = {"01", "02", "03", "04", "05", "99"};
  std::string out;
  int k = first_set(0, 6);
  out += k < 0 ? std::string_view("  ") : kClass[k];
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
  std::string values[2];
  WriteNewFile(
      files::kF11R2.name, files::kF11R2.length, files::kF11R3.name,
      [&values](const RecordReader& in, RecordWriter& out) {
        values[kBlankMarker].assign(1, in.At(499) == ' ' ? '1' : '2');
        values[kMarkCodes] = MarkCodes(in.Field(kField48, 72));
        PutRows(out, in, kF11Layout, values);
      },
      Carry::kAll);
}

// ---- F18R0.DAT (575) -> F18R1.DAT (547) ------------------------------------

// Every field loses the byte behind it, but the code keeps only 11 characters
// and the flag byte stays whole.
constexpr Row kF18Layout[] = {
    Src(11, 0, 10),      // 0/19
    Src(40, 19, 58),     // 19/41
    Src(18, 60, 77),     // 60/19
    Src(30, 79, 108),    // 79/31
    Src(15, 110, 124),   // 110/16
    Src(2, 126, 127),    // 126/3
    Src(18, 129, 146),   // 129/19
    Src(8, 148, 155),    // 148/9
    Src(2, 157, 158),    // 157/3
    Src(12, 160, 171),   // 160/13
    Src(4, 173, 176),    // 173/5
    Src(40, 178, 217),   // 178/41
    Src(40, 219, 258),   // 219/41
    Src(13, 260, 272),   // 260/14
    Src(2, 274, 275),    // 274/3
    Src(18, 277, 294),   // 277/19
    Src(40, 296, 335),   // 296/41
    Src(15, 337, 351),   // 337/16
    Src(2, 353, 354),    // 353/3
    Src(18, 356, 373),   // 356/19
    Src(198, 375, 572),  // 375/199
    Src(1, 574, 574),    // the flag byte
};
static_assert(RecordLength(kF18Layout) == files::kF18R1.length);

void ConvertF18() {
  WriteNewFile(
      files::kF18R0.name, files::kF18R0.length, files::kF18R1.name,
      [](const RecordReader& in, RecordWriter& out) { PutRows(out, in, kF18Layout); }, Carry::kAll);
}

}  // namespace

void MigrateTo451(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.51");
  store::CopyFile("Reg02\\F20r2.dat", "Reg02\\F20r2.tmp", /*fail_if_exists=*/true);
  ConvertAccountFiles();
  ConvertF11();
  ConvertF18();
}

}  // namespace steps
