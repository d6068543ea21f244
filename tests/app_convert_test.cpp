// The vekconv program as a technician runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/process.h"

namespace {

using vektest::ProgramRun;

class ConvertCommandTest : public vektest::SandboxTest {
 protected:
  // Runs vekconv with the arguments in the folder, capturing its output.
  ProgramRun Vekconv(const std::vector<std::string>& args, const vektest::fs::path& folder) {
    return vektest::RunProgram(VEKCONV_BINARY, args, folder);
  }
};

TEST_F(ConvertCommandTest, ConvertsTheDataFolderOfDriveCAndCanRunAgain) {
  std::string old(285, 'x');
  box.Write("Conf10.dat", old);
  std::string root = box.root.string();

  ProgramRun first = Vekconv({"convert", "--drive-c", root, "--report", root + "/report.json"}, box.root);
  EXPECT_EQ(first.exit_code, 0) << first.err;
  const std::string closing = "A convers\xC3\xA3o foi realizada.\n";
  EXPECT_EQ(first.out.substr(0, closing.size()), closing);
  // Then the report of what changed.
  EXPECT_NE(first.out.find("\n  moved      Conf10.dat -> Conf10.dat "), std::string::npos) << first.out;
  // Without old tables the conversion still lays down the current empty ones
  // and the default payment methods.
  EXPECT_NE(first.out.find("\n5 created, 0 rewritten, 0 renamed, 1 moved to "), std::string::npos) << first.out;
  EXPECT_NE(box.Read(box.root / "report.json").find("\"change\": \"moved\""), std::string::npos);
  EXPECT_NE(first.err.find("Convertendo 4.07\n"), std::string::npos) << first.err;
  // Widened, then put away in the temporary folder by the cleanup.
  std::string widened = old.substr(0, 190) + std::string(380, ' ') + old.substr(190);
  EXPECT_FALSE(box.Exists("Conf10.dat"));
  EXPECT_EQ(box.Read(box.temp / "Zelk" / "Vek" / "Conf10.dat"), widened);

  ProgramRun second = Vekconv({"convert", "--drive-c", root}, box.root);
  EXPECT_EQ(second.exit_code, 0);
  // The second run only adds the empty payment-method file, which the first
  // run could not make before the default methods existed.
  EXPECT_NE(second.out.find("\n  created    F03R0.DAT "), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("\n1 created, 0 rewritten, 0 renamed, 0 moved"), std::string::npos) << second.out;
  EXPECT_EQ(box.List(box.temp / "Zelk" / "Vek"), (std::vector<std::string>{"Conf10.dat"}));
}

TEST_F(ConvertCommandTest, OutsideDriveCTheStartFolderIsConverted) {
  // No drive C: given: the program converts the folder it was started in.
  vektest::fs::path elsewhere = box.root / "copy";
  box.Write(elsewhere / "Conf10.dat", std::string(200, 'y'));
  ProgramRun r = Vekconv({"convert", "-C", elsewhere.string()}, box.root);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_FALSE(box.Exists(elsewhere / "Conf10.dat"));
  EXPECT_EQ(box.Read(box.temp / "Zelk" / "Vek" / "Conf10.dat"),
            std::string(190, 'y') + std::string(380, ' ') + std::string(10, 'y'));
}

TEST_F(ConvertCommandTest, ARelativeDriveCStaysTheFolderItNamedAtTheStart) {
  // Started beside the installation with relative names: the data folder is
  // converted, not the root of drive C.
  box.Write("Conf10.dat", std::string(285, 'r'));
  ProgramRun r = Vekconv({"convert", "--drive-c", box.root.filename().string(), "-C",
                          box.root.filename().string()},
                         box.root.parent_path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Pasta: C:\\Zelk\\Vek"), std::string::npos) << r.err;
  EXPECT_FALSE(box.Exists(box.root / "CONV.DAT"));
  EXPECT_TRUE(box.Exists(box.temp / "Zelk" / "Vek" / "Conf10.dat"));
}

TEST_F(ConvertCommandTest, AMissingFolderIsReportedAndNothingIsTouched) {
  box.Write("Conf10.dat", std::string(285, 'z'));
  ProgramRun r = Vekconv({"convert", "--drive-c", (box.root / "nowhere").string()}, box.root);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
  EXPECT_EQ(box.Read("Conf10.dat"), std::string(285, 'z'));

  r = Vekconv({"convert", "-C", (box.root / "nowhere").string()}, box.root);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(box.Read("Conf10.dat"), std::string(285, 'z'));
}

TEST_F(ConvertCommandTest, HelpAndVersion) {
  ProgramRun help = Vekconv({"--help"}, box.root);
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("convert"), std::string::npos);
  ProgramRun version = Vekconv({"--version"}, box.root);
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("vekconv ", 0), 0u) << version.out;
}

TEST_F(ConvertCommandTest, DemoConvertsASampleInAFolderGivenRelatively) {
  // Started in ROOT with a relative folder: the demo works inside it, and its
  // retired files stay beside it instead of in the user's temporary folder.
  ProgramRun demo = Vekconv({"demo", "sample", "--members", "20"}, box.root);
  ASSERT_EQ(demo.exit_code, 0) << demo.err;
  EXPECT_NE(demo.out.find("A convers\xC3\xA3o foi realizada.\n"), std::string::npos) << demo.out;
  EXPECT_NE(demo.out.find("  created    F10R4.DAT "), std::string::npos) << demo.out;
  EXPECT_TRUE(box.Exists(box.root / "sample" / "Zelk" / "Vek" / "F10R4.DAT"));
  EXPECT_TRUE(box.Exists(box.root / "sample" / "tmp" / "Zelk" / "Vek" / "F10R2.DAT"));
  EXPECT_FALSE(box.Exists(box.temp / "Zelk"));

  // A folder that holds a data folder already is never written over.
  ProgramRun again = Vekconv({"demo", "sample"}, box.root);
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_TRUE(box.Exists(box.root / "sample" / "Zelk" / "Vek" / "F10R4.DAT"));
}

TEST_F(ConvertCommandTest, InALogOnlyTheStepTextsAppear) {
  // No live line, no progress and no control characters where stderr is no terminal.
  ProgramRun demo = Vekconv({"demo", "sample", "--members", "2000"}, box.root);
  ASSERT_EQ(demo.exit_code, 0) << demo.err;
  EXPECT_EQ(demo.err,
            "Glebrium 5.61 - Pasta: C:\\Zelk\\Vek\n"
            "Convertendo 3.70\nConvertendo 3.70\nConvertendo 4.00\nConvertendo 4.07\nConvertendo 4.31\n"
            "Convertendo 4.35\nConvertendo 4.51\nConvertendo 4.69\n");
}

}  // namespace
