#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "platform/stream.h"
#include "tests/support/process.h"

namespace {

using platform::FindEntry;
using vektest::fs::path;

class FilesTest : public vektest::SandboxTest {
 protected:
  // Host spelling of a folder of the sandbox, as the OS reports it.
  std::string Real(const path& p) const { return vektest::fs::canonical(p).string(); }
  std::string Data() const { return Real(box.data); }
  std::string Root() const { return Real(box.root); }
};

std::vector<std::string> Names(const std::vector<FindEntry>& v) {
  std::vector<std::string> out;
  for (const auto& e : v) out.push_back(e.name);
  return out;
}

#ifndef _WIN32  // host paths of the POSIX layer; platform_windows_test.cpp has the Win32 ones
TEST_F(FilesTest, ResolvesEveryComponentWithoutRegardToCase) {
  box.Write("Reg/Sub/RM1960.dat", "x");
  box.Write("DEP\xD3SITO.DAT", "x");        // cp1252 O acute
  box.Write("\x8A\x8C\x8E\x9F.dat", "x");   // capitals of the 0x80 row
  box.MakeFolder(box.root / "Zelk" / "FOTOS");
  const std::string d = Data();

  EXPECT_EQ(platform::HostPath("reg\\SUB\\rm1960.DAT"), d + "/Reg/Sub/RM1960.dat");
  EXPECT_EQ(platform::HostPath("REG/sub/Rm1960.Dat"), d + "/Reg/Sub/RM1960.dat");
  EXPECT_EQ(platform::HostPath("dep\xF3sito.dat"), d + "/DEP\xD3SITO.DAT");
  EXPECT_EQ(platform::HostPath("\x9A\x9C\x9E\xFF.DAT"), d + "/\x8A\x8C\x8E\x9F.dat");
  // The multiplication sign is no letter: 0xD7 and 0xF7 stay apart.
  box.Write("A\xD7" "B", "x");
  EXPECT_EQ(platform::HostPath("a\xF7" "b"), d + "/a\xF7" "b");

  // Missing components keep the spelling given, from the first missing one on.
  EXPECT_EQ(platform::HostPath("REG\\sub\\New\\F10r3.dat"), d + "/Reg/Sub/New/F10r3.dat");
  EXPECT_EQ(platform::HostPath("nada\\reg"), d + "/nada/reg");
  // Dots stay in the path for the OS to follow; names after them still match.
  EXPECT_EQ(platform::HostPath("..\\fotos"), d + "/../FOTOS");
  EXPECT_EQ(platform::HostPath(".\\REG\\"), d + "/./Reg");
  // Trailing spaces and dots of a name do not count, as on Windows.
  EXPECT_EQ(platform::HostPath("reg.\\sub \\RM1960.DAT  "), d + "/Reg/Sub/RM1960.dat");
  EXPECT_EQ(platform::HostPath("New.DAT. "), d + "/New.DAT");

  // Drive C:, the root of the current drive, other drives, host paths.
  EXPECT_EQ(platform::HostPath("c:\\ZELK\\vek\\reg"), Root() + "/Zelk/Vek/Reg");
  EXPECT_EQ(platform::HostPath("C:\\"), Root());
  EXPECT_EQ(platform::HostPath("\\zelk\\Vek"), Root() + "/Zelk/Vek");
  EXPECT_EQ(platform::HostPath("C:reg"), d + "/Reg");
  EXPECT_EQ(platform::HostPath("D:\\Zelk"), std::nullopt);
  EXPECT_EQ(platform::HostPath("\\\\server\\share"), std::nullopt);
  EXPECT_EQ(platform::HostPath(""), std::nullopt);
  const std::string t = Real(box.temp);
  EXPECT_EQ(platform::HostPath(t + "/Zelk\\Vek\\F31.DAT"), t + "/Zelk/Vek/F31.DAT");

  // Opening through the path text finds the existing file in any case.
  platform::Stream s = platform::Stream::Open("REG\\SUB\\rm1960.dat", "rb");
  ASSERT_TRUE(s);
  std::string got;
  EXPECT_TRUE(s.ReadText(got, 10));
  EXPECT_EQ(got, "x");
}

TEST_F(FilesTest, SeesChangesMadeBehindItsBack) {
  const std::string d = Data();
  // First lookup of a missing name reads the folder.
  EXPECT_EQ(platform::HostPath("f10.dat"), d + "/f10.dat");
  box.Write("F10.DAT", "1");
  EXPECT_EQ(platform::HostPath("f10.dat"), d + "/F10.DAT");
  vektest::fs::rename(box.Path("F10.DAT"), box.Path("F10.dAt"));
  EXPECT_EQ(platform::HostPath("f10.dat"), d + "/F10.dAt");
  vektest::fs::remove(box.Path("F10.dAt"));
  EXPECT_EQ(platform::HostPath("f10.dat"), d + "/f10.dat");
  EXPECT_FALSE(platform::Exists("F10.DAT"));

  // A change in the same clock tick as the folder's previous change leaves
  // the folder's time as it was (coarse file system clocks).
  box.Write("tick.dat", "");
  EXPECT_EQ(platform::HostPath("TICK2.DAT"), d + "/TICK2.DAT");
  struct stat before;
  ASSERT_EQ(stat(box.data.c_str(), &before), 0);
  box.Write("Tick2.dat", "");
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, box.data.c_str(), times, 0), 0);
  EXPECT_EQ(platform::HostPath("TICK2.DAT"), d + "/Tick2.dat");

  // A later change, long after the folder was read, is seen too.
  EXPECT_EQ(platform::HostPath("late.dat"), d + "/late.dat");
  platform::SleepMs(150);
  box.Write("LATE.DAT", "1");
  EXPECT_EQ(platform::HostPath("late.dat"), d + "/LATE.DAT");

  // The layer's own creations, renames and deletions keep the index right.
  for (int i = 0; i < 300; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "F%04d.DAT", i);
    ASSERT_TRUE(platform::Stream::Open(name, "wb")) << name;
  }
  EXPECT_EQ(platform::HostPath("f0299.dat"), d + "/F0299.DAT");
  EXPECT_TRUE(platform::MoveFile("f0001.dat", "Moved.Dat"));
  EXPECT_EQ(platform::HostPath("MOVED.DAT"), d + "/Moved.Dat");
  EXPECT_EQ(platform::HostPath("f0001.dat"), d + "/f0001.dat");
  EXPECT_TRUE(platform::DeleteFile("f0002.DAT"));
  EXPECT_FALSE(platform::Exists("F0002.dat"));
  EXPECT_TRUE(platform::CreateFolder("Reg01"));
  EXPECT_EQ(platform::HostPath("REG01\\X"), d + "/Reg01/X");
  EXPECT_TRUE(platform::CopyFile("f0003.dat", "reg01\\Copy.DAT", true));
  EXPECT_EQ(platform::HostPath("REG01\\COPY.dat"), d + "/Reg01/Copy.DAT");
  EXPECT_EQ(box.List("Reg01"), std::vector<std::string>{"Copy.DAT"});

  // A folder that went away and came back under another spelling.
  EXPECT_TRUE(platform::DeleteFile("reg01\\copy.dat"));
  EXPECT_TRUE(platform::RemoveFolder("REG01"));
  box.Write("REG01/Other.DAT", "");
  EXPECT_EQ(platform::HostPath("reg01\\other.dat"), d + "/REG01/Other.DAT");
}

