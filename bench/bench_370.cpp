// Times the 3.70 conversion (yearly file cleaning, history collection and the
// F10r2.dat merge) against one plain copy of the same input bytes.
//
//   bench_370 [scale]     scale 1 (default): yearly files with 1,000,000 units
//                         over 500,000 keys and an F10r2.dat of 500,000 records;
//                         0.01 makes a quick smoke run.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stream.h"
#include "platform/ui.h"
#include "steps/steps.h"

namespace {

class SilentUi : public platform::Ui {
 public:
  void SetStatus(std::string_view) override { ++statuses; }
  platform::Answer MessageBox(std::string_view, std::string_view, platform::Icon, platform::Buttons) override {
    ++messages;
    return platform::Answer::kOk;
  }
  void ShowWaitCursor(bool) override {}
  long statuses = 0;
  long messages = 0;
};

constexpr int kFirstYear = 1960;
constexpr int kLastYear = 2010;
constexpr std::size_t kOldRecord = 897;

struct Rng {
  std::uint64_t s;
  std::uint64_t Next() {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return s >> 33;
  }
};

std::string Key(long k) {
  char key[32];
  // Mixed letter case, so that the lists compare without regard to case.
  std::snprintf(key, sizeof key, "%s%09ld", (k & 1) ? "Soc" : "sOC", k);
  std::string s(key);
  s.resize(18, ' ');
  return s;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  platform::Stream out = platform::Stream::Open(path, "wb");
  return out && out.Write(bytes) && out.Close();
}

std::vector<std::string> InputFiles() {
  std::vector<std::string> files;
  for (const platform::FindEntry& e : platform::FindFiles("REG\\RM*.DAT")) files.push_back("REG\\" + e.name);
  files.push_back("F10r2.dat");
  return files;
}

// Builds the yearly files and F10r2.dat; false when a file cannot be written.
bool Generate(long units, long keys, long records) {
  if (!platform::CreateFolder("REG")) return false;
  Rng rng{12345};
  const int years = kLastYear - kFirstYear + 1;
  std::vector<std::string> yearly(years);
  for (long u = 0; u < units; ++u) {
    long k = static_cast<long>(rng.Next() % static_cast<std::uint64_t>(keys));
    int y = static_cast<int>(rng.Next() % years);
    char tail[16];
    std::snprintf(tail, sizeof tail, "%08ld\r\n", u % 100000000);
    yearly[y] += Key(k) + tail;
  }
  for (int y = 0; y < years; ++y) {
    if (!WriteFile("REG\\RM" + std::to_string(kFirstYear + y) + ".DAT", yearly[y])) return false;
  }
  std::string old;
  old.reserve(static_cast<std::size_t>(records) * kOldRecord);
  for (long r = 0; r < records; ++r) {
    std::string rec = Key(r % keys) + "member data";
    rec.resize(kOldRecord - 1, ' ');
    rec += (r % 50 == 49) ? '+' : ' ';
    old += rec;
  }
  return WriteFile("F10r2.dat", old);
}

// One plain pass over the input: every file read and written once, into
// copies named with the suffix (kept until the end, so that the conversion
// does not write into the memory the copy has just given back).
std::int64_t CopyOnce(const std::string& suffix) {
  std::int64_t total = 0;
  std::vector<char> buf(1 << 20);
  for (const std::string& file : InputFiles()) {
    platform::Stream in = platform::Stream::Open(file, "rb");
    platform::Stream out = platform::Stream::Open(file + suffix, "wb");
    if (!in || !out) return -1;
    for (std::size_t n; (n = in.ReadRaw(buf.data(), buf.size())) > 0; total += static_cast<std::int64_t>(n)) {
      if (!out.Write(std::string_view(buf.data(), n))) return -1;
    }
    if (!out.Close()) return -1;
  }
  return total;
}

void DeleteCopies(const std::string& suffix) {
  for (const std::string& file : InputFiles()) platform::DeleteFile(file + suffix);
}

void RemoveTree(const std::string& folder) {
  for (const platform::FindEntry& e : platform::FindFiles(folder + "\\*")) {
    if (e.name == "." || e.name == "..") continue;
    std::string path = folder + "\\" + e.name;
    if (e.attributes & platform::kAttrFolder) RemoveTree(path);
    else platform::DeleteFile(path);
  }
  platform::RemoveFolder(folder);
}

// Wall-clock and processor time of a piece of work; on a busy machine the
// processor time is the steadier figure.
struct Timer {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  double Wall() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(); }
  double Cpu() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

}  // namespace

