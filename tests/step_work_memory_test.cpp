// The steps whose work can outgrow memory (3.70's sort and history, 4.69's
// grids) give the same bytes whatever the work memory: here a folder is
// converted with the default memory and again with a few kilobytes, which
// sends the work through runs and parts on the disk.
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/scratch.h"
#include "platform/ui.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;
using Files = std::map<std::string, std::string>;

// Every file under the data folder, by its path there.
Files ReadAll(const vektest::Sandbox& box) {
  Files out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(box.data)) {
    if (e.is_regular_file()) out[std::filesystem::relative(e.path(), box.data).generic_string()] = box.Read(e.path());
  }
  return out;
}

// Writes the files into a fresh installation, runs the step there with the
// work memory given (none: the default), and gives back the data folder.
template <class Step>
Files Convert(const Files& input, std::optional<std::size_t> work_memory, Step step) {
  vektest::Sandbox box;
  vektest::RecordingUi ui;
  platform::SetActiveUi(&ui);
  for (const auto& [name, bytes] : input) box.Write(name, bytes);
  platform::SetWorkMemory(work_memory);
  step(ui);
  platform::SetWorkMemory(std::nullopt);
  platform::SetActiveUi(nullptr);
  // Nothing of the work stays in the temporary folder.
  EXPECT_TRUE(std::filesystem::is_empty(box.temp));
  return ReadAll(box);
}

template <class Step>
void ExpectSameBytesInLittleMemory(const Files& input, Step step) {
  const Files whole = Convert(input, std::nullopt, step);
  for (std::size_t kb : {1, 3, 16}) {
    const Files parts = Convert(input, kb * 1024, step);
    ASSERT_EQ(whole.size(), parts.size()) << kb << " KB";
    for (const auto& [name, bytes] : whole) {
      ASSERT_TRUE(parts.count(name)) << name << ", " << kb << " KB";
      EXPECT_TRUE(parts.at(name) == bytes) << name << " differs with " << kb << " KB";
    }
  }
}

// Keys that fold together (letter case, accented capitals), that differ only
// in the 18th character, that are shorter than a key, or that hold a line
// feed: the cases where the order of the list decides the bytes.
std::string RandomKey(std::mt19937& rng) {
  static const char* const stems[] = {"ALVES", "alves", "Alves", "\xC9RICA", "\xE9rica", "BRAGA", "braga", "CUNHA",
                                      "DIAS",  "dias",  "EVA",   "Z",       "",       "MOTA"};
  std::string key = stems[rng() % (sizeof stems / sizeof *stems)];
  key += std::to_string(rng() % 6);
  switch (rng() % 8) {
    case 0: return key;                              // short: ends the unit
    case 1: return Pad(key, 17) + static_cast<char>('A' + rng() % 3);  // 18th character set
    default: return Pad(key, 18);
  }
}

std::string RandomTail(std::mt19937& rng) {
  std::string t;
  for (std::size_t n = rng() % 13; n > 0; --n) t += static_cast<char>('a' + rng() % 26);
  return t;
}

// A yearly file: lines of a key and a tail (some with a key alone, as a
// short line), or units of 30 characters without line ends; now and then a
// short last unit.
std::string YearlyFile(std::mt19937& rng, std::size_t units) {
  const bool lines = rng() % 4 != 0;
  std::string out;
  for (std::size_t k = 0; k < units; ++k) {
    std::string key = RandomKey(rng);
    if (lines) {
      out += (key.size() < 18 ? key : key + RandomTail(rng)) + "\r\n";
    } else {
      out += Pad(Pad(key, 18) + RandomTail(rng), 30);
    }
  }
  if (rng() % 5 == 0) out += Pad(RandomKey(rng), 18).substr(0, 10 + rng() % 8);
  return out;
}

TEST(WorkMemoryTest, HistoryAndCleaningGiveTheSameBytesInParts) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    Files input;
    // Keys in most years, so that some histories reach their 604 characters.
    for (int year = 1960; year <= 2010; year += 1 + static_cast<int>(rng() % 3)) {
      input["REG/RM" + std::to_string(year) + ".DAT"] = YearlyFile(rng, 20 + rng() % 200);
    }
    std::string members;
    for (int k = 0; k < 300; ++k) members += Pad(RandomKey(rng), 18) + Pad("member", 878) + (k % 7 ? ' ' : '+');
    members += Pad(RandomKey(rng), 18) + "cut short";
    input["F10r2.dat"] = members;
    ExpectSameBytesInLittleMemory(input, [](platform::Ui& ui) { steps::MigrateTo370(ui); });
  }
}

// An F10R4.DAT record (1000 bytes): code, period and value at 826 and 828,
// start date at 844, the flag last.
std::string Member(std::string_view code, std::string_view period, std::string_view value, char flag) {
  std::string r = Pad(code, 502) + Fill(324, '.');
  r += Fields({{period, 2}, {value, 16}, {"10/04/2003", 10}});
  r += Fill(999 - r.size(), '_');
  return r + flag;
}

// An F22.DAT entry (113 bytes).
std::string Entry(std::string_view code, std::string_view date, std::string_view period, char flag) {
  return Fields({{code, 10}, {"7", 10}, {date, 10}, {"50.00", 14}, {period, 68}}) + flag;
}

TEST(WorkMemoryTest, MonthGridsGiveTheSameBytesInParts) {
  static const char* const codes[] = {"A1", "a1", "B2", "b2", "\xC9" "3", "\xE9" "3", "C4", "D5", "E6", "F7", "0000000001"};
  static const char* const periods[] = {"1", "2", "3", "6", "12", "0", "x"};
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    auto code = [&] { return std::string(codes[rng() % (sizeof codes / sizeof *codes)]) + std::to_string(rng() % 40); };
    Files input;
    std::string members;
    for (int k = 0; k < 400; ++k) {
      members += Member(code(), periods[rng() % 7], std::to_string(rng() % 5 * 10) + ".00", k % 9 ? ' ' : '+');
    }
    input["F10R4.DAT"] = members;
    std::string entries;
    for (int k = 0; k < 1500; ++k) {
      const std::string date = (rng() % 20 ? "01/" : "31/") + std::to_string(1 + rng() % 13) + "/" +
                               std::to_string(1985 + rng() % 26);
      entries += Entry(code(), Pad(date, 10), periods[rng() % 7], k % 11 ? ' ' : '+');
    }
    input["F22.DAT"] = entries;
    ExpectSameBytesInLittleMemory(input, [](platform::Ui& ui) {
      platform::SetToday(platform::Date{2011, 3, 1});
      steps::MigrateTo469(ui);
    });
  }
}

TEST(WorkMemoryTest, WorkThatCannotGoToTheDiskStopsTheStep) {
  vektest::Sandbox box;
  vektest::RecordingUi ui;
  platform::SetActiveUi(&ui);
  std::mt19937 rng(3);
  const std::string yearly = YearlyFile(rng, 400);
  box.Write("REG/RM1990.DAT", yearly);
  box.Write("F10r2.dat", Pad("ALVES1", 18) + Pad("member", 879));
  std::filesystem::remove_all(box.temp);
  platform::SetWorkMemory(1024);
  EXPECT_THROW(steps::MigrateTo370(ui), store::FileError);
  platform::SetWorkMemory(std::nullopt);
  platform::SetActiveUi(nullptr);
  EXPECT_EQ(box.Read("REG/RM1990.DAT"), yearly);
  EXPECT_FALSE(box.Exists("F10r3.dat"));
}

}  // namespace