#endif

TEST_F(FilesTest, MoveNeverReplacesAndMovesReadOnlyFilesAndFolders) {
  box.Write("a.dat", "A");
  box.Write("b.dat", "B");
  box.Write("X/inner.dat", "I");
  box.MakeFolder("Y");

  EXPECT_FALSE(platform::MoveFile("a.dat", "B.DAT"));
  EXPECT_FALSE(platform::MoveFile("X", "y"));
  EXPECT_FALSE(platform::MoveFile("a.dat", "y"));
  EXPECT_FALSE(platform::MoveFile("missing.dat", "m.dat"));
  EXPECT_FALSE(platform::MoveFile("a.dat", "Nope\\a.dat"));
  EXPECT_EQ(box.Read("a.dat"), "A");
  EXPECT_EQ(box.Read("b.dat"), "B");
  EXPECT_EQ(box.Read("X/inner.dat"), "I");

  ASSERT_TRUE(platform::SetReadOnly("a.dat", true));
  EXPECT_TRUE(platform::MoveFile("A.DAT", "y\\c.dat"));
  EXPECT_EQ(box.Read("Y/c.dat"), "A");
  EXPECT_TRUE(platform::IsReadOnly("Y\\C.DAT"));

  EXPECT_TRUE(platform::MoveFile("x", "Z"));
  EXPECT_EQ(box.Read("Z/inner.dat"), "I");
  EXPECT_FALSE(box.Exists("X"));

  // Another letter case for the same entry renames it.
  EXPECT_TRUE(platform::MoveFile("b.dat", "B.DAT"));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"B.DAT", "Y", "Z"}));
  EXPECT_EQ(box.Read("B.DAT"), "B");
}

