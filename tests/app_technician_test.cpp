// What a technician asks before converting a client's only copy: where the
// installation stands (status) and what a conversion would change (a dry
// run), both without touching it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/installation.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace {

namespace fs = std::filesystem;
using vektest::ProgramRun;
using Technician = vektest::InstallationTest;

std::vector<std::string> States(const nlohmann::json& status) {
  std::vector<std::string> out;
  for (const auto& step : status["steps"]) out.push_back(step["state"]);
  return out;
}

std::vector<std::string> Repeat(const std::string& s, std::size_t n) { return std::vector<std::string>(n, s); }

TEST_F(Technician, StatusTellsWhatIsLeftAndChangesNothing) {
  const fs::path root = box.root / "inst";
  MakeInstallation(root);
  const auto before = Snapshot(root);

  ProgramRun fresh = Run(root, "status", {"--json"});
  ASSERT_EQ(fresh.exit_code, 0) << fresh.err;
  const nlohmann::json j = nlohmann::json::parse(fresh.out);
  EXPECT_EQ(States(j), Repeat("pending", 13));
  EXPECT_EQ(j["conversion_log"], nlohmann::json::array());
  EXPECT_FALSE(j["nothing_to_convert"]);
  // What the import would bring: what the data folder lacks.
  std::vector<nlohmann::json> imported(j["steps"][0]["reads"].begin(), j["steps"][0]["reads"].end());
  std::sort(imported.begin(), imported.end());
  EXPECT_EQ(nlohmann::json(imported), nlohmann::json::parse(R"([{"path": "C:\\Glebrium\\F23.DAT", "size": 200},
                                                                  {"path": "C:\\Glebrium\\REG\\RM1960.DAT", "size": 90}])"));
  EXPECT_EQ(Differences(before, Snapshot(root)), "");

  // An interrupted conversion: the steps it committed are done, the one it
  // was in is interrupted.
  box.Write(root / "Zelk" / "Vek" / "VEKCONV.RUN", "next 3 today 2011-03-01\r\n");
  fs::create_directories(root / "Zelk" / "Vek" / "VEKCONV.STG");
  const nlohmann::json cut = nlohmann::json::parse(Run(root, "status", {"--json"}).out);
  EXPECT_EQ(States(cut), (std::vector<std::string>{"done", "done", "done", "interrupted", "pending", "pending",
                                                   "pending", "pending", "pending", "pending", "pending",
                                                   "pending", "pending"}));
  fs::remove(root / "Zelk" / "Vek" / "VEKCONV.RUN");
  fs::remove(root / "Zelk" / "Vek" / "VEKCONV.STG");

  // Converted (the payment methods' empty table comes with the second run):
  // nothing is left, and the status says so.
  ASSERT_EQ(Convert(root).exit_code, 0);
  ASSERT_EQ(Convert(root).exit_code, 0);
  ProgramRun done = Run(root, "status");
  EXPECT_EQ(done.exit_code, 0) << done.err;
  EXPECT_NE(done.out.find("\nConversion log: 530 543 544 559\nLegacy folder C:\\Glebrium: nothing to import\n"
                          "Nothing to convert.\n"),
            std::string::npos)
      << done.out;
  EXPECT_EQ(States(nlohmann::json::parse(Run(root, "status", {"--json"}).out)), Repeat("done", 13));

  // A file cut short is a warning; the status is still read.
  const fs::path members = root / "Zelk" / "Vek" / "F10R4.DAT";
  const std::string table = box.Read(members);
  box.Write(members, table + "12345");
  ProgramRun damaged = Run(root, "status");
  EXPECT_EQ(damaged.exit_code, 0) << damaged.err;
  EXPECT_NE(damaged.out.find("Warnings:\n  F10R4.DAT: " + std::to_string(table.size() + 5) +
                             " bytes, not a whole number of records of 1000 bytes (5 bytes over)\n"),
            std::string::npos)
      << damaged.out;
  box.Write(members, table);

  // A read-only copy: read, and left as it was.
  for (const auto& e : fs::recursive_directory_iterator(root / "Zelk")) {
    fs::permissions(e.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  const auto read_only = Snapshot(root);
  ProgramRun ro = Run(root, "status");
  EXPECT_EQ(ro.exit_code, 0) << ro.err;
  EXPECT_NE(ro.out.find("Nothing to convert."), std::string::npos) << ro.out;
  EXPECT_EQ(Differences(read_only, Snapshot(root)), "");
  for (const auto& e : fs::recursive_directory_iterator(root / "Zelk")) {
    fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
  }
}

// The changes of a JSON report, with the root of the installation taken out
// of their paths.
nlohmann::json Changes(const std::string& report, const fs::path& root) {
  nlohmann::json j = nlohmann::json::parse(report);
  for (auto& c : j["changes"]) {
    if (!c.contains("to")) continue;
    std::string to = c["to"];
    if (to.compare(0, root.string().size(), root.string()) == 0) c["to"] = to.substr(root.string().size());
  }
  return j["changes"];
}

// On Windows the data folder is held by a file of its own, made and removed
// again, which gives the folder a new time: all else stays.
std::map<std::string, std::string> WithoutHold(std::map<std::string, std::string> tree) {
#ifdef _WIN32
  tree.erase("Zelk/Vek/");
#endif
  return tree;
}

TEST_F(Technician, ADryRunReportsWhatAConversionChangesAndLeavesEverythingAsItWas) {
  const fs::path root = box.root / "inst";
  MakeInstallation(root);
  const auto before = Snapshot(root);
  ProgramRun dry = Convert(root, {"--dry-run", "--report", (box.root / "dry.json").string()});
  ASSERT_EQ(dry.exit_code, 0) << dry.err;
  EXPECT_NE(dry.out.find("Changes a conversion would make in C:\\Zelk\\Vek:\n"), std::string::npos) << dry.out;
  // Not a byte, not a time changed; the copy is gone from the temporary folder.
  EXPECT_EQ(Differences(WithoutHold(before), WithoutHold(Snapshot(root))), "");

  // The same report as a conversion of the same installation.
  const fs::path other = box.root / "other";
  MakeInstallation(other);
  ProgramRun real = Convert(other, {"--report", (box.root / "real.json").string()});
  ASSERT_EQ(real.exit_code, 0) << real.err;
  const nlohmann::json dry_changes = Changes(box.Read(box.root / "dry.json"), root);
  EXPECT_GT(dry_changes.size(), 50u);
  EXPECT_EQ(dry_changes, Changes(box.Read(box.root / "real.json"), other));

  // A conversion that stops stops the dry run the same way; its copy goes.
  const fs::path f19 = root / "Zelk" / "Vek" / "F19.DAT";
  box.Write(f19, "old");
  fs::permissions(f19, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const auto stopping = Snapshot(root);
  ProgramRun stopped = Convert(root, {"--dry-run"});
  ExpectStoppedHonestly(stopped, 1, "F19.DAT");
  EXPECT_EQ(Differences(WithoutHold(stopping), WithoutHold(Snapshot(root))), "");
}

#ifndef _WIN32
TEST_F(Technician, ADryRunInterruptedWithCtrlCRemovesItsCopy) {
  const fs::path root = box.root / "inst";
  MakeInstallation(root, 5000);
  const auto before = Snapshot(root);
  const std::string drive = root.string();
  const std::string tmp = (root / "tmp").string();
  const pid_t child = fork();
  if (child == 0) {
    setenv(vektest::kTempVariable, tmp.c_str(), 1);
    execl(VEKCONV_BINARY, VEKCONV_BINARY, "convert", "--dry-run", "--drive-c", drive.c_str(), "-C", drive.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(child, 0);
  // Interrupted once its copy is there.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (fs::is_empty(root / "tmp") && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(Differences(before, Snapshot(root)), "");
}
#endif

}  // namespace
