// Conf10.dat widening to the 665-byte layout.
#include <gtest/gtest.h>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fill;

class Step407Test : public vektest::SandboxTest {};

std::string OldConf(std::size_t length) {
  std::string s;
  for (std::size_t i = 0; i < length; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

TEST_F(Step407Test, OpensTheNewFieldOnceAndLeavesOtherLengthsAlone) {
  std::string old = OldConf(285);
  box.Write("Conf10.dat", old);
  steps::MigrateTo407(ui);
  std::string widened = old.substr(0, 190) + Fill(380) + old.substr(190);
  ASSERT_EQ(widened.size(), 665u);
  EXPECT_EQ(box.Read("Conf10.dat"), widened);
  EXPECT_EQ(ui.statuses, (std::vector<std::string>{"Convertendo 4.07"}));

  steps::MigrateTo407(ui);  // a second run finds the new layout
  EXPECT_EQ(box.Read("Conf10.dat"), widened);

  for (std::size_t length : {190u, 120u, 286u, 0u}) {
    box.Write("Conf10.dat", OldConf(length));
    steps::MigrateTo407(ui);
    EXPECT_EQ(box.Read("Conf10.dat"), OldConf(length)) << length;
  }
  box.Write("Conf10.dat", OldConf(191));
  steps::MigrateTo407(ui);
  EXPECT_EQ(box.Read("Conf10.dat"), OldConf(190) + Fill(380) + "I");
}

TEST_F(Step407Test, MovesLineFeedsAndCtrlZOfTheTailAsData) {
  // Read as text, a line feed would end the tail early and the 380 spaces
  // would overwrite the bytes behind it.
  std::string old = OldConf(285);
  old[200] = '\n';
  old[230] = '\x1A';
  old[240] = '\r';
  old[241] = '\n';
  box.Write("Conf10.dat", old);
  steps::MigrateTo407(ui);
  EXPECT_EQ(box.Read("Conf10.dat"), old.substr(0, 190) + Fill(380) + old.substr(190));
}

TEST_F(Step407Test, WithoutConf10NothingIsCreated) {
  steps::MigrateTo407(ui);
  EXPECT_TRUE(box.List().empty());
}

}  // namespace
