#include <chrono>
#include <limits>

#include "platform/files.h"
#include "store/open.h"
#include "store/records.h"
#include "tests/store_test_helpers.h"
#include "tests/support/process.h"
#include "text/cp1252.h"

namespace {

using platform::Icon;
using storetest::Msg;
using storetest::Shown;
using vektest::Fill;

const std::string kOpenError = CP1252(
    "Erro ao abrir o arquivo.\nO compartilhamento de arquivos no servidor precisa ter permissão para "
    "gravação.").str();

class FOpen2Test : public vektest::SandboxTest {};

TEST_F(FOpen2Test, AddModeCountsRecordsAndCompletesAShortLastRecord) {
  long index = 99;
  {
    platform::Stream s = store::FOpen2("NEW.DAT", 300, index, store::kAddRecord);
    ASSERT_TRUE(s);
    EXPECT_EQ(index, 0);
  }
  EXPECT_EQ(box.Read("NEW.DAT"), "");

  const std::string body = Fill(1000, 'a');
  box.Write("SHORT.DAT", body);
  {
    platform::Stream s = store::FOpen2("short.dat", 300, index, store::kAddRecord);
    ASSERT_TRUE(s);
    EXPECT_EQ(index, 4);
    ASSERT_TRUE(s.Write(Fill(300, 'b')));
    ASSERT_TRUE(s.Close());
  }
  EXPECT_EQ(box.Read("SHORT.DAT"), body + Fill(200) + Fill(300, 'b'));

  box.Write("WHOLE.DAT", Fill(900, 'c'));
  {
    platform::Stream s = store::FOpen2("WHOLE.DAT", 300, index, store::kAddRecord);
    ASSERT_TRUE(s);
    EXPECT_EQ(index, 3);
  }
  EXPECT_EQ(box.Read("WHOLE.DAT"), Fill(900, 'c'));

  {
    platform::Stream s = store::FOpen2("WHOLE.DAT", 0, index, store::kAddRecord);
    EXPECT_TRUE(s);
    EXPECT_EQ(index, -1);
  }

  // A read-only file is made writable first.
  box.Write("RO.DAT", Fill(10, 'r'));
  storetest::MakeReadOnly(box, "RO.DAT");
  {
    platform::Stream s = store::FOpen2("RO.DAT", 10, index, store::kAddRecord);
    ASSERT_TRUE(s);
    EXPECT_EQ(index, 1);
    ASSERT_TRUE(s.Write(Fill(10, 's')));
  }
  EXPECT_EQ(box.Read("RO.DAT"), Fill(10, 'r') + Fill(10, 's'));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FOpen2Test, RewriteModeStandsAtAnExistingRecordOnly) {
  box.Write("F.DAT", Fill(100, '0') + Fill(100, '1') + Fill(100, '2'));
  long index = 1;
  {
    platform::Stream s = store::FOpen2("F.DAT", 100, index, store::kRewriteRecord);
    ASSERT_TRUE(s);
    EXPECT_EQ(index, 1);
    ASSERT_TRUE(s.Write(Fill(100, 'x')));
  }
  EXPECT_EQ(box.Read("F.DAT"), Fill(100, '0') + Fill(100, 'x') + Fill(100, '2'));
  EXPECT_TRUE(ui.messages.empty());

  index = 3;  // one past the last record
  EXPECT_FALSE(store::FOpen2("F.DAT", 100, index, store::kRewriteRecord));
  index = -1;
  EXPECT_FALSE(store::FOpen2("F.DAT", 100, index, static_cast<store::OpenMode>(7)));
  index = std::numeric_limits<long>::max();  // past the end (and, with a 64-bit long, past any offset)
  EXPECT_FALSE(store::FOpen2("F.DAT", 100, index, store::kRewriteRecord));
  index = 0;
  EXPECT_FALSE(store::FOpen2("MISSING.DAT", 100, index, store::kRewriteRecord));
  EXPECT_FALSE(box.Exists("MISSING.DAT"));
  EXPECT_EQ(Shown(ui), (std::vector<std::string>{
                           Msg("FOpen2", Icon::kError, "Erro ao posicionar arquivo."),
                           Msg("FOpen2", Icon::kError, "Erro ao posicionar arquivo."),
                           Msg("FOpen2", Icon::kError, "Erro ao posicionar arquivo."),
                           Msg("FOpen2", Icon::kError, "Arquivo inexistente."),
                       }));
  EXPECT_EQ(box.Read("F.DAT"), Fill(100, '0') + Fill(100, 'x') + Fill(100, '2'));

  // Add mode where the file cannot be created.
  ui.messages.clear();
  EXPECT_FALSE(store::FOpen2("NOFOLDER\\F.DAT", 100, index, store::kAddRecord));
  EXPECT_EQ(Shown(ui), (std::vector<std::string>{Msg("FOpen2", Icon::kError, kOpenError)}));
}

TEST_F(FOpen2Test, LargeFilesAreRefusedOrQuestionedInAddModeOnly) {
  // Sparse files: the size is what counts, nothing is written.
  box.Write("BIG.DAT", "");
  vektest::fs::resize_file(box.Path("BIG.DAT"), 600'000'000);
  const std::string question = CP1252(
      "O arquivo já possui mais de 512 MB.\nTamanho: 600.000.000 bytes\n\nAvise o suporte técnico.\n\n"
      "Deseja continuar?")
                                   .str();
  long index = 5;
  EXPECT_FALSE(store::FOpen2("BIG.DAT", 300, index, store::kAddRecord));  // answered No
  EXPECT_EQ(index, 5);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, question);
  EXPECT_EQ(ui.messages[0].caption, "FOpen2");
  EXPECT_EQ(ui.messages[0].icon, Icon::kQuestion);
  EXPECT_EQ(ui.messages[0].buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(vektest::fs::file_size(box.Path("BIG.DAT")), 600'000'000u);

  ui.answers.push_back(platform::Answer::kYes);
  EXPECT_TRUE(store::FOpen2("BIG.DAT", 300, index, store::kAddRecord));
  EXPECT_EQ(index, 2'000'000);
  EXPECT_EQ(ui.messages.size(), 2u);

  // Rewriting a record asks nothing.
  index = 1;
  EXPECT_TRUE(store::FOpen2("BIG.DAT", 300, index, store::kRewriteRecord));
  EXPECT_EQ(ui.messages.size(), 2u);

  // Exactly the hard limit still passes it and is questioned.
  ui.messages.clear();
  vektest::fs::resize_file(box.Path("BIG.DAT"), 2'000'000'000);
  EXPECT_FALSE(store::FOpen2("BIG.DAT", 300, index, store::kAddRecord));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].icon, Icon::kQuestion);
  EXPECT_EQ(ui.messages[0].text, CP1252("O arquivo já possui mais de 512 MB.\nTamanho: 2.000.000.000 bytes\n\n"
                                        "Avise o suporte técnico.\n\nDeseja continuar?")
                                     .str());

