#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/files.h"
#include "store/changes.h"

namespace vekfuzz {

namespace {

// The date every input is converted on: results must not depend on the clock.
constexpr platform::Date kToday{2011, 3, 1};

struct Process {
  fs::path start;  // the current folder when the target started
  fs::path root;   // the folder that holds the inputs' scratch folders
  unsigned long long runs = 0;
};

Process& State() {
  static Process p;
  return p;
}

void RemoveTree(const fs::path& p) {
  std::error_code ec;
  // Read-only entries (a step may leave some) must be made writable first.
  for (auto it = fs::recursive_directory_iterator(p, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(p, ec);
}

void RemoveRoot() {
  Process& p = State();
  if (p.root.empty()) return;
  std::error_code ec;
  fs::current_path(p.start, ec);
  RemoveTree(p.root);
}

fs::path MakeRoot() {
  std::random_device seed;
  std::mt19937_64 rng(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "vekfuzz-%ld-%08llx", static_cast<long>(getpid()),
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFull));
    if (fs::create_directory(base / name)) return base / name;
  }
  std::fprintf(stderr, "vekfuzz: cannot make a scratch folder under %s\n", base.string().c_str());
  std::abort();
}

void EnsureRoot() {
  Process& p = State();
  if (!p.root.empty()) return;
  p.start = fs::current_path();
  p.root = MakeRoot();
  std::atexit(RemoveRoot);
}

}  // namespace

platform::Answer RecordingUi::MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                                         platform::Buttons buttons) {
  messages.push_back({std::string(text), std::string(caption), icon});
  return buttons == platform::Buttons::kOk ? platform::Answer::kOk : platform::Answer::kNo;
}

Scratch::Scratch() {
  EnsureRoot();
  Process& p = State();
  // A new name for every input: nothing that the platform layer remembers of
  // a folder can carry over from one input to the next.
  root = p.root / std::to_string(p.runs++);
  data = root / "Zelk" / "Vek";
  fs::create_directories(data);
  fs::create_directories(root / "tmp");
  platform::SetDriveC(root.string());
  platform::SetTempFolder((root / "tmp").string() + "/");
  platform::SetToday(kToday);
  platform::SetActiveUi(&ui);
  fs::current_path(data);
}

Scratch::~Scratch() {
  platform::SetActiveUi(nullptr);
  std::error_code ec;
  fs::current_path(State().start, ec);
  platform::SetDriveC("");
  platform::SetTempFolder(std::nullopt);
  RemoveTree(root);
}

void Scratch::Write(const std::string& rel, std::string_view bytes) const {
  const fs::path p = data / rel;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vekfuzz: cannot write %s\n", p.string().c_str());
    std::abort();
  }
}

void Scratch::MakeFolder(const std::string& rel) const { fs::create_directories(data / rel); }

std::string Scratch::Read(const std::string& rel, bool* missing) const {
  std::ifstream in(data / rel, std::ios::binary);
  if (missing) *missing = !in;
  if (!in) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::int64_t Scratch::Size(const std::string& rel) const {
  std::error_code ec;
  const auto n = fs::file_size(data / rel, ec);
  return ec ? -1 : static_cast<std::int64_t>(n);
}

bool Scratch::Exists(const std::string& rel) const {
  std::error_code ec;
  return fs::exists(data / rel, ec);
}

bool RunGuarded(const char* what, const std::function<void()>& run) {
  try {
    run();
    return true;
  } catch (const store::FileError&) {
    return false;  // the system refused a read or a write: the conversion stops there
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vekfuzz: %s threw %s\n", what, e.what());
    std::abort();
  } catch (...) {
    std::fprintf(stderr, "vekfuzz: %s threw something that is no std::exception\n", what);
    std::abort();
  }
}

bool RunStep(const char* what, void (*step)(platform::Ui&), platform::Ui& ui) {
  return RunGuarded(what, [&] {
    store::ChangeSet changes;
    step(ui);
    changes.Commit();
  });
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "vekfuzz: check failed: %s\n", what);
  std::abort();
}

}  // namespace vekfuzz

// libFuzzer writes a crashing input into its current folder; an input runs in
// its scratch folder, which is removed. Unless told otherwise, the input goes
// to the folder the target was started in.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) return 0;
  }
  static std::vector<std::string> texts;
  static std::vector<char*> args;
  texts.assign(*argv, *argv + *argc);
  texts.push_back("-artifact_prefix=" + std::filesystem::current_path().string() + "/");
  for (std::string& t : texts) args.push_back(t.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(texts.size());
  *argv = args.data();
  return 0;
}
