// Times the 4.69 migration on a large folder: an F22.DAT of 1,000,000 open
// entries over 100,000 record codes and the matching F10R4.DAT, against one
// plain read of the same bytes. The grid lines are merged in a sorted work
// list by bisection, so the step must grow as n log n: the run at a tenth of
// the size is timed too, and the growth factor printed (about 10-12 for
// n log n, about 100 for a walk of the list per entry).
//
//   bench_469 [scale]     scale 1 = 1,000,000 entries; 0.01 for a smoke run
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stream.h"
#include "platform/ui.h"
#include "steps/steps.h"

namespace {

class QuietUi : public platform::Ui {
 public:
  void SetStatus(std::string_view) override {}
  platform::Answer MessageBox(std::string_view, std::string_view, platform::Icon,
                              platform::Buttons) override {
    return platform::Answer::kOk;
  }
  void ShowWaitCursor(bool) override {}
};

std::string Padded(const std::string& s, std::size_t width) {
  std::string out = s.substr(0, width);
  out.resize(width, ' ');
  return out;
}

std::string Code(long c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "M%07ld", c);
  return buf;
}

// F10R4.DAT: one 1000-byte record per code, 40 distinct monthly charges.
bool WriteMembers(long codes) {
  platform::Stream out = platform::Stream::Open("F10R4.DAT", "wb");
  if (!out) return false;
  std::string rec;
  for (long c = 0; c < codes; ++c) {
    rec = Padded(Code(c), 11) + Padded("NAME " + std::to_string(c), 40);
    rec.resize(826, ' ');
    rec += "01" + Padded(std::to_string(10 + c % 40) + ",00", 16);
    rec.resize(1000, ' ');
    if (!out.Write(rec)) return false;
  }
  return out.Close();
}

// F22.DAT: `entries` monthly entries, dealt round-robin over the codes so that
// work list B holds every code's line for most of the run. Even codes are
// open every other month, so their grids hold months between open entries.
bool WriteEntries(long entries, long codes) {
  platform::Stream out = platform::Stream::Open("F22.DAT", "wb");
  if (!out) return false;
  std::string buf;
  char date[48];
  for (long j = 0; j < entries; ++j) {
    const long c = j % codes;
    const long round = j / codes;
    const long month = (c % 2 == 0 ? 2 * round : round) % 230;
    std::snprintf(date, sizeof date, "10/%02ld/%04ld", month % 12 + 1, 2005 + month / 12);
    buf += Padded(Code(c), 10) + Padded(std::to_string(j + 1), 10) + Padded(date, 10) +
           Padded("50.00", 14) + Padded("01", 69);
    if (buf.size() > (1 << 20)) {
      if (!out.Write(buf)) return false;
      buf.clear();
    }
  }
  return out.Write(buf) && out.Close();
}

std::int64_t ReadWhole(const char* path) {
  platform::Stream in = platform::Stream::Open(path, "rb");
  std::vector<char> chunk(1 << 20);
  std::int64_t total = 0;
  for (std::size_t n; in && (n = in.ReadRaw(chunk.data(), chunk.size())) > 0;) total += static_cast<std::int64_t>(n);
  return total;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double CpuSeconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

struct Timing {
  double read = 0;
  double step = 0;
  double step_cpu = 0;
  bool ok = false;
};

Timing RunIn(const std::string& folder, long entries, long codes) {
  Timing t;
  if (!platform::CreateFolder(folder) || !platform::SetCurrentFolder(folder)) return t;
  if (!WriteMembers(codes) || !WriteEntries(entries, codes)) return t;

  auto start = std::chrono::steady_clock::now();
  std::int64_t bytes = ReadWhole("F22.DAT") + ReadWhole("F10R4.DAT");
  t.read = Seconds(start);

  QuietUi ui;
  platform::SetActiveUi(&ui);
  start = std::chrono::steady_clock::now();
  const std::clock_t cpu = std::clock();
  steps::MigrateTo469(ui);
  t.step = Seconds(start);
  t.step_cpu = CpuSeconds(cpu);
  platform::SetActiveUi(nullptr);

  // The step must have turned every entry into a grid and given F22.DAT up.
  t.ok = bytes == entries * 113 + codes * 1000 && platform::Exists("F31.DAT") &&
         platform::Exists("F22.BAK") && !platform::Exists("F22.DAT");
  std::printf("%9ld entries, %7ld codes: read %7.3f s, step %7.3f s (cpu %7.3f s), ratio %6.1f%s\n",
              entries, codes, t.read, t.step, t.step_cpu, t.read > 0 ? t.step / t.read : 0.0,
              t.ok ? "" : "  (WRONG RESULT)");
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  if (!(scale > 0)) {
    std::fprintf(stderr, "usage: bench_469 [scale]\n");
    return 2;
  }
  const long entries = std::max(10L, static_cast<long>(1000000 * scale));
  const long codes = std::max(1L, static_cast<long>(100000 * scale));

  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path root = fs::temp_directory_path(ec) / ("bench469-" + std::to_string(std::random_device{}()));
  if (!fs::create_directories(root / "Zelk", ec)) {
    std::fprintf(stderr, "cannot create %s\n", root.string().c_str());
    return 1;
  }
  platform::SetDriveC(root.string());
  platform::SetToday(platform::Date{2024, 1, 15});

  std::printf("4.69 grid building (F22.DAT merged into work list B, F10R4.DAT rewritten)\n");
  Timing small = RunIn("C:\\Zelk\\Small", std::max(10L, entries / 10), std::max(1L, codes / 10));
  Timing full = RunIn("C:\\Zelk\\Vek", entries, codes);
  if (small.step > 0) std::printf("growth for 10x the entries: %.1fx\n", full.step / small.step);

  fs::current_path(fs::temp_directory_path(ec), ec);
  fs::remove_all(root, ec);
  return small.ok && full.ok ? 0 : 1;
}
