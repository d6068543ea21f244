// The record reader of the steps and the field reading of the store over a
// file of the input's bytes. The first byte is the record length (0 to 255);
// the rest is the file, DATA.DAT. Its first bytes also give the widths of the
// fields that are read, so that short, long and empty fields all occur.
//
// Records are read whole at record i × L, whatever bytes they hold: every
// record must come back as exactly the bytes at its place, a field of a
// record as the bytes at its offset up to the first line feed, and a key
// taken from a live record must be found there.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stream.h"
#include "store/record_io.h"
#include "store/open.h"
#include "store/records.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/fields.h"

namespace {

using vekfuzz::Check;

constexpr char kName[] = "DATA.DAT";

// What ReadField must give for a field at the byte offset: the bytes there,
// up to and including the first line feed, without trailing spaces.
std::string ExpectedField(std::string_view file, std::int64_t at, std::size_t width) {
  std::string out(file.substr(static_cast<std::size_t>(at), width));
  const std::size_t lf = out.find('\n');
  if (lf != std::string::npos) out.resize(lf + 1);
  return text::TrimRight(out);
}

void ReadRecords(std::string_view file, std::size_t length) {
  store::RecordReader in(kName, length);
  Check(static_cast<bool>(in), "the reader opens an existing file");
  std::int64_t count = 0;
  // Bounded: a reader that never ends is a fault of its own.
  const std::int64_t most = length == 0 ? 0 : static_cast<std::int64_t>(file.size() / length + 1);
  for (std::int64_t i = 0; count <= most && in.Load(i); ++i) {
    ++count;
    const std::size_t at = static_cast<std::size_t>(i) * length;
    Check(at < file.size(), "a record is loaded only where the file has bytes");
    const std::string_view expected = file.substr(at, length);
    Check(in.bytes() == expected, "a record is the bytes at its place");
    Check(in.index() == i, "the loaded record is the one asked for");
    Check(in.deleted() == (expected.size() == length && expected.back() == '+'),
          "a whole record whose last byte is '+' is deleted, and only such a record");
    // Fields at every offset the record has and one past it.
    const std::size_t width = 1 + (expected.empty() ? 0 : static_cast<unsigned char>(expected[0]) % 40);
    for (std::size_t offset = 0; offset <= expected.size(); offset += 7) {
      const std::string_view field = in.Field(offset, width);
      Check(field == (offset < expected.size() ? expected.substr(offset, width) : std::string_view()),
            "a field is the record's bytes at its offset");
      const std::string trimmed = in.Trimmed(offset, width);
      Check(trimmed == text::TrimRight(field), "a trimmed field is the field without its trailing spaces");
      Check(in.At(offset) == (offset < expected.size() ? expected[offset] : ' '),
            "a byte past a short record reads as a space");
    }
  }
  const std::int64_t records =
      length == 0 ? 0 : static_cast<std::int64_t>((file.size() + length - 1) / length);
  Check(count == records, "the reader walks every record of the file, a short last one too");
  // A failed load leaves no record behind.
  Check(!in.Load(records) && in.bytes().empty(), "nothing loads past the end");
  Check(!in.Load(-1), "no record loads before the start");
}

void ReadFields(std::string_view file, long length) {
  // Four widths from the file's first bytes (0 to 47), so that fields cross
  // record ends, are empty, or reach past the file.
  std::array<int, 4> widths{};
  for (std::size_t k = 0; k < widths.size(); ++k) {
    widths[k] = k < file.size() ? static_cast<unsigned char>(file[k]) % 48 : 3;
  }
  const long records = length > 0 ? static_cast<long>(file.size() / static_cast<std::size_t>(length)) + 1 : 1;
  platform::Stream stream = store::OpenForReading(kName);
  Check(static_cast<bool>(stream), "an existing file opens for reading");
  for (long index = 0; index <= records && index < 64; ++index) {
    std::int64_t offset = 0;
    for (int field = 0; field < static_cast<int>(widths.size()); ++field) {
      std::string own;
      std::string shared;
      const int got = store::ReadField(nullptr, kName, length, widths, index, field, own);
      const int got_shared = store::ReadField(&stream, kName, length, widths, index, field, shared);
      Check(got == got_shared && own == shared, "a field reads the same through an open stream");
      const std::size_t width = static_cast<std::size_t>(widths[static_cast<std::size_t>(field)]);
      const std::int64_t at = static_cast<std::int64_t>(index) * length + offset;
      if (got == 0) {
        Check(own.empty(), "a field that cannot be read is empty");
        // A field that lies whole inside its record and the file is readable.
        Check(!(width > 0 && offset + static_cast<std::int64_t>(width) <= length &&
                at + static_cast<std::int64_t>(width) <= static_cast<std::int64_t>(file.size())),
              "a field inside its record and the file can be read");
      } else {
        Check(width == 0 || at < static_cast<std::int64_t>(file.size()), "a field is read only from the file");
        Check(own == (width == 0 ? std::string() : ExpectedField(file, at, width)),
              "a field is its bytes up to the first line feed, trailing spaces cut");
      }
      offset += static_cast<std::int64_t>(width);
    }
    const int deleted = store::IsDeleted(&stream, index, length);
    const std::int64_t flag = static_cast<std::int64_t>(index) * length + length - 1;
    Check(deleted == (length > 0 && flag < static_cast<std::int64_t>(file.size()) &&
                      file[static_cast<std::size_t>(flag)] == store::kDeletedFlag),
          "IsDeleted reads the flag byte");
  }
}

void FindKeys(std::string_view file, long length) {
  if (length <= 0 || file.empty()) return;
  const long offset = static_cast<unsigned char>(file[0]) % static_cast<unsigned long>(length);
  const int width = 1 + static_cast<unsigned char>(file[file.size() / 2]) % 50;
  long index = -2;
  // A key from the first record, looked up again.
  // (The first record may be shorter than the offset: then the key is empty.)
  const std::string key(static_cast<std::size_t>(offset) < file.size()
                            ? file.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(width))
                            : std::string_view());
  const int found = store::FindKey(kName, length, key, offset, width, index);
  Check(found == (index >= 0 ? 1 : 0) && (found == 1 || index == -1), "FindKey gives 1 and an index or 0 and -1");
  if (found) {
    const std::int64_t flag = static_cast<std::int64_t>(index) * length + length - 1;
    Check(flag >= static_cast<std::int64_t>(file.size()) || file[static_cast<std::size_t>(flag)] != '+',
          "FindKey finds live records only");
  }
  // The key is plain text wholly inside the file, and its record is live: it
  // must be found, in the first record.
  const bool plain = std::all_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
  const bool whole = offset + width <= static_cast<long>(file.size());
  const bool live = static_cast<std::size_t>(length) > file.size() || file[static_cast<std::size_t>(length - 1)] != '+';
  if (plain && whole && live && text::HasText(key)) {
    Check(found == 1 && index == 0, "a key of the first, live record is found there");
  }
  // The same key in other letter case is the same key.
  std::string upper = key;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  long index_upper = -2;
  const int found_upper = store::FindKey(kName, length, upper, offset, width, index_upper);
  if (plain) Check(found_upper == found && index_upper == index, "keys are found without regard to case");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t length = data[0];
  const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
  vekfuzz::Scratch box;
  box.Write(kName, file);
  vekfuzz::RunGuarded("record reading", [&] {
    ReadRecords(file, length);
    ReadFields(file, static_cast<long>(length));
    FindKeys(file, static_cast<long>(length));
    // The name in other letter case is the same file.
    store::RecordReader lower("data.dat", length);
    Check(static_cast<bool>(lower), "a file is found without regard to the case of its name");
  });
  return 0;
}
