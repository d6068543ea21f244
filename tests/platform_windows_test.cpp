// Path text, drives and the temporary folder of the Win32 layer: real drive
// letters, with C: standing for the sandbox folder while one is set.
#ifdef _WIN32

#include <cstdlib>

#include "platform/files.h"
#include "platform/stream.h"
#include "tests/support/process.h"

namespace {

using vektest::fs::path;

class WindowsFilesTest : public vektest::SandboxTest {
 protected:
  static std::string Host(const path& p) { return vektest::fs::absolute(p).make_preferred().string(); }
  std::string Data() const { return Host(box.data); }
  std::string Root() const { return Host(box.root); }
};

TEST_F(WindowsFilesTest, PathTextOfTheMappedDriveAndOfRealDrives) {
  const std::string d = Data();
  const std::string r = Root();
  EXPECT_EQ(platform::HostPath("reg\\SUB/rm1960.DAT"), d + "\\reg\\SUB\\rm1960.DAT");
  EXPECT_EQ(platform::HostPath("c:\\ZELK\\vek\\reg"), r + "\\ZELK\\vek\\reg");
  EXPECT_EQ(platform::HostPath("C:\\"), r);
  EXPECT_EQ(platform::HostPath("\\zelk\\Vek"), r + "\\zelk\\Vek");
  EXPECT_EQ(platform::HostPath("C:reg"), d + "\\reg");
  // Dots are followed as Windows follows them, never above a drive's root.
  EXPECT_EQ(platform::HostPath("..\\fotos\\.\\x"), r + "\\Zelk\\fotos\\x");
  EXPECT_EQ(platform::HostPath("C:\\..\\..\\..\\..\\..\\..\\..\\..\\..\\.."), "C:\\");
  // Trailing spaces and dots of a name do not count.
  EXPECT_EQ(platform::HostPath("reg.\\sub \\RM1960.DAT  "), d + "\\reg\\sub\\RM1960.DAT");
  // Other drives and network names are the host's own.
  EXPECT_EQ(platform::HostPath("D:\\Zelk/Vek"), "D:\\Zelk\\Vek");
  EXPECT_EQ(platform::HostPath("\\\\server\\share\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(platform::HostPath("\\\\server"), std::nullopt);
  EXPECT_EQ(platform::HostPath(""), std::nullopt);
  // A host path inside the sandbox stays as it is; "\\?\C:" names the real C:.
  const std::string t = Host(box.temp);
  EXPECT_EQ(platform::HostPath(t + "/Zelk\\Vek\\F31.DAT"), t + "\\Zelk\\Vek\\F31.DAT");
  EXPECT_EQ(platform::HostPath("\\\\?\\C:\\Windows\\.\\System32"), "C:\\Windows\\System32");

  // Names match without regard to case, cp1252 letters too; a new file takes
  // the program's spelling, stored as the UTF-16 name of the cp1252 text.
  box.Write("Reg/Sub/RM1960.dat", "x");
  platform::Stream s = platform::Stream::Open("REG\\SUB\\rm1960.dat", "rb");
  ASSERT_TRUE(s);
  std::string got;
  EXPECT_TRUE(s.ReadText(got, 10));
  EXPECT_EQ(got, "x");
  platform::Stream n = platform::Stream::Open("DEP\xD3SITO.DAT", "wb");
  ASSERT_TRUE(n);
  EXPECT_TRUE(n.Write("d"));
  EXPECT_TRUE(n.Close());
  EXPECT_TRUE(vektest::fs::exists(box.data / L"DEP\u00D3SITO.DAT"));
  std::vector<platform::FindEntry> found = platform::FindFiles("dep\xF3sito.dat");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "DEP\xD3SITO.DAT");
  EXPECT_EQ(found[0].size, 1);
}

TEST_F(WindowsFilesTest, PathsLongerThanMaxPath) {
  const std::string part(60, 'p');
  std::string folder;
  for (int i = 0; i < 5; ++i) {
    folder += (i ? "\\" : "") + part;
    ASSERT_TRUE(platform::CreateFolder(folder)) << i;
  }
  const std::string file = folder + "\\Long.DAT";
  EXPECT_EQ(platform::HostPath(file), "\\\\?\\" + Data() + "\\" + file);
  platform::Stream s = platform::Stream::Open(file, "wt");
  ASSERT_TRUE(s);
  EXPECT_TRUE(s.Write("a\n"));
  EXPECT_TRUE(s.Close());
  EXPECT_EQ(platform::FileSize(folder + "\\LONG.dat"), 3);
  EXPECT_TRUE(platform::MoveFile(file, folder + "\\Moved.DAT"));
  EXPECT_EQ(platform::FindFiles(folder + "\\*.dat").size(), 1u);
  EXPECT_TRUE(platform::DeleteFile(folder + "\\Moved.DAT"));
  for (int i = 4; i >= 0; --i) {
    EXPECT_TRUE(platform::RemoveFolder(folder)) << i;
    folder.resize(folder.size() > part.size() ? folder.size() - part.size() - 1 : 0);
  }
}

// Inside drive C: the POSIX test (platform_files_test) holds for Windows too.
TEST_F(WindowsFilesTest, CurrentFolderAndDriveOutsideDriveC) {
  // Outside the sandbox: its host path, in the "\\?\" form when it lies on
  // the real C: so that the text is not taken for the mapped drive.
  const std::string outside = Host(box.root.parent_path());
  const bool on_c = (outside[0] | 0x20) == 'c';
  const std::string shown = on_c ? "\\\\?\\" + outside : outside;
  ASSERT_TRUE(platform::SetCurrentFolder(shown));
  EXPECT_EQ(platform::CurrentFolder(), shown);
  EXPECT_EQ(platform::CurrentDrive(), 0);
  EXPECT_EQ(platform::HostPath("\\Windows"), outside.substr(0, 2) + "\\Windows");
  EXPECT_EQ(platform::HostPath("c:\\zelk"), Root() + "\\zelk");

  // No folder for C:: every drive is the real one.
  platform::SetDriveC("");
  EXPECT_EQ(platform::HostPath("C:\\Zelk"), "C:\\Zelk");
  ASSERT_TRUE(platform::SetCurrentFolder(box.data.string()));
  EXPECT_EQ(platform::CurrentFolder(), Data());
  EXPECT_EQ(platform::CurrentDrive(), on_c ? 'C' : 0);
}

TEST_F(WindowsFilesTest, TemporaryFolderAndToday) {
  EXPECT_EQ(platform::TempFolder(), Host(box.temp) + "\\");
  vektest::SetEnv("TMP", "D:\\Temp");
  EXPECT_EQ(platform::TempFolder(), "D:\\Temp\\");
  // The real C: while C: stands for the sandbox.
  vektest::SetEnv("TMP", "C:\\Windows\\Temp\\");
  EXPECT_EQ(platform::TempFolder(), "\\\\?\\C:\\Windows\\Temp\\");
  EXPECT_EQ(platform::HostPath(platform::TempFolder() + "Zelk"), "C:\\Windows\\Temp\\Zelk");

  platform::SetToday(platform::Date{2024, 2, 29});
  platform::Date d = platform::Today();
  EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2024, 2, 29}));
  vektest::SetEnv("VEKCONV_TODAY", "2011-03-04");
  d = platform::Today();  // the explicit date wins
  EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2024, 2, 29}));
  platform::SetToday(std::nullopt);
  d = platform::Today();
  EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2011, 3, 4}));
  vektest::SetEnv("VEKCONV_TODAY", "2011-13-04");  // not a date: the clock
  d = platform::Today();
  EXPECT_GE(d.year, 2024);
  vektest::UnsetEnv("VEKCONV_TODAY");
}

