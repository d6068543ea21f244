// Release 5.43 took the payment methods out of F14R0.DAT (records 100 to 199
// go to F03R0.DAT; a table without methods 1 to 99 gets the default ones),
// widened F08R0 to F08R1, moved a field of F13R1, widened the codes of F25R0
// and replaced the country name of F10R4 and F02R1 by a one-character code.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "steps/conv_log.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "store/counters.h"
#include "store/housekeeping.h"
#include "text/cp1252.h"
#include "text/fields.h"

namespace steps {

namespace {

namespace files = store::files;

// F03R0.DAT (455) from the F14R0.DAT records numbered 100 to 199; the comment
// gives the field's offset in the new record.
constexpr std::array kF03R0 = {
    Src(61, 0, 50),     // 0
    Src(22, 148, 167),  // 61
    Src(2, 168, 169),   // 83
    Src(18, 130, 147),  // 85
    Src(2, 175, 176),   // 103
    Src(11, 177, 178),  // 105
    Src(339, 179, 181),  // 116
};
static_assert(RecordLength(kF03R0) == files::kF03R0.length);

// F08R1.DAT (1000) from F08R0.DAT (300); 52-61 is dropped.
constexpr std::array kF08R1 = {
    Src(239, 0, 50),  // 0
    Src(29, 51, 51),  // 239
    Src(732, 62, 79),  // 268
};
static_assert(RecordLength(kF08R1) == files::kF08R1.length);

// A default payment method of F14R0.DAT; method 003 carries three fields of
// the record numbered 800.
enum MethodValue : std::size_t {
  kNumber, kName, kActive, kType, kAt65, kAt70, kAt75, kFlag99, kFlag168, kFlag170, kFlag172,
};
constexpr Row kMethod[] = {
    Value(11, kNumber), Value(40, kName),    Value(2, kActive),   Value(12, kType),
    Value(5, kAt65),    Value(5, kAt70),     Value(24, kAt75),    Value(69, kFlag99),
    Value(2, kFlag168), Value(2, kFlag170),  Value(139, kFlag172),
};
static_assert(RecordLength(kMethod) == files::kF14R0.length);

// The default payment methods of F14R0.DAT, in the order written.
struct PaymentMethod {
  std::string_view number;
  std::string_view name;
  std::string_view active;  // at 51
  std::string_view type;
  std::string_view flag99, flag168, flag170, flag172;
};
constexpr auto kDeposit = CP1252("DEPÓSITO");
constexpr auto kCard = CP1252("CARTÃO");
constexpr std::array<PaymentMethod, 7> kDefaultMethods = {{
    {"001", "DINHEIRO", "10", "01", "0", "1", "1", "0"},
    {"002", "CHEQUE", "10", "02", "1", "1", "1", "0"},
    {"003", "BOLETA", "10", "03", "1", "1", "1", "0"},
    {"005", kDeposit, "10", "05", "1", "1", "1", "0"},
    {"006", kCard, "10", "06", "1", "1", "1", "0"},
    {"007", "DINHEIRO", "00", "01", "0", "1", "1", "0"},
    {"008", "CHEQUE", "00", "02", "1", "1", "1", "0"},
}};
constexpr long kLastDefaultMethod = 8;
// Method 003 carries these fields of the record numbered 800.
constexpr std::string_view kBoletaNumber = "003";

struct Record800 {
  std::string at65, at70, at75;
};

bool WriteDefaultMethods(const Record800& r800) {
  RecordWriter out(files::kF14R0.name, RecordWriter::Mode::kCreate);
  if (!out) return false;
  for (const PaymentMethod& m : kDefaultMethods) {
    const bool boleta = m.number == kBoletaNumber;
    const std::string_view values[] = {
        m.number, m.name, m.active, m.type,
        boleta ? std::string_view(r800.at65) : "", boleta ? std::string_view(r800.at70) : "",
        boleta ? std::string_view(r800.at75) : "", m.flag99, m.flag168, m.flag170, m.flag172,
    };
    PutValues(out, kMethod, values);
  }
  return out.Close();
}

void SplitPaymentMethods() {
  if (store::Exists(files::kF03R0.name)) return;
  bool has_methods = false;
  Record800 r800;
  {
    RecordReader in(files::kF14R0);
    if (in) {
      RecordWriter f03(files::kF03R0.name, RecordWriter::Mode::kAppend);
      for (std::int64_t i = 0; in.Load(i); ++i) {
        if (in.deleted() || in.bytes().size() <= 65) continue;
        const long n = text::ParseLong(in.Field(0, 65));
        if (n >= 1 && n <= 99) {
          has_methods = true;
        } else if (n >= 100 && n <= 199) {
          if (f03) PutRows(f03, in, kF03R0);
        } else if (n == 800) {
          r800 = {std::string(in.Field(65, 5)), std::string(in.Field(70, 5)), std::string(in.Field(75, 7))};
        }
      }
      // F14R0.DAT is about to be rewritten: its records 100 to 199 must be
      // safe in F03R0.DAT first.
      if (!f03.Close()) return;
    }
  }
  if (has_methods) return;
  // The default methods replace the table: what it held beside the records
  // taken into F03R0.DAT is kept in the temporary folder, not dropped.
  store::MoveToTemp(files::kF14R0.name, kRetiredSubfolder);
  if (!WriteDefaultMethods(r800)) return;
  long methods = 0;
  // A counter that cannot be read is not overwritten with a guess.
  if (!store::ReadCounter("", "14", methods)) return;
  store::StoreCounter("", "3", methods);
  store::StoreCounter("", "14", kLastDefaultMethod);
}

void WriteF08R1() {
  const NewFile done = WriteNewFile(files::kF08R0.name, files::kF08R0.length, files::kF08R1.name, [](const RecordReader& in, RecordWriter& out) {
    PutRows(out, in, kF08R1);
  });
  // The old file goes only once the new one is complete.
  if (done == NewFile::kWritten) store::DeleteFile(files::kF08R0.name);
}

// A two-character field of F13R1.DAT moves within the record.
constexpr store::Field kMovedFrom{512, 2};
constexpr store::Field kMovedTo{613, 2};

void MoveF13R1Field() {
  if (ConvMark("543") != 0) return;
  PatchEach(files::kF13R1, [](RecordPatcher& f13) {
    if (f13.deleted()) return;
    const std::string value = f13.Trimmed(kMovedFrom);
    if (value.empty()) return;
    f13.Set(kMovedFrom, "");
    f13.Set(kMovedTo, value);
  });
}

constexpr store::Field kAccountCode{0, 10};

void WidenF25R0Codes() {
  if (ConvMark("544") != 0) return;
  PatchEach(files::kF25R0, [](RecordPatcher& f25) {
    const std::string code = f25.Trimmed(kAccountCode);
    if (code.size() == 3) f25.Set(kAccountCode.offset, "00" + code);
  });
}

// The recoded field: two spaces, the code, spaces to the end of the field.
bool IsCountryCode(std::string_view trimmed) { return trimmed == "  0" || trimmed == "  3"; }

void RecodeCountry(const store::RecordFile& file) {
  PatchEach(file, [](RecordPatcher& f) {
    if (f.deleted()) return;
    const std::string value = f.Trimmed(store::person::kCountry);
    // This runs on every conversion: a field recoded before stays as it is.
    if (value.size() <= 1 || IsCountryCode(value)) return;
    const char* code = text::EqualNoCase(value, "brasil", 5) ? "0" : "3";
    f.Set(store::person::kCountry, std::string("  ") + code);
  });
}

}  // namespace

void RelayoutPaymentMethods(platform::Ui&) {
  store::MoveFile("C28R0.DAT", files::kF28R0.name);
  SplitPaymentMethods();
  WriteF08R1();
  MoveF13R1Field();
  WidenF25R0Codes();
  RecodeCountry(files::kF10R4);
  RecodeCountry(files::kF02R1);
}

}  // namespace steps
