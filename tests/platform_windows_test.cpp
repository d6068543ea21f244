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

}  // namespace

#endif  // _WIN32