#ifndef _WIN32  // tmpfs
// The temporary folder may lie on another file system (tmpfs): files move by
// copy and delete there, as Windows moves files between volumes.
TEST_F(FilesTest, MovesFilesToAnotherFileSystem) {
  struct stat here, shm;
  if (stat(box.data.c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  char tmpl[] = "/dev/shm/vektest-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string other = tmpl;
  box.Write("F31.DAT", "data");
  box.Write("Keep.DAT", "keep");
  box.Write("Fotos/p.jpg", "p");
  ASSERT_TRUE(platform::SetReadOnly("f31.dat", true));
  std::ofstream(other + "/Keep.DAT") << "there";

  EXPECT_TRUE(platform::MoveFile("f31.dat", other + "/F31.DAT"));
  EXPECT_FALSE(box.Exists("F31.DAT"));
  EXPECT_EQ(box.Read(other + "/F31.DAT"), "data");
  EXPECT_TRUE(platform::IsReadOnly(other + "/F31.DAT"));
  EXPECT_FALSE(platform::MoveFile("keep.dat", other + "/KEEP.DAT"));
  EXPECT_EQ(box.Read("Keep.DAT"), "keep");
  EXPECT_EQ(box.Read(other + "/Keep.DAT"), "there");
  EXPECT_FALSE(platform::MoveFile("fotos", other + "/Fotos"));
  EXPECT_EQ(box.Read("Fotos/p.jpg"), "p");
  EXPECT_EQ(box.List(other), (std::vector<std::string>{"F31.DAT", "Keep.DAT"}));

  vektest::fs::permissions(other + "/F31.DAT", vektest::fs::perms::owner_write, vektest::fs::perm_options::add);
  vektest::fs::remove_all(other);
}

#endif

TEST_F(FilesTest, CopyRefusesWhatWindowsRefusesAndLeavesNoPartialTarget) {
  box.Write("src.dat", "new bytes");
  box.Write("old.dat", "old");

  EXPECT_FALSE(platform::CopyFile("src.dat", "OLD.DAT", true));
  EXPECT_EQ(box.Read("old.dat"), "old");
  EXPECT_TRUE(platform::CopyFile("SRC.DAT", "old.dat", false));
  EXPECT_EQ(box.Read("old.dat"), "new bytes");

  box.Write("ro.dat", "keep");
  ASSERT_TRUE(platform::SetReadOnly("ro.dat", true));
  EXPECT_FALSE(platform::CopyFile("src.dat", "ro.dat", false));
  EXPECT_EQ(box.Read("ro.dat"), "keep");

  // The read-only attribute travels with the copy, as on Windows.
  EXPECT_TRUE(platform::CopyFile("ro.dat", "ro2.dat", true));
  EXPECT_EQ(box.Read("ro2.dat"), "keep");
  EXPECT_TRUE(platform::IsReadOnly("ro2.dat"));

  EXPECT_FALSE(platform::CopyFile("missing.dat", "m.dat", false));
  EXPECT_FALSE(platform::CopyFile("src.dat", "NoFolder\\s.dat", false));
  box.MakeFolder("Sub");
  EXPECT_FALSE(platform::CopyFile("src.dat", "sub", false));
  EXPECT_FALSE(platform::CopyFile("Sub", "sub2", false));
  EXPECT_FALSE(platform::CopyFile("src.dat", "src.dat", false));
  EXPECT_EQ(box.Read("src.dat"), "new bytes");

  EXPECT_EQ(box.List(), (std::vector<std::string>{"Sub", "old.dat", "ro.dat", "ro2.dat", "src.dat"}));
}

TEST_F(FilesTest, DeleteAndFolderOperations) {
  box.Write("ro.dat", "x");
  box.Write("rw.dat", "x");
  box.Write("Full/f.dat", "x");
  box.MakeFolder("Empty");
  ASSERT_TRUE(platform::SetReadOnly("ro.dat", true));

  EXPECT_FALSE(platform::DeleteFile("RO.DAT"));
  EXPECT_TRUE(box.Exists("ro.dat"));
  EXPECT_FALSE(platform::DeleteFile("empty"));
  EXPECT_FALSE(platform::DeleteFile("missing.dat"));
  EXPECT_TRUE(platform::DeleteFile("RW.dat"));
  EXPECT_FALSE(box.Exists("rw.dat"));
  ASSERT_TRUE(platform::SetReadOnly("ro.dat", false));
  EXPECT_TRUE(platform::DeleteFile("ro.dat"));

  EXPECT_FALSE(platform::CreateFolder("EMPTY"));
  EXPECT_FALSE(platform::CreateFolder("No\\Such"));
  EXPECT_TRUE(platform::CreateFolder("New"));
  EXPECT_FALSE(platform::RemoveFolder("full"));
  EXPECT_FALSE(platform::RemoveFolder("full\\f.dat"));
  EXPECT_TRUE(platform::RemoveFolder("EMPTY"));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"Full", "New"}));
}

