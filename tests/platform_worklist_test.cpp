#include <algorithm>
#include <random>

#include "platform/ui.h"
#include "platform/worklist.h"
#include "tests/support/sandbox.h"

namespace {

using platform::WorkList;

std::vector<std::string> Contents(const WorkList& l) {
  std::vector<std::string> out;
  std::string s;
  for (int i = 0; l.GetText(i, s) >= 0; ++i) out.push_back(s);
  return out;
}

TEST(WorkList, ListBoxResults) {
  WorkList l;
  EXPECT_EQ(l.Add("b"), 0);
  EXPECT_EQ(l.Add("A"), 0);
  EXPECT_EQ(l.Add("c"), 2);
  EXPECT_EQ(l.Add("B"), 2);  // after the equal "b"
  EXPECT_EQ(l.Add("b"), 3);
  EXPECT_EQ(Contents(l), (std::vector<std::string>{"A", "b", "B", "b", "c"}));
  EXPECT_EQ(l.Count(), 5);
  EXPECT_EQ(l.FindExact("C"), 4);
  EXPECT_EQ(l.FindExact("B"), 1);
  EXPECT_EQ(l.FindExact("bb"), -1);
  EXPECT_EQ(l.FindExact(""), -1);
  std::string s = "keep";
  EXPECT_EQ(l.GetText(5, s), -1);
  EXPECT_EQ(l.GetText(-1, s), -1);
  EXPECT_EQ(l.GetText(4, s), 1);
  EXPECT_EQ(s, "c");
  EXPECT_EQ(l.Get(5), nullptr);
  EXPECT_TRUE(l.Delete(1));
  EXPECT_FALSE(l.Delete(4));
  EXPECT_FALSE(l.Delete(-1));
  EXPECT_EQ(Contents(l), (std::vector<std::string>{"A", "B", "b", "c"}));
  l.Reset();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.FindExact("a"), -1);
  EXPECT_EQ(l.FindPrefix("a", 1), -1);
}

TEST(WorkList, OrderFoldsCodePage1252Letters) {
  WorkList l;
  l.Add("\xE9lan");  // e acute
  l.Add("Zeta");
  l.Add("_x");
  l.Add("ax");
  l.Add("\xC9LAN");
  EXPECT_EQ(Contents(l), (std::vector<std::string>{"_x", "ax", "Zeta", "\xE9lan", "\xC9LAN"}));
  EXPECT_EQ(l.FindExact("\xC9lan"), 3);
  EXPECT_EQ(WorkList::Compare("\x8A", "\x9A"), 0);
  EXPECT_EQ(WorkList::Compare("\x9F", "\xFF"), 0);
  EXPECT_LT(WorkList::Compare("ab", "abc"), 0);
  EXPECT_GT(WorkList::Compare("b", "ABC"), 0);
  EXPECT_EQ(WorkList::CompareN("abcX", "ABCy", 3), 0);
  EXPECT_LT(WorkList::CompareN("ab", "abc", 3), 0);
  EXPECT_EQ(WorkList::CompareN("ab", "AB", 5), 0);
}

TEST(WorkList, FindPrefixGivesTheFirstEntryInListOrder) {
  WorkList l;
  l.Add("key2 z");
  l.Add("KEY1 second");
  l.Add("key1 first");
  l.Add("key1 FIRST");
  l.Add("key0");
  l.Add("ab");
  l.Add("abc");
  // ab, abc, key0, key1 first, key1 FIRST, KEY1 second, key2 z
  EXPECT_EQ(l.FindPrefix("KEY1 zzz", 4), 3);
  EXPECT_EQ(l.FindPrefix("key1 first", 10), 3);
  EXPECT_EQ(l.FindPrefix("key2", 4), 6);
  EXPECT_EQ(l.FindPrefix("key3", 4), -1);
  EXPECT_EQ(l.FindPrefix("abz", 3), -1);  // a shorter entry must equal the key
  EXPECT_EQ(l.FindPrefix("ab", 3), 0);
  EXPECT_EQ(l.FindPrefix("ABC", 3), 1);
  EXPECT_EQ(l.FindPrefix("anything", 0), 0);
}

// A plain sorted vector: insert after equal entries, search from the start.
struct NaiveList {
  std::vector<std::string> v;
  int Add(const std::string& s) {
    auto it = std::upper_bound(v.begin(), v.end(), s,
                               [](const std::string& a, const std::string& b) { return WorkList::Compare(a, b) < 0; });
    int i = static_cast<int>(it - v.begin());
    v.insert(it, s);
    return i;
  }
  int FindPrefix(const std::string& k, std::size_t n) const {
    for (std::size_t i = 0; i < v.size(); ++i)
      if (WorkList::CompareN(v[i], k, n) == 0) return static_cast<int>(i);
    return -1;
  }
  int FindExact(const std::string& k) const {
    for (std::size_t i = 0; i < v.size(); ++i)
      if (WorkList::Compare(v[i], k) == 0) return static_cast<int>(i);
    return -1;
  }
};

