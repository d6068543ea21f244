#include "tests/support/sandbox.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/files.h"

namespace vektest {


namespace {

// A new folder of its own under the system's temporary folder.
fs::path MakeUniqueFolder() {
  std::random_device seed;
  std::mt19937_64 rng(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "vektest-%012llx",
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
    if (fs::create_directory(base / name)) return base / name;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

}  // namespace

platform::Answer RecordingUi::MessageBox(std::string_view text, std::string_view caption,
                                         platform::Icon icon, platform::Buttons buttons) {
  messages.push_back({std::string(text), std::string(caption), icon, buttons});
  if (buttons == platform::Buttons::kOk) return platform::Answer::kOk;
  if (answers.empty()) return platform::Answer::kNo;
  platform::Answer a = answers.front();
  answers.pop_front();
  return a;
}

Sandbox::Sandbox() {
  old_cwd_ = fs::current_path();
  root = MakeUniqueFolder();
  data = root / "Zelk" / "Vek";
  temp = root / "tmp";
  fs::create_directories(data);
  fs::create_directories(temp);
  if (const char* t = std::getenv(kTempVariable)) {
    had_tmpdir_ = true;
    old_tmpdir_ = t;
  }
  SetEnv(kTempVariable, temp.string());
  old_drive_c_ = platform::DriveC();
  platform::SetDriveC(root.string());
  fs::current_path(data);
}

Sandbox::~Sandbox() {
  std::error_code ec;
  fs::current_path(old_cwd_, ec);
  platform::SetDriveC(old_drive_c_);
  if (had_tmpdir_) SetEnv(kTempVariable, old_tmpdir_);
  else UnsetEnv(kTempVariable);
  // Read-only entries must be made writable before the tree can go.
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root, ec);
}

fs::path Sandbox::Path(const fs::path& rel) const { return rel.is_absolute() ? rel : data / rel; }

void Sandbox::Write(const fs::path& rel, std::string_view bytes) const {
  fs::path p = Path(rel);
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

std::string Sandbox::Read(const fs::path& rel) const {
  std::ifstream in(Path(rel), std::ios::binary);
  if (!in) return "<missing " + rel.string() + ">";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Sandbox::Exists(const fs::path& rel) const { return fs::exists(Path(rel)); }

void Sandbox::MakeFolder(const fs::path& rel) const { fs::create_directories(Path(rel)); }

std::vector<std::string> Sandbox::List(const fs::path& rel) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(Path(rel), ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

SandboxTest::SandboxTest() { platform::SetActiveUi(&ui); }
SandboxTest::~SandboxTest() {
  platform::SetActiveUi(nullptr);
  platform::SetToday(std::nullopt);
}

std::string Pad(std::string_view text, std::size_t width) {
  std::string s(text.substr(0, std::min(text.size(), width)));
  s.resize(width, ' ');
  return s;
}

std::string Fill(std::size_t n, char c) { return std::string(n, c); }

std::string Fields(std::initializer_list<std::pair<std::string_view, std::size_t>> fields) {
  std::string s;
  for (const auto& [t, w] : fields) s += Pad(t, w);
  return s;
}

}  // namespace vektest
