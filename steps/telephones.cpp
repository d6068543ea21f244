// Telephones: the first telephone field of the five main record files shrinks
// from 41 to 37 characters and the second one is given up. Nothing is lost on
// the way: whatever no longer fits, and every second number, becomes a line of
// FTEL1.DAT, and a short second number is also appended to the first field.
// FTEL1.DAT is the mark that this has been done.
//
// The check-digit code formatters live here too; the next release step uses
// them on its own codes.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/stream.h"
#include "steps/code_format.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "store/housekeeping.h"
#include "store/open.h"
#include "text/fields.h"

namespace steps {

namespace {

namespace files = store::files;
namespace person = store::person;

struct PhoneFile {
  store::RecordFile file;
  int number;  // written into FTEL1.DAT
};

// In this order.
constexpr std::array<PhoneFile, 5> kPhoneFiles = {{
    {files::kF00R0, 0},
    {files::kF01R0, 1},
    {files::kF02R1, 2},
    {files::kF09R0, 9},
    {files::kF10R4, 10},
}};

constexpr std::string_view kPhoneList = files::kPhoneList.name;

constexpr std::size_t kKeyWidth = 10;
constexpr store::Field kFirst = person::kFirstPhone;
constexpr std::size_t kFirstWidth = 37;  // what the first number keeps of its field
// Only this much of the second number is read, and blanked.
constexpr store::Field kSecond{person::kSecondPhone.offset, 23};
constexpr std::string_view kSeparator = " / ";

constexpr int kOverflowLine = 1;
constexpr int kSecondNumberLine = 2;

// C04.DAT of exactly this size is the old form that C04B.DAT replaces.
constexpr char kOldC04[] = "C04.DAT";
constexpr char kNewC04[] = "C04B.DAT";
constexpr std::int64_t kOldC04Size = 833;

// One 40-byte line of FTEL1.DAT.
std::string PhoneLine(int file_number, int type, bool appended, std::string_view key,
                      std::string_view number) {
  return Format("%02d%02d%d%-10s%-23s\r\n", file_number, type, appended ? 1 : 0,
             std::string(key).c_str(), std::string(number).c_str());
}

void FailOnWriteError(const platform::Stream& list) {
  store::Fail(store::FileError::Action::kWrite, kPhoneList, list.error());
}

void MigrateFile(const PhoneFile& file, platform::Stream& list) {
  RecordPatcher records(file.file);
  if (!records) return;
  // The record gives text up only once the list holds it: the list is flushed
  // before every write of changed records.
  records.BeforeStore([&list] {
    if (!list.Flush()) FailOnWriteError(list);
    return true;
  });
  for (std::int64_t i = 0; records.Load(i); ++i) {
    const std::string_view key = records.Field(0, kKeyWidth);
    const std::string first = records.Trimmed(kFirst);
    std::string second = records.Trimmed(kSecond);
    // A second number that only repeats the start of the first adds nothing.
    if (text::EqualNoCase(first, second, second.size())) second.clear();

    const bool overflow = first.size() > kFirstWidth;
    const bool append =
        !second.empty() && first.size() + kSeparator.size() + second.size() <= kFirstWidth;
    std::string lines;
    if (overflow) {
      lines += PhoneLine(file.number, kOverflowLine, false, key, std::string_view(first).substr(kFirstWidth));
    }
    if (!second.empty()) lines += PhoneLine(file.number, kSecondNumberLine, append, key, second);
    if (lines.empty()) continue;
    if (!list.Write(lines)) FailOnWriteError(list);

    if (overflow) records.Set(kFirst.offset + kFirstWidth, "", kFirst.width - kFirstWidth);
    if (append) records.Set(kFirst.offset + first.size(), std::string(kSeparator) + second);
    if (!second.empty()) records.Set(kSecond, "");
  }
  records.Close();
}

// Digits of the first 18 characters, or nothing when they are not `count`
// digits whose last is the check digit of the others.
std::string CheckedDigits(const std::string& code, std::size_t count, int max_weight) {
  std::string digits = text::CopyField(code, 0, 18);
  text::KeepDigits(digits, 18);
  if (digits.size() != count) return {};
  std::string body = digits.substr(0, count - 1);
  if (text::Mod11CheckDigit(body, max_weight) != digits.back()) return {};
  return digits;
}

}  // namespace

bool FormatMod11Code8(std::string& code) {
  const std::string d = CheckedDigits(code, 8, 9);
  if (d.empty()) return false;
  code = d.substr(0, 7) + '-' + d[7];
  return true;
}

bool FormatMod11Code13(std::string& code) {
  const std::string d = CheckedDigits(code, 13, 7);
  if (d.empty()) return false;
  code = d.substr(0, 3) + '.' + d.substr(3, 3) + '.' + d.substr(6, 3) + '.' + d.substr(9, 3) + '-' + d[12];
  return true;
}

void MigrateTelephones(platform::Ui&) {
  if (!store::Exists(kPhoneList)) {
    platform::Stream list = store::OpenForAppend(kPhoneList);
    for (const PhoneFile& file : kPhoneFiles) MigrateFile(file, list);
    if (!list.Close()) FailOnWriteError(list);
  }
  if (store::FileSize(kOldC04) == kOldC04Size) store::CopyDataFile(kNewC04, kOldC04, false);
}

}  // namespace steps
