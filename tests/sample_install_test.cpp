// The sample installation generator: old tables of whole records, consistent
// with each other, cp1252 text, and the same bytes for the same seed.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "sample/install.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;

class SampleInstallTest : public vektest::SandboxTest {
 protected:
  fs::path Make(const std::string& name, std::int64_t members, std::uint64_t seed) {
    fs::path root = box.root / name;
    sample::SampleOptions o;
    o.members = members;
    o.seed = seed;
    std::string error;
    EXPECT_TRUE(sample::MakeSampleInstallation(root.string(), o, &error)) << error;
    return root;
  }

  // Every file under the folder, by path relative to it.
  std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      if (e.is_regular_file()) out[fs::relative(e.path(), root).generic_string()] = box.Read(e.path());
    }
    return out;
  }

  std::vector<std::string> Records(const std::string& bytes, std::size_t length) {
    std::vector<std::string> out;
    for (std::size_t p = 0; p + length <= bytes.size(); p += length) out.push_back(bytes.substr(p, length));
    return out;
  }
};

bool IsDate(const std::string& s) {
  if (s.size() < 10 || s[2] != '/' || s[5] != '/') return false;
  for (int k : {0, 1, 3, 4, 6, 7, 8, 9}) {
    if (s[static_cast<std::size_t>(k)] < '0' || s[static_cast<std::size_t>(k)] > '9') return false;
  }
  int day = std::stoi(s.substr(0, 2));
  int month = std::stoi(s.substr(3, 2));
  return day >= 1 && day <= 31 && month >= 1 && month <= 12;
}