TEST_F(FilesTest, AttributesSizesAndReadOnly) {
  box.Write("f.dat", "12345");
  box.Write(".hidden", "");
  box.MakeFolder("Sub");

  EXPECT_EQ(platform::Attributes("F.DAT"), platform::kAttrArchive);
  EXPECT_EQ(platform::Attributes("sub"), platform::kAttrFolder);
  EXPECT_EQ(platform::Attributes(".HIDDEN"), platform::kAttrArchive | platform::kAttrHidden);
  EXPECT_EQ(platform::Attributes("nope"), std::nullopt);
  EXPECT_EQ(platform::FileSize("f.DAT"), 5);
  EXPECT_EQ(platform::FileSize("nope"), -1);
  EXPECT_TRUE(platform::Exists("SUB"));
  EXPECT_TRUE(platform::IsFolder("SUB"));
  EXPECT_FALSE(platform::IsFolder("f.dat"));
  EXPECT_FALSE(platform::Exists("D:\\f.dat"));

  EXPECT_FALSE(platform::IsReadOnly("f.dat"));
  EXPECT_TRUE(platform::SetReadOnly("f.dat", true));
  EXPECT_TRUE(platform::IsReadOnly("f.dat"));
  EXPECT_EQ(platform::Attributes("f.dat"), platform::kAttrArchive | platform::kAttrReadOnly);
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(stat(box.Path("f.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
#endif
  EXPECT_TRUE(platform::SetReadOnly("f.dat", false));
  EXPECT_FALSE(platform::IsReadOnly("f.dat"));
  EXPECT_FALSE(platform::SetReadOnly("nope", true));
}

TEST_F(FilesTest, FindFilesGivesSortedEntriesWithAttributes) {
  box.Write("b.DAT", "bb");
  box.Write("A.dat", "a");
  box.Write("c.txt", "c");
  box.Write(".hid.dat", "hhh");
  box.Write("Ro.DAT", "rrrr");
  box.Write("Sub.dat/inner.dat", "i");
  ASSERT_TRUE(platform::SetReadOnly("Ro.DAT", true));

  std::vector<FindEntry> found = platform::FindFiles("*.dat");
  ASSERT_EQ(Names(found), (std::vector<std::string>{".hid.dat", "A.dat", "b.DAT", "Ro.DAT", "Sub.dat"}));
  EXPECT_EQ(found[0].attributes, platform::kAttrHidden | platform::kAttrArchive);
  EXPECT_EQ(found[0].size, 3);
  EXPECT_EQ(found[1].attributes, platform::kAttrArchive);
  EXPECT_EQ(found[1].size, 1);
  EXPECT_EQ(found[2].size, 2);
  EXPECT_EQ(found[3].attributes, platform::kAttrReadOnly | platform::kAttrArchive);
  EXPECT_EQ(found[3].size, 4);
  EXPECT_EQ(found[4].attributes, platform::kAttrFolder);
  EXPECT_EQ(found[4].size, 0);

  std::vector<FindEntry> all = platform::FindFiles("*");
  EXPECT_EQ(Names(all), (std::vector<std::string>{".", "..", ".hid.dat", "A.dat", "b.DAT", "c.txt", "Ro.DAT",
                                                  "Sub.dat"}));
  EXPECT_EQ(all[0].attributes, platform::kAttrFolder);
  EXPECT_EQ(all[1].attributes, platform::kAttrFolder);

  EXPECT_EQ(Names(platform::FindFiles("SUB.DAT\\*")), (std::vector<std::string>{".", "..", "inner.dat"}));
  EXPECT_EQ(Names(platform::FindFiles("C:\\zelk\\vek\\r?.DAT")), std::vector<std::string>{"Ro.DAT"});
  EXPECT_EQ(Names(platform::FindFiles("a.DAT")), std::vector<std::string>{"A.dat"});
  EXPECT_EQ(Names(platform::FindFiles("..\\VEK\\sub.dat\\INNER.dat")), std::vector<std::string>{"inner.dat"});
  EXPECT_TRUE(platform::FindFiles("Missing\\*.dat").empty());
  EXPECT_TRUE(platform::FindFiles("nothing.dat").empty());
  EXPECT_TRUE(platform::FindFiles("Sub.dat\\").empty());
}

TEST(WildcardMatch, CaseBlindStarsAndQuestionMarks) {
  using platform::WildcardMatch;
  EXPECT_TRUE(WildcardMatch("*.DAT", "f10.dat"));
  EXPECT_TRUE(WildcardMatch("RM*.DAT", "rm1960.dat"));
  EXPECT_FALSE(WildcardMatch("RM*.DAT", "rm1960.dat.bak"));
  EXPECT_TRUE(WildcardMatch("L33*.DAT", "L33.DAT"));
  EXPECT_FALSE(WildcardMatch("?.dat", "ab.dat"));
  EXPECT_TRUE(WildcardMatch("??.dat", "ab.dat"));
  EXPECT_TRUE(WildcardMatch("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(WildcardMatch("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(WildcardMatch("*", ""));
  EXPECT_FALSE(WildcardMatch("", "x"));
  EXPECT_TRUE(WildcardMatch("\xC9*", "\xE9t\xE9"));
  EXPECT_FALSE(WildcardMatch("\xD7", "\xF7"));
  // Many stars against a long name that almost matches: must not explode.
  std::string name(4000, 'a');
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*", name));
}

TEST_F(FilesTest, BusyWhileAnotherProcessHoldsTheFileForWriting) {
  box.Write("F34.DAT", "0123456789");
  const std::string file = box.Path("F34.DAT").string();
  EXPECT_FALSE(platform::IsLockedByOther("f34.dat"));
  EXPECT_FALSE(platform::IsLockedByOther("missing.dat"));

  vektest::LockHolder holder(file);
  ASSERT_TRUE(holder.locked());
  EXPECT_TRUE(platform::IsLockedByOther("F34.dat"));
  EXPECT_TRUE(platform::IsLockedByOther("F34.DAT"));  // the probe itself takes nothing away
  // Reading is still possible meanwhile.
  platform::Stream s = platform::Stream::Open("f34.dat", "rb");
  ASSERT_TRUE(s);
  static_cast<void>(s.Close());
  holder.Release();
  EXPECT_FALSE(platform::IsLockedByOther("F34.DAT"));
}

// The same on every system while drive C: is a folder.
TEST_F(FilesTest, CurrentFolderAndDriveInsideDriveC) {
  box.MakeFolder(box.root / "Glebrium");
  EXPECT_EQ(platform::CurrentFolder(), "C:\\Zelk\\Vek");
  EXPECT_EQ(platform::CurrentDrive(), 'C');

  EXPECT_TRUE(platform::SetCurrentFolder("..\\..\\glebrium"));
  EXPECT_EQ(platform::CurrentFolder(), "C:\\Glebrium");
  EXPECT_TRUE(platform::SetCurrentFolder("\\"));
  EXPECT_EQ(platform::CurrentFolder(), "C:\\");
  EXPECT_TRUE(platform::SetCurrentFolder("c:\\ZELK\\VEK"));
  EXPECT_EQ(platform::CurrentFolder(), "C:\\Zelk\\Vek");
  EXPECT_FALSE(platform::SetCurrentFolder("Missing"));
  EXPECT_EQ(platform::CurrentFolder(), "C:\\Zelk\\Vek");
}

#ifndef _WIN32  // host paths and TMPDIR of the POSIX layer
TEST_F(FilesTest, CurrentFolderAndDriveOutsideDriveC) {
  EXPECT_FALSE(platform::SetCurrentFolder("D:\\"));
  EXPECT_EQ(platform::CurrentFolder(), "C:\\Zelk\\Vek");

  // Outside drive C: the host path, and "\" is the host's root.
  const std::string outside = Real(box.root.parent_path());
  ASSERT_TRUE(platform::SetCurrentFolder(outside));
  EXPECT_EQ(platform::CurrentFolder(), outside);
  EXPECT_EQ(platform::CurrentDrive(), 0);
  EXPECT_EQ(platform::HostPath("\\etc"), "/etc");
  EXPECT_EQ(platform::HostPath("c:\\zelk"), Root() + "/Zelk");

  // An unmapped drive C:.
  platform::SetDriveC("");
  EXPECT_EQ(platform::HostPath("C:\\Zelk"), std::nullopt);
  ASSERT_TRUE(platform::SetCurrentFolder(box.data.string()));
  EXPECT_EQ(platform::CurrentDrive(), 0);
  EXPECT_EQ(platform::CurrentFolder(), Data());
}

TEST_F(FilesTest, TemporaryFolderAndToday) {
  EXPECT_EQ(platform::TempFolder(), box.temp.string() + "/");
  setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(platform::TempFolder(), "/var/tmp/");
  unsetenv("TMPDIR");
  EXPECT_EQ(platform::TempFolder(), "/tmp/");

  platform::SetToday(platform::Date{2024, 2, 29});
  platform::Date d = platform::Today();
  EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2024, 2, 29}));
  setenv("VEKCONV_TODAY", "2011-03-04", 1);
  d = platform::Today();  // the explicit date wins
  EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2024, 2, 29}));
  platform::SetToday(std::nullopt);
  d = platform::Today();
  EXPECT_EQ((std::vector<int>{d.year, d.month, d.day}), (std::vector<int>{2011, 3, 4}));
  setenv("VEKCONV_TODAY", "2011-13-04", 1);  // not a date: the clock
  d = platform::Today();
  EXPECT_GE(d.year, 2024);
  unsetenv("VEKCONV_TODAY");
}

#endif

}  // namespace
