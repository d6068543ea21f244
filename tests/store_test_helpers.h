// Shared pieces of the record store tests.
#pragma once

#include <string>
#include <vector>

#include "tests/support/sandbox.h"

namespace storetest {

// "caption|icon|text" of every message shown, for whole-list comparisons.
inline std::vector<std::string> Shown(const vektest::RecordingUi& ui) {
  std::vector<std::string> out;
  for (const auto& m : ui.messages) {
    out.push_back(m.caption + "|" + std::to_string(static_cast<int>(m.icon)) + "|" + m.text);
  }
  return out;
}

inline std::string Msg(std::string_view caption, platform::Icon icon, std::string_view text) {
  return std::string(caption) + "|" + std::to_string(static_cast<int>(icon)) + "|" + std::string(text);
}

inline void MakeReadOnly(const vektest::Sandbox& box, const std::string& rel) {
  vektest::fs::permissions(box.Path(rel),
                           vektest::fs::perms::owner_write | vektest::fs::perms::group_write |
                               vektest::fs::perms::others_write,
                           vektest::fs::perm_options::remove);
}

}  // namespace storetest
