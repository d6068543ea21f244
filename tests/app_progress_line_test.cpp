// The progress line of a running step, at the edges of what it can tell.
#include <gtest/gtest.h>

#include <sstream>

#include "app/console_ui.h"
#include "app/progress_line.h"

namespace {

app::StepPace Pace(std::int64_t done, std::int64_t input, double seconds) {
  app::StepPace p;
  p.number = 6;
  p.count = 13;
  p.label = "4.35";
  p.done = done;
  p.input = input;
  p.seconds = seconds;
  return p;
}

TEST(ProgressLineTest, ShareBarPaceAndTimeLeft) {
  // The first moment of a step: nothing read, no pace to tell yet.
  EXPECT_EQ(app::FormatProgressLine(Pace(0, 100'000'000, 0)),
            "Etapa 6/13 [--------------------]  0%  -- MB/s  faltam --  4.35");
  EXPECT_EQ(app::FormatProgressLine(Pace(50'000'000, 100'000'000, 10)),
            "Etapa 6/13 [##########----------] 50%  5,0 MB/s  faltam 0:10  4.35");
  // Time left over an hour, and beyond what is worth telling.
  EXPECT_EQ(app::FormatProgressLine(Pace(100'000'000, 7'300'000'000, 100)),
            "Etapa 6/13 [--------------------]  1%  1,0 MB/s  faltam 2:00:00  4.35");
  EXPECT_EQ(app::FormatProgressLine(Pace(1'000, 1'000'000'000'000, 10)),
            "Etapa 6/13 [--------------------]  0%  0,0 MB/s  faltam --  4.35");
}

TEST(ProgressLineTest, AStepThatReadsMoreThanItsInputStaysUnderTheWhole) {
  EXPECT_EQ(app::FormatProgressLine(Pace(100'000'000, 100'000'000, 4)),
            "Etapa 6/13 [###################-] 99%  25,0 MB/s  faltam --  4.35");
  EXPECT_EQ(app::FormatProgressLine(Pace(250'000'000, 100'000'000, 5)),
            "Etapa 6/13 [###################-] 99%  50,0 MB/s  faltam --  4.35");
}

TEST(ProgressLineTest, AnInputOfUnknownSizeShowsThePaceOnly) {
  EXPECT_EQ(app::FormatProgressLine(Pace(3'000'000, 0, 2)),
            "Etapa 6/13 [--------------------] --%  1,5 MB/s  faltam --  4.35");
}

// A line that could not be written (a full disk under redirected output)
// leaves a C++ stream refusing everything after it; the messages that tell
// why a conversion stopped must still go out, whole.
TEST(ConsoleUiTest, AMessageGoesOutAfterAFailedWrite) {
  std::ostringstream out, err;
  app::ConsoleUi ui(app::ConsoleUi::Options{}, out, err);
  err.setstate(std::ios::badbit);
  out.setstate(std::ios::badbit);
  ui.MessageBox("N\xE3o foi poss\xEDvel gravar F10r3.dat.", "Glebrium", platform::Icon::kError, platform::Buttons::kOk);
  ui.MessageBox("A convers\xE3o foi realizada.", "Glebrium", platform::Icon::kInformation, platform::Buttons::kOk);
  EXPECT_EQ(err.str(), "Glebrium (erro): N\xC3\xA3o foi poss\xC3\xADvel gravar F10r3.dat.\n");
  EXPECT_EQ(out.str(), "A convers\xC3\xA3o foi realizada.\n");
}

}  // namespace