TEST_F(SampleInstallTest, EveryOldTableHoldsWholeConsistentRecords) {
  fs::path root = Make("inst", 50, 7);
  std::map<std::string, std::string> files = Tree(root);

  const std::map<std::string, std::size_t> tables = {
      {"Zelk/Vek/F10r2.dat", 897},    {"Zelk/Vek/f13.dat", 478},   {"Zelk/Vek/f14.dat", 479},
      {"Zelk/Vek/f15.dat", 538},      {"Zelk/Vek/Conf10.dat", 285}, {"Zelk/Vek/Conf11.dat", 337},
      {"Zelk/Vek/Config22.dat", 46},  {"Zelk/Vek/F11R2.DAT", 1581}, {"Zelk/Vek/F17.DAT", 896},
      {"Zelk/Vek/CONF14.DAT", 40},    {"Zelk/Vek/F27.DAT", 1000},  {"Zelk/Vek/F08R0.DAT", 300},
      {"Zelk/Vek/C28R0.DAT", 1000},   {"Zelk/Vek/F25R0.DAT", 557}, {"Zelk/Vek/CONFIGA.DAT", 165},
      {"Zelk/Vek/F15R0.DAT", 300},    {"Zelk/Vek/F26R0.DAT", 1000}, {"Zelk/Vek/F00R0.DAT", 1000},
      {"Zelk/Vek/C04.DAT", 833},      {"Zelk/Vek/REG02/F20r2.dat", 200}, {"Zelk/Vek/R01/NOTAS.DAT", 260},
      {"Glebrium/Conf10.dat", 285}};
  for (const auto& [path, length] : tables) {
    ASSERT_TRUE(files.count(path)) << path;
    EXPECT_FALSE(files[path].empty()) << path;
    EXPECT_EQ(files[path].size() % length, 0u) << path;
  }
  EXPECT_EQ(files["Zelk/Vek/F10r2.dat"].size(), 50u * 897);
  EXPECT_EQ(files["Zelk/Vek/Config22.dat"].size(), 40u * 46);
  EXPECT_EQ(files["Zelk/Vek/Conf10.dat"].size(), 285u);

  // Folders of tables: every *.DAT file of whole records.
  const std::map<std::string, std::size_t> folders = {
      {"Zelk/Vek/REG/", 30}, {"Zelk/Vek/REG01/", 79}, {"Zelk/Vek/REG02/A", 557}, {"Zelk/Vek/R08/", 160}};
  for (const auto& [prefix, length] : folders) {
    int n = 0;
    for (const auto& [path, bytes] : files) {
      if (path.rfind(prefix, 0) != 0 || path.find('/', prefix.size()) != std::string::npos) continue;
      if (path.size() < 4 || path.substr(path.size() - 4) != ".DAT") continue;
      ++n;
      EXPECT_FALSE(bytes.empty()) << path;
      EXPECT_EQ(bytes.size() % length, 0u) << path;
    }
    EXPECT_GT(n, 0) << prefix;
  }
  for (const char* folder : {"Zelk/Vek/R33", "Zelk/Fotos/Vek/2", "Glebrium/REG"}) {
    EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
  }
  for (const char* obsolete : {"config4.dat", "d03.den", "vek.txt", "glbprod.exe", "F16.dat"}) {
    EXPECT_TRUE(files.count(std::string("Zelk/Vek/") + obsolete)) << obsolete;
  }

  // Member records: code of at most 17 characters, start date, period kind,
  // value index, exclusion number and flag where the conversion reads them.
  std::map<std::string, int> start_year;
  int deleted = 0;
  for (const std::string& r : Records(files["Zelk/Vek/F10r2.dat"], 897)) {
    EXPECT_EQ(r[17], ' ');
    EXPECT_TRUE(IsDate(r.substr(217, 10))) << r.substr(217, 11);
    EXPECT_TRUE(r.substr(712, 3) == "1  " || r.substr(712, 3) == "12 ") << r.substr(712, 3);
    int index = std::stoi(r.substr(768, 3));
    EXPECT_TRUE(index >= 0 && index <= 29) << r.substr(768, 3);
    EXPECT_TRUE(r.substr(771, 2) == "0 " || r.substr(771, 2) == "1 ");
    EXPECT_TRUE(r[896] == ' ' || r[896] == '+');
    deleted += r[896] == '+';
    start_year[r.substr(0, 18)] = std::stoi(r.substr(223, 4));
  }
  EXPECT_LT(deleted, 10);

  // Yearly units: keys of members, never before the member joined; a unit is
  // either twelve marks or ten marks and CR LF.
  int units = 0;
  for (const auto& [path, bytes] : files) {
    if (path.rfind("Zelk/Vek/REG/RM", 0) != 0) continue;
    int year = std::stoi(path.substr(15, 4));
    for (const std::string& u : Records(bytes, 30)) {
      ++units;
      std::string key = u.substr(0, 18);
      ASSERT_TRUE(start_year.count(key)) << path << ": " << u;
      EXPECT_LE(start_year[key], year) << path << ": " << u;
      std::string tail = u.substr(18);
      bool line_end = tail.substr(10) == "\r\n";
      EXPECT_EQ(tail.find_first_not_of(" *"), line_end ? 10u : std::string::npos) << path << ": " << u;
    }
  }
  // Most members paid every year since they joined, most within 25 years.
  EXPECT_GT(units, 50 * 4);
  EXPECT_LT(units, 50 * 20);

  // The notes file is a chain of entries that ends exactly at its end.
  const std::string& notes = files["Zelk/Vek/F90.DAT"];
  std::size_t at = 0;
  int entries = 0;
  while (at + 16 <= notes.size()) {
    EXPECT_TRUE(notes[at] == '1' || notes[at] == '2');
    at += 16 + std::stoul(notes.substr(at + 11, 5));
    ++entries;
  }
  EXPECT_EQ(at, notes.size());
  EXPECT_EQ(entries, 5);

  // The photos of the photo folder belong to codes of the photo table.
  std::set<std::string> photo_codes;
  for (const std::string& r : Records(files["Zelk/Vek/F26R0.DAT"], 1000)) {
    photo_codes.insert(r.substr(0, r.find(' ')));
  }
  int photos = 0;
  for (const auto& [path, bytes] : files) {
    if (path.rfind("Zelk/Fotos/Vek/540/", 0) != 0) continue;
    std::string name = path.substr(19);
    std::size_t dash = name.find('-');
    EXPECT_TRUE(photo_codes.count(name.substr(0, dash))) << name;
    std::string side = name.substr(dash, 5);
    EXPECT_TRUE(side == "-540." || side == "-545.") << name;
    ++photos;
  }
  EXPECT_GT(photos, 0);
}

TEST_F(SampleInstallTest, TheSameSeedGivesTheSameBytesAndAnotherSeedOthers) {
  std::map<std::string, std::string> first = Tree(Make("a", 60, 42));
  std::map<std::string, std::string> again = Tree(Make("b", 60, 42));
  std::map<std::string, std::string> other = Tree(Make("c", 60, 43));
  ASSERT_EQ(first.size(), again.size());
  for (const auto& [path, bytes] : first) {
    ASSERT_TRUE(again.count(path)) << path;
    EXPECT_EQ(bytes, again[path]) << path;
  }
  EXPECT_NE(first["Zelk/Vek/F10r2.dat"], other["Zelk/Vek/F10r2.dat"]);
  EXPECT_NE(first["Zelk/Vek/F11R2.DAT"], other["Zelk/Vek/F11R2.DAT"]);
  EXPECT_EQ(first["Zelk/Vek/F10r2.dat"].size(), other["Zelk/Vek/F10r2.dat"].size());
}

