// Tests of the program as a technician runs it, on generated old
// installations: each under a root of its own (drive C:), with its own
// temporary folder root/tmp, converted as of 1 March 2011.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sample/install.h"
#include "tests/support/process.h"

namespace vektest {

inline const std::string kClosing = "A convers\xC3\xA3o foi realizada.";

class InstallationTest : public SandboxTest {
 protected:
  InstallationTest() { SetEnv("VEKCONV_TODAY", "2011-03-01"); }
  ~InstallationTest() override { UnsetEnv("VEKCONV_TODAY"); }

  // A generated old installation under root (with its own temporary folder
  // root/tmp), its legacy folder holding a member table too.
  void MakeInstallation(const fs::path& root, std::int64_t members = 300) {
    sample::SampleOptions o;
    o.members = members;
    o.seed = 11;
    std::string error;
    ASSERT_TRUE(sample::MakeSampleInstallation(root.string(), o, &error)) << error;
    box.Write(root / "Glebrium" / "F10R2.DAT", std::string(897, 'L'));
    fs::create_directories(root / "tmp");
  }

  // Runs the command ("convert", "status") on the installation under root.
  ProgramRun Run(const fs::path& root, const std::string& command, std::vector<std::string> more = {}) {
    SetEnv(kTempVariable, (root / "tmp").string());
    std::vector<std::string> args = {command, "--drive-c", root.string(), "-C", root.string()};
    args.insert(args.end(), more.begin(), more.end());
    ProgramRun r = RunProgram(VEKCONV_BINARY, args, root);
    SetEnv(kTempVariable, box.temp.string());
    return r;
  }
  ProgramRun Convert(const fs::path& root, std::vector<std::string> more = {}) {
    return Run(root, "convert", std::move(more));
  }

  // The converted files: the data folder and the temporary folder.
  std::map<std::string, std::string> State(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const fs::path& folder : {root / "Zelk", root / "tmp"}) {
      if (!fs::exists(folder)) continue;
      for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string rel = fs::relative(e.path(), root).generic_string();
        out[e.is_directory() ? rel + "/" : rel] = e.is_directory() ? "" : box.Read(e.path());
      }
    }
    return out;
  }

  // Every entry under root with its content and time of last change.
  std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      const std::string rel = fs::relative(e.path(), root).generic_string();
      // The temporary folder is the user's, where programs come and go.
      const std::string when =
          rel == "tmp" ? "" : std::to_string(e.last_write_time().time_since_epoch().count());
      out[e.is_directory() ? rel + "/" : rel] = (e.is_directory() ? "" : box.Read(e.path())) + "@" + when;
    }
    return out;
  }

  // The entries where two snapshots differ ("" when none).
  static std::string Differences(const std::map<std::string, std::string>& a,
                                 const std::map<std::string, std::string>& b) {
    std::string out;
    for (const auto& [k, v] : a) {
      auto it = b.find(k);
      if (it == b.end()) out += "  gone: " + k + "\n";
      else if (it->second != v) out += "  changed: " + k + "\n";
    }
    for (const auto& [k, v] : b) {
      if (!a.count(k)) out += "  new: " + k + "\n";
    }
    return out;
  }

  // An uninterrupted conversion of the same installation.
  std::map<std::string, std::string> Reference() {
    const fs::path ref = box.root / "reference";
    MakeInstallation(ref);
    ProgramRun r = Convert(ref);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return State(ref);
  }

  static void ExpectStoppedHonestly(const ProgramRun& r, int code, const std::string& words) {
    EXPECT_EQ(r.exit_code, code) << r.err;
    EXPECT_EQ(r.out.find(kClosing), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
  }
};

}  // namespace vektest
