#include <array>

#include "platform/files.h"
#include "store/open.h"
#include "store/records.h"
#include "tests/store_test_helpers.h"
#include "text/cp1252.h"

namespace {

using platform::Icon;
using storetest::Msg;
using storetest::Shown;
using vektest::Fields;
using vektest::Fill;

class RecordsTest : public vektest::SandboxTest {};

// 100-byte records: code 0/10, key 10/10, text 20/79, flag byte 99.
std::string Rec(std::string_view code, std::string_view key, std::string_view text = "", char flag = ' ') {
  return Fields({{code, 10}, {key, 10}, {text, 79}, {std::string_view(&flag, 1), 1}});
}

TEST_F(RecordsTest, DelItem1MovesTheLastRecordIntoTheSlotAndShortensTheFile) {
  // The last record carries a tab and a UTF-8 letter, which the move cleans.
  const std::string last = Fields({{"R4", 10}, {"K4", 10}, {"Jos\xC3\xA9\tX", 80}});
  const std::string r0 = Rec("R0", "K0"), r1 = Rec("R1", "K1"), r2 = Rec("R2", "K2"), r3 = Rec("R3", "K3");
  box.Write("F.DAT", r0 + r1 + r2 + r3 + last);

  EXPECT_EQ(store::DelItem1("F.DAT", 1, 100), 1);
  const std::string cleaned = Fields({{"R4", 10}, {"K4", 10}, {"Jos\xE9 X", 80}});
  EXPECT_EQ(box.Read("F.DAT"), r0 + cleaned + r2 + r3);

  // The last record itself: only shortened, its bytes are not rewritten.
  EXPECT_EQ(store::DelItem1("F.DAT", 3, 100), 1);
  EXPECT_EQ(box.Read("F.DAT"), r0 + cleaned + r2);
  EXPECT_TRUE(ui.messages.empty());

  // Past the last record, negative, or without a record length: nothing changes.
  EXPECT_EQ(store::DelItem1("F.DAT", 3, 100), 0);
  EXPECT_EQ(store::DelItem1("F.DAT", -1, 100), 0);
  EXPECT_EQ(store::DelItem1("F.DAT", 0, 0), 0);
  EXPECT_EQ(store::DelItem1("MISSING.DAT", 0, 100), 0);
  EXPECT_EQ(box.Read("F.DAT"), r0 + cleaned + r2);
  EXPECT_EQ(Shown(ui), (std::vector<std::string>{
                           Msg("DelItem1", Icon::kError, "Erro ao excluir o item."),
                           Msg("DelItem1", Icon::kError, "Erro ao excluir o item."),
                           Msg("DelItem1", Icon::kError, "Erro ao excluir o item."),
                           Msg("DelItem1", Icon::kError, "Erro ao abrir arquivo."),
                       }));

  // A read-only file is made writable; deleting the only record empties it.
  box.Write("ONE.DAT", r0);
  storetest::MakeReadOnly(box, "ONE.DAT");
  EXPECT_EQ(store::DelItem1("ONE.DAT", 0, 100), 1);
  EXPECT_EQ(box.Read("ONE.DAT"), "");
  EXPECT_FALSE(ui.wait_cursor());
}

TEST_F(RecordsTest, DelItem1KeepsEveryByteOfAShortOrLineBrokenLastRecord) {
  const std::string r0 = Rec("R0", "K0"), r1 = Rec("R1", "K1");
  // A last record cut short after 30 bytes, with a line feed inside.
  box.Write("F.DAT", r0 + r1 + "R2        K2\nTAIL");
  EXPECT_EQ(store::DelItem1("F.DAT", 0, 100), 1);
  EXPECT_EQ(box.Read("F.DAT"), Fields({{"R2        K2 TAIL", 100}}) + r1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RecordsTest, FindKeyAndDelByKeyCompareThePaddedKeyAndPassOverDeletedRecords) {
  const std::string r0 = Rec("R0", "60B", "zero");
  const std::string r1 = Rec("R1", "60b", "one");
  const std::string r2 = Rec("R2", "60BX", "two");
  const std::string r3 = Rec("R3", "60B", "flagged", '+');
  const std::string r4 = Rec("R4", "60B", "four");
  box.Write("F34.DAT", r0 + r1 + r2 + r3 + r4);

  long index = 7;
  EXPECT_EQ(store::FindKey("F34.DAT", 100, "60b", 10, 10, index), 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(store::FindKey("F34.DAT", 100, "60BX", 10, 10, index), 1);
  EXPECT_EQ(index, 2);
  // The only live "R3" record is flagged deleted.
  EXPECT_EQ(store::FindKey("F34.DAT", 100, "R3", 0, 10, index), 0);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(store::FindKey("F34.DAT", 100, "R4", 0, 10, index), 1);
  EXPECT_EQ(index, 4);
  // A key of spaces finds nothing, though the text field is blank at its end.
  EXPECT_EQ(store::FindKey("F34.DAT", 100, "   ", 90, 5, index), 0);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(store::FindKey("MISSING.DAT", 100, "R0", 0, 10, index), 0);
  EXPECT_EQ(store::FindKey("F34.DAT", 0, "R0", 0, 10, index), 0);

  // Records 0, 1 and 4 match; record 4 moves into slot 0 and is found there.
  EXPECT_EQ(store::DelByKey("60B", "F34.DAT", 100, 10, 10), 3);
  EXPECT_EQ(box.Read("F34.DAT"), r3 + r2);
  EXPECT_EQ(store::DelByKey("60B", "F34.DAT", 100, 10, 10), 0);
  EXPECT_EQ(box.Read("F34.DAT"), r3 + r2);
  // Widths outside 3..14 and an empty key do nothing.
  EXPECT_EQ(store::DelByKey("60BX", "F34.DAT", 100, 10, 15), 0);
  EXPECT_EQ(store::DelByKey("", "F34.DAT", 100, 10, 10), 0);
  EXPECT_EQ(box.Read("F34.DAT"), r3 + r2);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(ui.wait_cursor());
}

TEST_F(RecordsTest, FindKeyAndDelByKeyWalkLargeFilesAcrossReadPieces) {
  // 60,000 records of 37 bytes (2.2 MB), so that fields straddle the
  // boundaries of the pieces in which the walk reads the file.
  constexpr long kCount = 60'000;
  std::string body;
  body.reserve(kCount * 37);
  char code[16];
  for (long i = 0; i < kCount; ++i) {
    std::snprintf(code, sizeof code, "%06ld", i);
    body += Fields({{"x", 30}, {code, 6}, {i == 43'000 ? "+" : " ", 1}});
  }
  box.Write("BIG.DAT", body);
  long index = 0;
  for (long want : {0L, 442L, 443L, 28'339L, 59'999L}) {
    std::snprintf(code, sizeof code, "%06ld", want);
    EXPECT_EQ(store::FindKey("BIG.DAT", 37, code, 30, 6, index), 1) << want;
    EXPECT_EQ(index, want);
  }
  EXPECT_EQ(store::FindKey("BIG.DAT", 37, "043000", 30, 6, index), 0);
  EXPECT_EQ(store::FindKey("BIG.DAT", 37, "060000", 30, 6, index), 0);

  // The last record moves into the slot of the deleted one.
  EXPECT_EQ(store::DelByKey("028339", "BIG.DAT", 37, 30, 6), 1);
  const std::string expected = body.substr(0, 28'339 * 37) + body.substr(59'999 * 37) +
                               body.substr(28'340 * 37, (59'999 - 28'340) * 37);
  EXPECT_EQ(box.Read("BIG.DAT"), expected);
}

TEST_F(RecordsTest, ReadFieldAndIsDeleted) {
  const std::array<int, 3> widths = {10, 10, 79};
  box.Write("F.DAT", Rec("R0", "K0", "text 0") + Rec("R1", "K1 x", "text 1", '+') + "R2   ");

  std::string out = "stale";
  EXPECT_EQ(store::ReadField(nullptr, "F.DAT", 100, widths, 1, 1, out), 1);
  EXPECT_EQ(out, "K1 x");
  EXPECT_EQ(store::ReadField(nullptr, "F.DAT", 100, widths, 2, 0, out), 1);
  EXPECT_EQ(out, "R2");
  EXPECT_EQ(store::ReadField(nullptr, "F.DAT", 100, widths, 3, 0, out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(store::ReadField(nullptr, "F.DAT", 100, widths, -1, 0, out), 0);
  EXPECT_EQ(store::ReadField(nullptr, "F.DAT", 100, widths, 0, 3, out), 0);
  EXPECT_EQ(store::ReadField(nullptr, "MISSING.DAT", 100, widths, 0, 0, out), 0);
  // A field whose offset reaches the record length.
  out = "stale";
  EXPECT_EQ(store::ReadField(nullptr, "F.DAT", 20, widths, 0, 2, out), 0);
  EXPECT_EQ(out, "");

  platform::Stream in = store::OpenForReading("F.DAT");
  ASSERT_TRUE(in);
  EXPECT_EQ(store::ReadField(&in, "ignored", 100, widths, 1, 2, out), 1);
  EXPECT_EQ(out, "text 1");
  EXPECT_TRUE(in);  // a given stream stays open

  EXPECT_EQ(store::IsDeleted(&in, 0, 100), 0);
  EXPECT_EQ(store::IsDeleted(&in, 1, 100), 1);
  EXPECT_EQ(store::IsDeleted(&in, 2, 100), 0);  // past the end
  EXPECT_EQ(store::IsDeleted(nullptr, 1, 100), 0);
}

}  // namespace
