// Release 5.59: check-digit codes and a rearranged block in F09R0.DAT, note
// records linked to their main records, the F15 and F18 tables re-laid out,
// and the variable-length texts of F90.DAT turned into F40.DAT records.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/stream.h"
#include "steps/code_format.h"
#include "steps/conv_log.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "store/housekeeping.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {

namespace {

constexpr char kLogId[] = "559";

// ---- F09R0.DAT --------------------------------------------------------

constexpr std::size_t kCode13At = 354;
constexpr std::size_t kCode13ReadWidth = 19;
constexpr std::size_t kCode13Width = 18;
constexpr std::size_t kBlockAt = store::f09r0::kBlock.offset;
// Text here means the block has its new arrangement already.
constexpr std::size_t kRearrangedAt = 656;
constexpr std::size_t kRearrangedWidth = 44;
constexpr std::size_t kBlankAt = 154;
constexpr std::size_t kBlankWidth = 7;

// The block from byte 613 on, field by field in its new order: where each
// field comes from in the old block.
struct BlockField {
  std::size_t width;
  std::size_t from;
  std::size_t from_width;
  bool code8;  // an 8-digit check-digit code, formatted on the way
};
constexpr std::array<BlockField, 5> kBlock = {{
    {27, 637, 11, false},
    {1, 613, 1, false},
    {18, 614, 12, false},
    {9, 626, 11, true},
    {32, 648, 8, false},
}};

// Writes only where the record has bytes: a last record cut short is not
// patched behind its end.
bool Reaches(const RecordPatcher& p, std::size_t offset) { return p.bytes().size() > offset; }

void FormatCodesAndBlock() {
  RecordPatcher f09(store::files::kF09R0);
  if (!f09) return;
  for (std::int64_t i = 0; f09.Load(i); ++i) {
    std::string code = f09.Trimmed(kCode13At, kCode13ReadWidth);
    if (!code.empty() && FormatMod11Code13(code)) f09.Set(kCode13At, code, kCode13Width);
  }
  // The block is rearranged once only: a later run must not move it again.
  bool rearranged = false;
  for (std::int64_t i = 0; !rearranged && f09.Load(i); ++i) {
    rearranged = !f09.Trimmed(kRearrangedAt, kRearrangedWidth).empty();
  }
  if (rearranged) {
    f09.Close();
    return;
  }
  for (std::int64_t i = 0; f09.Load(i); ++i) {
    if (Reaches(f09, kBlockAt)) {
      std::array<std::string, kBlock.size()> values;
      for (std::size_t k = 0; k < kBlock.size(); ++k) {
        values[k] = std::string(f09.Field(kBlock[k].from, kBlock[k].from_width));
        if (kBlock[k].code8) FormatMod11Code8(values[k]);
      }
      std::size_t at = kBlockAt;
      for (std::size_t k = 0; k < kBlock.size(); ++k) {
        f09.Set(at, values[k], kBlock[k].width);
        at += kBlock[k].width;
      }
    }
    if (Reaches(f09, kBlankAt)) f09.Set(kBlankAt, "", kBlankWidth);
  }
  f09.Close();
}

// ---- F28R0.DAT --------------------------------------------------------

constexpr std::size_t kF28From = 544;
constexpr std::size_t kF28To = 572;

void CopyF28Byte() {
  PatchEach(store::files::kF28R0, [](RecordPatcher& f28) {
    if (Reaches(f28, kF28To)) f28.Set(kF28To, std::string(1, f28.At(kF28From)), 1);
  });
}

// ---- R33\L33*.DAT: note records -----------------------------------------

constexpr char kNotesFolder[] = "R33";
constexpr std::size_t kNotesLength = store::files::kR33.length;
constexpr std::size_t kNoteTextAt = 1;
constexpr std::size_t kNoteTextWidth = 100;
constexpr std::size_t kLinkAt = 151;
constexpr std::size_t kLinkWidth = 10;
constexpr std::size_t kLinkedNoteWidth = 151;  // "B", the main record's index, the text

// A note record ("A") follows its main record; each gets the other's index.
void LinkNotes(const std::string& path) {
  RecordPatcher notes(path, kNotesLength);
  if (!notes) return;
  for (std::int64_t i = 1; notes.Load(i); ++i) {
    if (notes.At(0) != 'A' || notes.deleted()) continue;
    const std::string text(notes.Field(kNoteTextAt, kNoteTextWidth));
    if (!notes.Load(i - 1)) break;
    notes.Set(kLinkAt, text::FormatInteger(static_cast<long long>(i)), kLinkWidth);
    if (!notes.Load(i)) break;
    notes.Set(0, Format("B%-10lld", static_cast<long long>(i - 1)) + text, kLinkedNoteWidth);
  }
  notes.Close();
}

void LinkAllNotes() {
  const std::string folder = std::string(kNotesFolder) + "\\";
  for (const platform::FindEntry& entry : store::FindDataFiles(folder + "L33*.DAT")) LinkNotes(folder + entry.name);
}

// ---- F15R1.DAT and F18R2.DAT: re-laid-out tables ------------------------

// F15R1.DAT (900) from F15R0.DAT (300); the comment gives the new offset.
enum { kKindCode };
constexpr std::array kF15R1 = {
    Src(20, 0, 18),          // 0
    Src(81, 19, 58),         // 20
    Src(148, 80, 85),        // 101
    Value(233, kKindCode),   // 249: "0" for a source "1", "2" for "2", else blank
    Src(93, 60, 79),         // 482
    Src(5, 92, 96),          // 575
    Src(67, 98, 103),        // 580
    Src(4, 59, 59),          // 647
    Src(249, 89, 91),        // 651
};
static_assert(RecordLength(kF15R1) == store::files::kF15R1.length);
constexpr std::size_t kKindAt = 86;

// F18R2.DAT (810) from F18R1.DAT (547).
constexpr std::array kF18R2 = {
    Src(51, 0, 50),      // 0
    Src(40, 200, 239),   // 51
    Src(109, 69, 98),    // 91
    Src(30, 99, 113),    // 200
    Src(20, 114, 115),   // 230
    Src(18, 51, 68),     // 250
    Src(86, 116, 133),   // 268
    Src(18, 255, 272),   // 354
    Src(60, 273, 312),   // 372
    Src(60, 313, 327),   // 432
    Src(15, 134, 141),   // 492
    Src(2, 142, 143),    // 507
    Src(3, 328, 329),    // 509
    Src(101, 160, 199),  // 512
    Src(18, 330, 347),   // 613
    Src(16, 144, 159),   // 631
    Src(15, 240, 254),   // 647
    Blank(148),          // 662
};
static_assert(RecordLength(kF18R2) == store::files::kF18R2.length);

struct Table {
  store::RecordFile old_file;
  std::string_view new_name;
  std::span<const Row> rows;
};

const Table kF15 = {store::files::kF15R0, store::files::kF15R1.name, kF15R1};
const Table kF18 = {store::files::kF18R1, store::files::kF18R2.name, kF18R2};

std::string KindCode(char kind) {
  if (kind == '1') return "0";
  if (kind == '2') return "2";
  return {};
}

// The old table goes to the temporary folder once the new one stands; an old
// table that cannot be read goes there too, as nothing can be made of it.
void RelayoutTable(const Table& t) {
  auto convert = [&t](const RecordReader& in, RecordWriter& out) {
    const std::string values[] = {KindCode(in.At(kKindAt))};
    PutRows(out, in, t.rows, values);
  };
  WriteNewFile(t.old_file.name, t.old_file.length, t.new_name, convert);
  store::MoveToTemp(t.old_file.name, kRetiredSubfolder);
}

// ---- F90.DAT -> F40.DAT -------------------------------------------------

constexpr char kTextsFile[] = "F90.DAT";
constexpr std::string_view kTextRecordsFile = store::files::kF40.name;
constexpr std::size_t kEntryHeader = 16;
constexpr std::size_t kEntryKeyAt = 1;
constexpr std::size_t kEntryKeyWidth = 10;
constexpr std::size_t kEntryLengthAt = 11;
constexpr std::size_t kEntryLengthWidth = 5;
constexpr long kLongestText = 300;

enum TextValue : std::size_t { kKey, kLength, kText };
constexpr Row kTextRecord[] = {
    Text(3, "100"),   Blank(10),         Text(3, "110"), Value(10, kKey), Value(6, kLength),
    Value(4, kLength), Text(3, "0"),     Text(1, "1"),   Value(460, kText),
};
static_assert(RecordLength(kTextRecord) == store::files::kF40.length);

void FailOnReadError(const platform::Stream& in) {
  if (in.error().kind != platform::ErrorKind::kNone) store::Fail(store::FileError::Action::kRead, kTextsFile, in.error());
}

// F90.DAT is a chain of entries: a 16-byte header (kind, key, text length)
// and the text. Kind "1" entries become F40.DAT records.
void WriteTextRecords(platform::Stream& in, RecordWriter& out) {
  for (std::int64_t at = 0;;) {
    std::string header(kEntryHeader, '\0');
    if (!in.Seek(at)) break;
    header.resize(in.ReadRaw(header.data(), header.size()));
    FailOnReadError(in);
    if (header.size() < kEntryHeader) break;
    // A negative length would lead the walk backwards or hold it in place.
    const long n = std::max(0L, text::ParseLong(header.substr(kEntryLengthAt, kEntryLengthWidth)));
    const long m = std::min(n, kLongestText);
    if (header[0] == '1') {
      // The text is taken whole, line breaks included: F90.DAT goes away
      // afterwards, so a text cut at its first line would be lost.
      std::string body(static_cast<std::size_t>(m), '\0');
      body.resize(in.ReadRaw(body.data(), body.size()));
      FailOnReadError(in);
      if (m == 0 || !body.empty()) {
        const std::string length = Format("%ld", m);
        const std::string_view values[] = {std::string_view(header).substr(kEntryKeyAt, kEntryKeyWidth), length, body};
        PutValues(out, kTextRecord, values);
      }
    }
    at += n + static_cast<std::int64_t>(kEntryHeader);
  }
}

void ConvertTexts() {
  if (store::Exists(kTextRecordsFile)) return;
  platform::Stream in = store::OpenExisting(kTextsFile, "rb");
  RecordWriter out(kTextRecordsFile, RecordWriter::Mode::kAppend);
  if (in) WriteTextRecords(in, out);
  const bool had_texts = static_cast<bool>(in);
  static_cast<void>(in.Close());
  out.Close();
  if (had_texts) store::DeleteDataFile(kTextsFile);
}

}  // namespace

void FormatCodesAndLinkNotes(platform::Ui&) {
  if (!ConvDone(kLogId)) {
    FormatCodesAndBlock();
    CopyF28Byte();
    LinkAllNotes();
    ConvMark(kLogId);
  }
  RelayoutTable(kF15);
  RelayoutTable(kF18);
  store::DeleteDataFile("C04.DAT");
  store::DeleteDataFile("C04B.DAT");
  ConvertTexts();
}

}  // namespace steps
