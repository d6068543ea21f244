// make_sample ROOT [--members N] [--seed S] [--last-year Y] [--dense-history]
//
// Writes an old Glebrium installation under ROOT (ROOT/Zelk/Vek, the photo
// folder and the legacy folder ROOT/Glebrium) for trying the converter and
// for benchmarks, and lists what it wrote. --dense-history writes the denser
// yearly history (more years per member, several units per member and year).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sample/install.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: make_sample ROOT [--members N] [--seed S] [--last-year Y] [--dense-history]\n");
  return 2;
}

// A whole decimal number, nothing else.
bool ParseNumber(const char* text, long long* out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  sample::SampleOptions options;
  for (int k = 1; k < argc; ++k) {
    std::string_view arg = argv[k];
    long long value = 0;
    if (arg == "--members" || arg == "--seed" || arg == "--last-year") {
      if (k + 1 >= argc || !ParseNumber(argv[k + 1], &value)) return Usage();
      ++k;
      if (arg == "--members") options.members = value;
      else if (arg == "--seed") options.seed = static_cast<std::uint64_t>(value);
      else options.last_year = static_cast<int>(value);
    } else if (arg == "--dense-history") {
      options.dense_history = true;
    } else if (arg == "-h" || arg == "--help") {
      Usage();
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && root.empty()) {
      root = std::string(arg);
    } else {
      return Usage();
    }
  }
  if (root.empty()) return Usage();

  std::string error;
  std::vector<sample::SampleFile> files;
  bool ok = sample::MakeSampleInstallation(root, options, &error, &files);
  std::int64_t total = 0;
  for (const sample::SampleFile& f : files) {
    std::printf("%14lld  %s\n", static_cast<long long>(f.bytes), f.path.c_str());
    total += f.bytes;
  }
  std::printf("%llu files, %lld bytes, %lld members, seed %llu\n", static_cast<unsigned long long>(files.size()), static_cast<long long>(total),
              static_cast<long long>(options.members), static_cast<unsigned long long>(options.seed));
  if (!ok) {
    std::fprintf(stderr, "make_sample: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