// The calls a commit rests on: a replace that puts a file over a read-only
// one, flushes of written and read-only files, the disk's free space, and
// what the system said when a call failed.
TEST_F(WindowsFilesTest, ReplaceSyncSpaceAndTheSystemsErrors) {
  box.Write("NEW.DAT", "new content");
  box.Write("OLD.DAT", "old");
  ASSERT_TRUE(platform::SetReadOnly("OLD.DAT", true));
  EXPECT_TRUE(platform::ReplaceFile("new.dat", "old.dat"));
  EXPECT_FALSE(box.Exists("NEW.DAT"));
  EXPECT_EQ(box.Read("OLD.DAT"), "new content");
  EXPECT_FALSE(platform::IsReadOnly("OLD.DAT"));
  // Onto a name that is not there yet, and from a source that is not.
  EXPECT_TRUE(platform::ReplaceFile("OLD.DAT", "Fresh.DAT"));
  EXPECT_EQ(box.Read("Fresh.DAT"), "new content");
  box.Write("KEPT.DAT", "kept");
  ASSERT_TRUE(platform::SetReadOnly("KEPT.DAT", true));
  platform::ClearLastError();
  EXPECT_FALSE(platform::ReplaceFile("GONE.DAT", "KEPT.DAT"));
  EXPECT_EQ(platform::LastError().kind, platform::ErrorKind::kMissing);
  EXPECT_EQ(box.Read("KEPT.DAT"), "kept");
  EXPECT_TRUE(platform::IsReadOnly("KEPT.DAT"));

  // A flush needs write access: a read-only file is flushed too, and stays
  // read-only.
  platform::Stream s = platform::Stream::Open("FLUSHED.DAT", "wb");
  ASSERT_TRUE(s);
  EXPECT_TRUE(s.Write("data"));
  EXPECT_TRUE(s.Close());
  EXPECT_TRUE(platform::SyncFile("flushed.dat"));
  EXPECT_TRUE(platform::SyncFile("KEPT.DAT"));
  EXPECT_TRUE(platform::IsReadOnly("KEPT.DAT"));
  platform::ClearLastError();
  EXPECT_FALSE(platform::SyncFile("GONE.DAT"));
  EXPECT_EQ(platform::LastError().kind, platform::ErrorKind::kMissing);
  EXPECT_TRUE(platform::SyncFolder("."));

  // Free space and volumes, for names that do not exist yet too, and for the
  // same folder named with and without the long-path prefix.
  EXPECT_GT(platform::FreeSpace("."), 0);
  EXPECT_GT(platform::FreeSpace("NOT\\THERE\\YET.DAT"), 0);
  EXPECT_GT(platform::FreeSpace(platform::TempFolder()), 0);
  EXPECT_TRUE(platform::SameVolume("FLUSHED.DAT", "KEPT.DAT"));
  EXPECT_TRUE(platform::SameVolume("FLUSHED.DAT", "NOT\\THERE.DAT"));
  EXPECT_TRUE(platform::SameVolume("C:\\Zelk\\Vek", "\\\\?\\" + Data() + "\\KEPT.DAT"));
  const std::string part(60, 'v');
  const std::string deep = part + "\\" + part + "\\" + part + "\\" + part + "\\" + part;
  EXPECT_GT(platform::FreeSpace(deep), 0);
  EXPECT_TRUE(platform::SameVolume(deep, "KEPT.DAT"));

  // What the system said: a missing file, a read-only file opened for
  // writing; refusals that are answers, not failures.
  platform::ClearLastError();
  EXPECT_FALSE(platform::Stream::Open("GONE.DAT", "rb"));
  EXPECT_EQ(platform::LastError().kind, platform::ErrorKind::kMissing);
  EXPECT_FALSE(platform::IsRealError(platform::LastError()));
  for (const char* mode : {"r+b", "wb", "ab", "wt"}) {
    platform::ClearLastError();
    EXPECT_FALSE(platform::Stream::Open("KEPT.DAT", mode)) << mode;
    EXPECT_EQ(platform::LastError().kind, platform::ErrorKind::kDenied) << mode;
    EXPECT_FALSE(platform::LastError().text.empty()) << mode;
  }
  EXPECT_EQ(box.Read("KEPT.DAT"), "kept");
  platform::ClearLastError();
  EXPECT_FALSE(platform::DeleteFile("KEPT.DAT"));
  EXPECT_FALSE(platform::IsRealError(platform::LastError()));
  EXPECT_TRUE(box.Exists("KEPT.DAT"));
  box.MakeFolder("SUB");
  box.Write("SUB\\X.DAT", "x");
  platform::ClearLastError();
  EXPECT_FALSE(platform::DeleteFile("SUB"));
  EXPECT_FALSE(platform::RemoveFolder("SUB"));
  EXPECT_FALSE(platform::RemoveFolder("FLUSHED.DAT"));
  EXPECT_FALSE(platform::MoveFile("FLUSHED.DAT", "SUB\\X.DAT"));
  // A search in a folder that is not there, or is a file, finds nothing.
  EXPECT_TRUE(platform::FindFiles("NOWHERE\\*.DAT").empty());
  EXPECT_TRUE(platform::FindFiles("FLUSHED.DAT\\*").empty());
  EXPECT_TRUE(platform::FindFiles("FLUSHED.DAT\\X.DAT").empty());
  EXPECT_FALSE(platform::IsRealError(platform::LastError()));
  // A folder is no file to open.
  platform::ClearLastError();
  EXPECT_FALSE(platform::Stream::Open("SUB", "rb"));
  EXPECT_NE(platform::LastError().kind, platform::ErrorKind::kMissing);
  EXPECT_NE(platform::LastError().kind, platform::ErrorKind::kNone);
  // A later answer about a missing name does not hide a failure.
  platform::ClearLastError();
  EXPECT_FALSE(platform::Stream::Open("KEPT.DAT", "r+b"));
  EXPECT_FALSE(platform::Exists("GONE.DAT"));
  EXPECT_EQ(platform::LastError().kind, platform::ErrorKind::kDenied);
}

}  // namespace

#endif  // _WIN32
