// The cleaning of a yearly history file and the collection of its history:
// REG/RM1990.DAT holds the input's bytes, F10r2.dat the same bytes read as
// 897-byte member records (so that the first keys of both meet), and the 3.70
// step runs over them as the conversion runs it.
//
// Whatever the yearly file holds, the step must end or stop on a refused read
// or write; every member record must give one 1501-byte record of F10r3.dat.
// A yearly file that the cleaning rewrites must read back as units it held
// before (the rewrite only sorts units and drops repeated keys, it never cuts
// or joins units), and every key it held must still be there.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stream.h"
#include "steps/steps.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/fields.h"

namespace {

using vekfuzz::Check;

constexpr std::size_t kOldRecord = 897;
constexpr std::size_t kNewRecord = 1501;
constexpr std::size_t kUnit = 30;  // the step reads a yearly file in text units of at most 30
constexpr std::size_t kKey = 18;
constexpr char kYearly[] = "REG\\RM1990.DAT";

// The units of a yearly file as the step reads them.
std::vector<std::string> Units() {
  std::vector<std::string> units;
  platform::Stream in = platform::Stream::Open(kYearly, "rt");
  if (!in) return units;
  std::string unit;
  while (in.ReadText(unit, kUnit)) units.push_back(unit);
  return units;
}

// A unit's key as the step compares keys: 18 characters without regard to case.
std::string Key(std::string_view unit) {
  std::string key(unit.substr(0, kKey));
  for (char& c : key) c = static_cast<char>(text::FoldCase(static_cast<unsigned char>(c)));
  return key;
}

void CheckRewrite(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  std::map<std::string, int> held;
  std::set<std::string> keys;
  for (const std::string& u : before) {
    ++held[u];
    keys.insert(Key(u));
  }
  for (const std::string& u : after) {
    auto it = held.find(u);
    if (it == held.end() || it->second == 0) {
      std::fprintf(stderr, "vekfuzz: unit [%s] of the cleaned file was not a unit of the file\n", u.c_str());
      Check(false, "a cleaned yearly file holds only units of the file");
    }
    --it->second;
    keys.erase(Key(u));
  }
  Check(keys.empty(), "a cleaned yearly file keeps a unit of every key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vekfuzz::Scratch box;
  box.Write("REG/RM1990.DAT", bytes);
  box.Write("F10r2.dat", bytes);
  const std::vector<std::string> before = Units();
  if (!vekfuzz::RunStep("MigrateTo370", steps::MigrateTo370, box.ui)) return 0;

  // An empty member file still gives an (empty) F10r3.dat.
  const std::int64_t records = static_cast<std::int64_t>((size + kOldRecord - 1) / kOldRecord);
  Check(box.Size("F10r3.dat") == records * static_cast<std::int64_t>(kNewRecord),
        "every member record gives one record of F10r3.dat");
  bool missing = false;
  const std::string now = box.Read("REG/RM1990.DAT", &missing);
  Check(!missing, "the yearly file stays");
  if (now == bytes) return 0;
  CheckRewrite(before, Units());
  return 0;
}
