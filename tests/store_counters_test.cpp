#include "store/counters.h"
#include "tests/store_test_helpers.h"

namespace {

using platform::Icon;
using storetest::Msg;
using storetest::Shown;
using vektest::Fields;

class CountersTest : public vektest::SandboxTest {};

std::string Counter(std::string_view k1, std::string_view k2, std::string_view value) {
  return Fields({{k1, 10}, {k2, 10}, {value, 10}});
}

TEST_F(CountersTest, CountersAreIssuedWrappedAndStoredInPlace) {
  long value = 77;
  EXPECT_EQ(store::ReadCounter("", "14", value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(box.Exists("F34.DAT"));

  // A new counter starts at 1 (width 0 acts as 6) and is appended.
  EXPECT_EQ(store::MacroCodeCad("CAD", "14", value, 0, store::kCounterNext), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(box.Read("F34.DAT"), "CAD       14        1         ");
  EXPECT_EQ(store::MacroCodeCad("cad", "14", value, 0, store::kCounterNext), 1);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(box.Read("F34.DAT"), Counter("cad", "14", "2"));

  // Another key goes after it; storing rewrites in place.
  EXPECT_EQ(store::StoreCounter("", "3", 999), 1);
  EXPECT_EQ(store::StoreCounter("cad", "14", 8), 1);
  EXPECT_EQ(box.Read("F34.DAT"), Counter("cad", "14", "8") + Counter("", "3", "999"));

  // The largest value of the width starts the sequence again.
  EXPECT_EQ(store::MacroCodeCad("", "3", value, 3, store::kCounterNext), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(store::MacroCodeCad("CAD", "14", value, 1, store::kCounterNext), 1);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(box.Read("F34.DAT"), Counter("CAD", "14", "9") + Counter("", "3", "1"));

  EXPECT_EQ(store::ReadCounter("", "3", value), 1);
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CountersTest, UnreadableValuesReadAsZeroAndDeletedCountersAreNew) {
  box.Write("F34.DAT", Counter("", "A", "abc") + Counter("", "B", "-5") + Counter("", "C", "9999999999") +
                           Counter("", "D", "41") + "          E         77       +");
  long value = 1;
  for (const char* key : {"A", "B", "C", "E"}) {
    value = 1;
    EXPECT_EQ(store::ReadCounter("", key, value), 1) << key;
    EXPECT_EQ(value, 0) << key;
  }
  EXPECT_EQ(store::MacroCodeCad("", "D", value, 2, store::kCounterNext), 1);
  EXPECT_EQ(value, 42);
  // The flagged record of E is passed over: E is added as a new counter.
  EXPECT_EQ(store::StoreCounter("", "E", 5), 1);
  EXPECT_EQ(box.Read("F34.DAT"), Counter("", "A", "abc") + Counter("", "B", "-5") +
                                     Counter("", "C", "9999999999") + Counter("", "D", "42") +
                                     "          E         77       +" + Counter("", "E", "5"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CountersTest, AValueFieldCutShortIsReportedAndNothingIsStored) {
  // The key is complete but the value field lies past the end of the file.
  const std::string cut = "          K         ";
  box.Write("F34.DAT", cut);
  long value = 5;
  EXPECT_EQ(store::MacroCodeCad("", "K", value, 6, store::kCounterNext), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(box.Read("F34.DAT"), cut);
  EXPECT_EQ(Shown(ui), (std::vector<std::string>{Msg("MacroCodeCad", Icon::kError,
                                                     "Erro ao abrir ou posicionar arquivo de contadores.")}));
}

}  // namespace