  ui.messages.clear();
  vektest::fs::resize_file(box.Path("BIG.DAT"), 2'147'483'648LL);
  ui.answers.push_back(platform::Answer::kYes);  // never asked
  EXPECT_FALSE(store::FOpen2("BIG.DAT", 300, index, store::kAddRecord));
  EXPECT_EQ(Shown(ui), (std::vector<std::string>{
                           Msg("FOpen2", Icon::kError,
                               "O arquivo ultrapassou o limite permitido (2 GB).\nTamanho: 2.147.483.648 bytes"),
                       }));
  EXPECT_EQ(vektest::fs::file_size(box.Path("BIG.DAT")), 2'147'483'648u);
}

TEST_F(FOpen2Test, PositionAtNeedsAnOffsetInsideTheFileAndReadTextStopsAfterALineFeed) {
  box.Write("P.DAT", "ab\ncdef");
  platform::Stream s = store::OpenForReading("P.DAT");
  ASSERT_TRUE(s);
  std::string out;
  EXPECT_EQ(store::PositionAt(s, 0), 0);
  EXPECT_TRUE(store::ReadText(s, out, 5));
  EXPECT_EQ(out, "ab\n");
  EXPECT_TRUE(store::ReadText(s, out, 3));
  EXPECT_EQ(out, "cde");
  EXPECT_EQ(store::PositionAt(s, 6), 0);
  EXPECT_TRUE(store::ReadText(s, out, 5));
  EXPECT_EQ(out, "f");
  EXPECT_FALSE(store::ReadText(s, out, 5));
  EXPECT_EQ(out, "");
  EXPECT_EQ(store::PositionAt(s, 7), 1);
  EXPECT_EQ(store::PositionAt(s, -1), 1);

  platform::Stream none;
  EXPECT_EQ(store::PositionAt(none, 0), 1);
  EXPECT_FALSE(store::ReadText(none, out, 5));
}

using vektest::LockHolder;

TEST_F(FOpen2Test, FileBusyGivesUpAfterAboutASecondOnAFileLockedByAnotherProcess) {
  const std::string records = vektest::Pad("A", 10) + vektest::Pad("B", 10);
  box.Write("BUSY.DAT", records);
  EXPECT_EQ(store::FileBusy("BUSY.DAT", store::kBusyTell), 0);
  EXPECT_EQ(store::FileBusy("MISSING.DAT", store::kBusyTell), 0);

  LockHolder holder(box.Path("BUSY.DAT").string());
  ASSERT_TRUE(holder.locked());
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  EXPECT_EQ(store::FileBusy("BUSY.DAT", store::kBusyTell), 1);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(waited, 950);
  EXPECT_LT(waited, 5000);
  const std::vector<std::string> busy = {Msg("FileBusy", Icon::kWarning, "Sistema ocupado, tente novamente.")};
  EXPECT_EQ(Shown(ui), busy);

  EXPECT_EQ(store::FileBusy("BUSY.DAT", store::kBusyWaitOnly), 0);
  EXPECT_EQ(Shown(ui), busy);

  // A deletion waits for the file and leaves it alone when it stays busy.
  EXPECT_EQ(store::DelItem1("BUSY.DAT", 0, 10), 0);
  EXPECT_EQ(Shown(ui), (std::vector<std::string>{busy[0], busy[0]}));
  EXPECT_EQ(box.Read("BUSY.DAT"), records);
  // A walk whose deletion fails stops there instead of trying the slot again.
  ui.messages.clear();
  EXPECT_EQ(store::DelByKey("A", "BUSY.DAT", 10, 0, 5), 0);
  EXPECT_EQ(Shown(ui), busy);
  EXPECT_EQ(box.Read("BUSY.DAT"), records);

  holder.Release();
  EXPECT_EQ(store::FileBusy("BUSY.DAT", store::kBusySilent), 0);
  EXPECT_EQ(store::DelItem1("BUSY.DAT", 0, 10), 1);
  EXPECT_EQ(box.Read("BUSY.DAT"), vektest::Pad("B", 10));
  EXPECT_FALSE(ui.wait_cursor());
}

}  // namespace

namespace {

class PumpingUi : public vektest::RecordingUi {
 public:
  void Pump() override { ++pumps; }
  int pumps = 0;
};

TEST_F(FOpen2Test, PeekMessage2LetsTheWindowRepaintAndKeepsTheWaitCursor) {
  PumpingUi window;
  platform::SetActiveUi(&window);
  EXPECT_EQ(store::PeekMessage2(0), 0);
  EXPECT_EQ(window.pumps, 1);
  EXPECT_EQ(window.cursor_changes, std::vector<bool>{true});
  {
    platform::WaitCursor wait(window);
    store::PeekMessage2(0);
  }
  EXPECT_EQ(window.pumps, 2);
  EXPECT_EQ(window.cursor_changes, (std::vector<bool>{true, true, false}));
  platform::SetActiveUi(&ui);
}

}  // namespace