int main(int argc, char** argv) {
  double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  if (!(scale > 0 && scale <= 10)) {
    std::fprintf(stderr, "usage: bench_370 [scale in (0, 10]]\n");
    return 2;
  }
  const long units = std::max(1L, static_cast<long>(1'000'000 * scale));
  const long keys = std::max(1L, static_cast<long>(500'000 * scale));
  const long records = std::max(1L, static_cast<long>(500'000 * scale));

  // A drive C: of our own in the temporary folder.
  std::string root;
  for (unsigned n = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() % 100000);;
       ++n) {
    root = platform::TempFolder() + "vekbench370-" + std::to_string(n);
    if (platform::CreateFolder(root)) break;
    if (!platform::IsFolder(platform::TempFolder())) {
      std::fprintf(stderr, "no temporary folder\n");
      return 1;
    }
  }
  const std::string start = platform::CurrentFolder();
  platform::SetDriveC(root);
  int rc = 0;
  if (!platform::CreateFolder("C:\\Zelk") || !platform::CreateFolder("C:\\Zelk\\Vek") ||
      !platform::SetCurrentFolder("C:\\Zelk\\Vek") || !Generate(units, keys, records)) {
    std::fprintf(stderr, "cannot build the input in %s\n", root.c_str());
    rc = 1;
  } else {
    // The copy is timed before and after the conversion, and the mean of the
    // two is the measure: the cost of writing new bytes depends on what the
    // system has just freed.
    Timer copy_timer;
    double copy_before = 0;
    double copy_after = 0;
    std::int64_t bytes = CopyOnce(".copy1");
    double copy_wall = copy_timer.Wall(), copy_cpu = copy_timer.Cpu();

    SilentUi ui;
    platform::SetActiveUi(&ui);
    Timer step_timer;
    steps::MigrateTo370(ui);
    double step_wall = step_timer.Wall(), step_cpu = step_timer.Cpu();
    platform::SetActiveUi(nullptr);
    Timer again_timer;
    // (The yearly files are cleaned by now: the second copy may be smaller.)
    if (CopyOnce(".copy2") < 0) bytes = -1;
    copy_before = copy_wall;
    copy_after = again_timer.Wall();
    copy_wall = (copy_before + copy_after) / 2;
    copy_cpu = (copy_cpu + again_timer.Cpu()) / 2;
    DeleteCopies(".copy1");
    DeleteCopies(".copy2");

    std::int64_t expected = static_cast<std::int64_t>(records) * 1501;
    std::int64_t got = platform::FileSize("F10r3.dat");
    std::printf("input: %ld units over %ld keys in %d yearly files, %ld records of F10r2.dat (%.1f MB)\n", units,
                keys, kLastYear - kFirstYear + 1, records, static_cast<double>(bytes) / 1e6);
    std::printf("copy once:    %8.3f s wall %8.3f s cpu (mean of %.3f s before and %.3f s after)\n", copy_wall,
                copy_cpu, copy_before, copy_after);
    std::printf("MigrateTo370: %8.3f s wall %8.3f s cpu (%ld status texts, %ld messages, %d history entries)\n",
                step_wall, step_cpu, ui.statuses, ui.messages, ui.ListA().Count());
    std::printf("ratio:        %8.2f   wall %8.2f   cpu (target below 5)\n", copy_wall > 0 ? step_wall / copy_wall : 0.0,
                copy_cpu > 0 ? step_cpu / copy_cpu : 0.0);
    std::printf("              %8.2f   wall against the copy before, %.2f against the copy after\n",
                copy_before > 0 ? step_wall / copy_before : 0.0, copy_after > 0 ? step_wall / copy_after : 0.0);
    if (bytes < 0 || got != expected || ui.messages != 0) {
      std::fprintf(stderr, "unexpected result: F10r3.dat has %lld bytes, expected %lld\n",
                   static_cast<long long>(got), static_cast<long long>(expected));
      rc = 1;
    }
  }
  platform::SetCurrentFolder(start);
  RemoveTree(root);
  return rc;
}
