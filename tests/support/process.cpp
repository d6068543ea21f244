#include "tests/support/process.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#undef MessageBox
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vektest {
namespace {

std::string ReadWhole(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Capture files in the temporary folder, one pair per run.
fs::path CaptureName(const char* what) {
  static int counter = 0;
  return fs::temp_directory_path() / ("vekrun-" + std::to_string(++counter) + "." + what);
}

}  // namespace

#ifdef _WIN32

const char* const kTempVariable = "TMP";

void SetEnv(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
  SetEnvironmentVariableA(name, value.c_str());  // what GetTempPath reads
}

void UnsetEnv(const char* name) {
  _putenv_s(name, "");
  SetEnvironmentVariableA(name, nullptr);
}

namespace {

std::wstring WideAcp(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::wstring EnvValue(const wchar_t* name) {
  wchar_t buf[32768];
  DWORD n = GetEnvironmentVariableW(name, buf, 32768);
  return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

std::wstring SelfPath() {
  wchar_t buf[32768];
  DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
  return std::wstring(buf, n);
}

// One argument quoted for CommandLineToArgvW and the C runtime's parser.
std::wstring Quote(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

// The child side of LockHolder: the test program started again with these
// variables holds the file until the parent lets go, and never runs a test.
struct HoldOpenChild {
  HoldOpenChild() {
    const std::wstring file = EnvValue(L"VEKTEST_HOLD_OPEN");
    if (file.empty()) return;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, EnvValue(L"VEKTEST_HOLD_READY").c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, EnvValue(L"VEKTEST_HOLD_RELEASE").c_str());
    HANDLE f = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!ready || !release || f == INVALID_HANDLE_VALUE) ExitProcess(2);
    SetEvent(ready);
    WaitForSingleObject(release, 120000);
    CloseHandle(f);
    ExitProcess(0);
  }
};
const HoldOpenChild g_hold_open_child;

}  // namespace

LockHolder::LockHolder(const std::string& host_path) {
  static int counter = 0;
  const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  const std::wstring ready_name = L"vektest-ready-" + tag;
  const std::wstring release_name = L"vektest-release-" + tag;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, release_name.c_str());
  if (!ready || !release) throw std::runtime_error("CreateEvent");
  SetEnvironmentVariableW(L"VEKTEST_HOLD_OPEN", WideAcp(host_path).c_str());
  SetEnvironmentVariableW(L"VEKTEST_HOLD_READY", ready_name.c_str());
  SetEnvironmentVariableW(L"VEKTEST_HOLD_RELEASE", release_name.c_str());
  const std::wstring self = SelfPath();
  std::wstring cmd = Quote(self);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessW(self.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  for (const wchar_t* v : {L"VEKTEST_HOLD_OPEN", L"VEKTEST_HOLD_READY", L"VEKTEST_HOLD_RELEASE"})
    SetEnvironmentVariableW(v, nullptr);
  if (!started) {
    CloseHandle(ready);
    CloseHandle(release);
    throw std::runtime_error("CreateProcess");
  }
  CloseHandle(pi.hThread);
  HANDLE waits[2] = {ready, pi.hProcess};
  locked_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
  CloseHandle(ready);
  child_ = reinterpret_cast<long long>(pi.hProcess);
  release_ = reinterpret_cast<long long>(release);
}

LockHolder::~LockHolder() { Release(); }

void LockHolder::Release() {
  if (child_ == -1) return;
  HANDLE child = reinterpret_cast<HANDLE>(child_);
  HANDLE release = reinterpret_cast<HANDLE>(release_);
  SetEvent(release);
  if (WaitForSingleObject(child, 60000) != WAIT_OBJECT_0) TerminateProcess(child, 3);
  CloseHandle(child);
  CloseHandle(release);
  child_ = release_ = -1;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& folder) {
  // A bare program name is one built beside the test program.
  std::wstring exe = WideAcp(program);
  if (fs::path(exe).is_relative()) {
    exe = (fs::path(SelfPath()).parent_path() / exe).wstring();
  }
  std::wstring cmd = Quote(exe);
  for (const std::string& a : args) cmd += L" " + Quote(WideAcp(a));

  const fs::path out_path = CaptureName("out");
  const fs::path err_path = CaptureName("err");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto create = [&](const fs::path& p) {
    return CreateFileW(p.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                          0, nullptr);
  HANDLE out = create(out_path);
  HANDLE err = create(err_path);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  ProgramRun r;
  const std::wstring cwd = folder.wstring();
  if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(), &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    r.exit_code = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  for (HANDLE h : {in, out, err}) CloseHandle(h);
  auto lf = [](std::string s) {
    std::string o;
    for (std::size_t i = 0; i < s.size(); ++i)
      if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) o.push_back(s[i]);
    return o;
  };
  r.out = lf(ReadWhole(out_path));
  r.err = lf(ReadWhole(err_path));
  std::error_code ec;
  fs::remove(out_path, ec);
  fs::remove(err_path, ec);
  return r;
}

#else  // POSIX

const char* const kTempVariable = "TMPDIR";

void SetEnv(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
void UnsetEnv(const char* name) { unsetenv(name); }

LockHolder::LockHolder(const std::string& host_path) {
  int ready[2];
  int release[2];
  if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    close(ready[0]);
    close(release[1]);
    int fd = open(host_path.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    char ok = (fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    char c;
    while (read(release[0], &c, 1) > 0) {
    }
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char ok = 'n';
  locked_ = read(ready[0], &ok, 1) == 1 && ok == 'y';
  close(ready[0]);
  child_ = pid;
  release_ = release[1];
}

LockHolder::~LockHolder() { Release(); }

void LockHolder::Release() {
  if (child_ <= 0) return;
  close(static_cast<int>(release_));
  int status = 0;
  waitpid(static_cast<pid_t>(child_), &status, 0);
  child_ = release_ = -1;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& folder) {
  const fs::path out_path = CaptureName("out");
  const fs::path err_path = CaptureName("err");
  std::vector<std::string> argv_text = {program};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  ProgramRun r;
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(folder.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  r.out = ReadWhole(out_path);
  r.err = ReadWhole(err_path);
  std::error_code ec;
  fs::remove(out_path, ec);
  fs::remove(err_path, ec);
  return r;
}

#endif

}  // namespace vektest