TEST(WorkList, RandomOperationsMatchANaiveList) {
  std::mt19937 rng(4242);
  // A zero byte and texts around eight and sixteen characters long try the heads
  // that lookups compare first.
  const char letters[] = {'a', 'A', 'b', 'B', '\xE9', '\xC9', '_', '1', '\0'};
  auto random_text = [&] {
    std::string s;
    std::size_t n = 1 + rng() % 18;
    for (std::size_t i = 0; i < n; ++i) s.push_back(letters[rng() % 9]);
    s += '#';  // a number behind it distinguishes equal-folding entries
    s += std::to_string(rng() % 1000);
    return s;
  };
  WorkList l;
  NaiveList naive;
  // Grow, shrink to empty, grow again: chunks split, merge and disappear.
  const int targets[] = {2500, 0, 1200};
  int op = 0;
  for (int target : targets) {
    while (naive.v.size() != static_cast<std::size_t>(target) || op % 7 != 0) {
      ++op;
      bool grow = naive.v.size() < static_cast<std::size_t>(target);
      if ((grow && rng() % 4 != 0) || naive.v.empty()) {
        std::string s = random_text();
        ASSERT_EQ(l.Add(s), naive.Add(s)) << s;
      } else if (rng() % 3 == 0) {
        // Replace is Delete followed by Add, whether it stays in place or not;
        // a text that extends the entry usually keeps its place.
        int i = static_cast<int>(rng() % naive.v.size());
        std::string s = rng() % 2 ? naive.v[i] + letters[rng() % 9] : random_text();
        naive.v.erase(naive.v.begin() + i);
        ASSERT_EQ(l.Replace(i, s), naive.Add(s)) << s;
      } else {
        int i = static_cast<int>(rng() % naive.v.size());
        ASSERT_TRUE(l.Delete(i));
        naive.v.erase(naive.v.begin() + i);
      }
      std::string key = random_text();
      std::size_t n = rng() % 22;
      ASSERT_EQ(l.FindPrefix(key, n), naive.FindPrefix(key, n)) << key << " " << n;
      if (!naive.v.empty()) {
        int i = static_cast<int>(rng() % naive.v.size());
        ASSERT_EQ(*l.Get(i), naive.v[i]);
        ASSERT_EQ(l.FindExact(naive.v[i]), naive.FindExact(naive.v[i]));
      }
      ASSERT_EQ(l.Count(), static_cast<int>(naive.v.size()));
      if (naive.v.empty() && target == 0) break;
    }
    ASSERT_EQ(Contents(l), naive.v);
  }
}

class CountingUi : public platform::Ui {
 public:
  void SetStatus(std::string_view) override {}
  platform::Answer MessageBox(std::string_view, std::string_view, platform::Icon, platform::Buttons) override {
    return platform::Answer::kYes;
  }
  void ShowWaitCursor(bool wait) override { changes.push_back(wait); }
  std::vector<bool> changes;
};

TEST(Ui, ActiveUiWaitCursorAndTerminalText) {
  platform::Ui& silent = platform::ActiveUi();
  EXPECT_EQ(silent.MessageBox("q?", "c", platform::Icon::kQuestion, platform::Buttons::kYesNo),
            platform::Answer::kNo);
  EXPECT_EQ(silent.MessageBox("i", "c", platform::Icon::kInformation), platform::Answer::kOk);

  CountingUi ui;
  platform::SetActiveUi(&ui);
  EXPECT_EQ(&platform::ActiveUi(), &ui);
  {
    platform::WaitCursor outer;
    EXPECT_TRUE(ui.wait_cursor());
    {
      platform::WaitCursor inner(ui);
    }
    EXPECT_TRUE(ui.wait_cursor());
  }
  EXPECT_FALSE(ui.wait_cursor());
  EXPECT_EQ(ui.changes, (std::vector<bool>{true, false}));
  platform::SetActiveUi(nullptr);
  EXPECT_EQ(&platform::ActiveUi(), &silent);

  EXPECT_EQ(platform::Cp1252ToUtf8("Convers\xE3o \x80 \x93x\x94 \x81|\x9F\xFF"),
            "Convers\xC3\xA3o \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xEF\xBF\xBD|\xC5\xB8\xC3\xBF");
}

}  // namespace
