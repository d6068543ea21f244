// The report of what a conversion changed.
#include <gtest/gtest.h>

#include "app/report.h"
#include "platform/files.h"
#include "steps/steps.h"
#include "store/housekeeping.h"
#include "tests/support/sandbox.h"

namespace {

class ReportTest : public vektest::SandboxTest {};

std::string Describe(const app::ChangeReport& r) {
  static const char* kinds[] = {"created", "rewritten", "renamed", "moved", "deleted"};
  std::string out;
  for (const app::Change& c : r.changes) {
    out += std::string(kinds[c.kind]) + " " + c.path + (c.folder ? "\\" : "");
    if (!c.to.empty()) out += " -> " + c.to.substr(c.kind == app::Change::kMoved ? r.retired_folder.size() + 1 : 0);
    out += " " + std::to_string(c.kind == app::Change::kDeleted ? c.size_before : c.size_after);
    if (c.records) out += " r" + std::to_string(*c.records);
    if (c.folder && c.kind == app::Change::kCreated) out += " f" + std::to_string(c.files);
    out += "\n";
  }
  return out;
}

TEST_F(ReportTest, TellsEachKindOfChangeOnce) {
  box.Write("F27.DAT", std::string(2000, 'a'));
  box.Write("F10R4.DAT", std::string(3000, 'b'));
  box.Write("F31.DAT", std::string(344, 'c'));
  box.Write("OLD1.DAT", std::string(10, 'd'));
  box.Write("OLD2.DAT", std::string(10, 'e'));
  box.Write("REG\\RM1990.DAT", "x");
  box.Write("REG/RM1990.DAT", "unit");
  box.Write("F22.DAT", std::string(113, 'f'));
  // Something retired by an earlier run is not this run's doing.
  box.Write(box.temp / "Zelk" / "Vek" / "F22.DAT", "earlier");

  app::ConversionWatch watch;
  ASSERT_TRUE(platform::MoveFile("F27.DAT", "F02R1.DAT"));
  box.Write("F10R4.DAT", std::string(3000, 'B'));  // same size, new content
  store::MoveToTemp("F31.DAT", steps::kRetiredSubfolder);
  store::MoveToTemp("REG", steps::kRetiredSubfolder);
  store::MoveToTemp("F22.DAT", steps::kRetiredSubfolder);  // becomes F22.DAT.001
  // Made by the run and retired by it: it was never in the data folder before.
  box.Write("F10R3.DAT", std::string(1501, 'h'));
  store::MoveToTemp("F10R3.DAT", steps::kRetiredSubfolder);
  ASSERT_TRUE(platform::DeleteFile("OLD1.DAT"));
  ASSERT_TRUE(platform::DeleteFile("OLD2.DAT"));
  // New files may take the ids of deleted ones: they are still new files.
  box.Write("F40.DAT", std::string(1000, 'g'));
  box.Write("X01/26/0007-1.jpg", "jpeg");
  box.Write("X01/01/logo.gif", "gif89");

  app::ChangeReport r = watch.Finish();
  EXPECT_EQ(Describe(r),
            "created F40.DAT 1000 r2\n"
            "created X01\\ 9 f2\n"
            "rewritten F10R4.DAT 3000 r3\n"
            "renamed F27.DAT -> F02R1.DAT 2000 r2\n"
            "moved F22.DAT -> F22.DAT.001 113\n"
            "moved F31.DAT -> F31.DAT 344\n"
            "moved REG\\ -> REG 0\n"
            "moved F10R3.DAT -> F10R3.DAT 1501\n"
            "deleted OLD1.DAT 10\n"
            "deleted OLD2.DAT 10\n");

  std::string table = app::FormatReport(r);
  EXPECT_NE(table.find("2 created, 1 rewritten, 1 renamed, 4 moved to "), std::string::npos) << table;
  EXPECT_NE(table.find("F22.DAT -> F22.DAT.001"), std::string::npos) << table;
  std::string json = app::ReportJson(r);
  EXPECT_NE(json.find("\"change\": \"renamed\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"to\": \"F02R1.DAT\""), std::string::npos) << json;
}

TEST_F(ReportTest, NothingChangedSaysSo) {
  box.Write("F10R4.DAT", std::string(1000, 'b'));
  app::ConversionWatch watch;
  app::ChangeReport r = watch.Finish();
  EXPECT_TRUE(r.changes.empty());
  EXPECT_NE(app::FormatReport(r).find("nothing changed"), std::string::npos);
}

}  // namespace