TEST_F(SampleInstallTest, DenseHistoryChangesOnlyTheYearlyFiles) {
  std::map<std::string, std::string> normal = Tree(Make("normal", 60, 5));
  sample::SampleOptions o;
  o.members = 60;
  o.seed = 5;
  o.dense_history = true;
  std::string error;
  ASSERT_TRUE(sample::MakeSampleInstallation((box.root / "dense").string(), o, &error)) << error;
  std::map<std::string, std::string> dense = Tree(box.root / "dense");

  auto yearly = [](const std::string& path) { return path.find("REG/RM") != std::string::npos; };
  std::size_t normal_units = 0;
  std::size_t dense_units = 0;
  for (const auto& [path, bytes] : normal) {
    if (yearly(path)) {
      normal_units += bytes.size() / 30;
    } else {
      EXPECT_EQ(bytes, dense[path]) << path;
    }
  }
  for (const auto& [path, bytes] : dense) {
    if (yearly(path)) {
      dense_units += bytes.size() / 30;
    } else {
      EXPECT_TRUE(normal.count(path)) << path;
    }
  }
  EXPECT_GT(dense_units, normal_units * 3);

  // Repeated units end with the final marks: past the join year, the last
  // unit of each key is the one of the normal shape.
  std::map<std::string, int> start_year;
  for (const std::string& r : Records(normal["Zelk/Vek/F10r2.dat"], 897)) {
    start_year[r.substr(0, 18)] = std::stoi(r.substr(223, 4));
  }
  for (const auto& [path, bytes] : normal) {
    if (path.rfind("Zelk/Vek/REG/RM", 0) != 0) continue;
    const int year = std::stoi(path.substr(15, 4));
    std::map<std::string, std::string> last;
    std::map<std::string, std::string> dense_last;
    for (const std::string& u : Records(bytes, 30)) last[u.substr(0, 18)] = u;
    for (const std::string& u : Records(dense[path], 30)) dense_last[u.substr(0, 18)] = u;
    for (const auto& [key, unit] : last) {
      ASSERT_TRUE(start_year.count(key)) << path << ": " << unit;
      if (start_year[key] < year) {
        EXPECT_EQ(dense_last[key], unit) << path;
      }
    }
  }
}

TEST_F(SampleInstallTest, NamesAreCp1252Text) {
  std::map<std::string, std::string> files = Tree(Make("inst", 50, 7));
  // The accented letters of Portuguese names as single cp1252 bytes.
  const std::string letters = "\xE1\xE2\xE3\xE7\xE9\xEA\xED\xF3\xF4\xF5\xFA\xFC\xE4\xC1\xC2\xC3\xC7\xC9\xCA\xCD\xD3\xD4\xDA";
  int accented = 0;
  for (const std::string& r : Records(files["Zelk/Vek/F10r2.dat"], 897)) {
    std::string name = r.substr(19, 40);
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 0x80) continue;
      EXPECT_NE(letters.find(c), std::string::npos) << name;
      ++accented;
    }
  }
  EXPECT_GT(accented, 5);
  // No UTF-8 anywhere in the tables.
  for (const auto& [path, bytes] : files) {
    for (std::size_t k = 0; k + 1 < bytes.size(); ++k) {
      unsigned char c = static_cast<unsigned char>(bytes[k]);
      unsigned char d = static_cast<unsigned char>(bytes[k + 1]);
      if ((c == 0xC2 || c == 0xC3) && d >= 0x80 && d <= 0xBF && path.find("Fotos") == std::string::npos) {
        ADD_FAILURE() << "UTF-8 in " << path << " at " << k;
        break;
      }
    }
  }
}

TEST_F(SampleInstallTest, NeverWritesOverAnInstallationAndChecksItsOptions) {
  fs::path root = Make("inst", 20, 1);
  std::string before = box.Read(root / "Zelk/Vek/F10r2.dat");
  sample::SampleOptions o;
  o.members = 30;
  o.seed = 2;
  std::string error;
  EXPECT_FALSE(sample::MakeSampleInstallation(root.string(), o, &error));
  EXPECT_NE(error.find("not empty"), std::string::npos) << error;
  EXPECT_EQ(box.Read(root / "Zelk/Vek/F10r2.dat"), before);

  o.members = 0;
  EXPECT_FALSE(sample::MakeSampleInstallation((box.root / "zero").string(), o, &error));
  o.members = 10;
  o.last_year = 1900;
  EXPECT_FALSE(sample::MakeSampleInstallation((box.root / "early").string(), o, &error));
  EXPECT_FALSE(fs::exists(box.root / "zero" / "Zelk"));
  EXPECT_FALSE(fs::exists(box.root / "early" / "Zelk"));

  // An empty data folder, as a fresh drive has it, is used.
  o.last_year = 2008;
  EXPECT_TRUE(sample::MakeSampleInstallation(box.root.string(), o, &error)) << error;
  EXPECT_EQ(box.Read("F10r2.dat").size(), 10u * 897);
  EXPECT_TRUE(box.Exists("REG01/2008.DAT"));
  EXPECT_FALSE(box.Exists("REG01/2009.DAT"));
}

}  // namespace
