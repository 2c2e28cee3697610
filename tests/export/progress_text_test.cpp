#include "export_context/progress_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

TEST(ProgressText, PercentagesNeverReachOneHundred) {
  const struct {
    uint64_t i, n;
    int expected;
  } cases[] = {{0, 3, 0},     {1, 3, 33},     {2, 3, 66},
               {0, 200, 0},   {1, 200, 0},    {2, 200, 1},
               {58, 200, 29}, {199, 200, 99}, {3u * 16777216u - 1, 3u * 16777216u, 99}};
  for (const auto& c : cases) EXPECT_EQ(ProgressPercent(c.i, c.n), c.expected) << c.i << " of " << c.n;
}

TEST(ProgressText, ShowsEveryPairOfPercentagesForTwoHundredItems) {
  for (uint64_t i = 0; i < 200; ++i) EXPECT_EQ(ProgressPercent(i, 200), static_cast<int>(i / 2)) << i;
}

TEST(ProgressText, CutsLongNamesAndKeepsTheRestOfTheText) {
  test::RecordingUi ui;
  ui.CreateProgressWindow();
  const ProgressWindow window{&ui};
  const std::string longName(400, 'n');
  SetProgressText(window, "Exporting %s - Gathering %d%%\n", longName.c_str(), 42);
  SetProgressText(window, "Exporting %s\n", "Box");
  ASSERT_EQ(ui.progressTexts.size(), 2u);
  const std::string& cut = ui.progressTexts[0];
  EXPECT_EQ(cut.size(), 255u);
  const std::string tail = " - Gathering 42%\n";
  EXPECT_EQ(cut.substr(cut.size() - tail.size()), tail);
  EXPECT_EQ(cut.rfind("Exporting nnn", 0), 0u);
  EXPECT_EQ(ui.progressTexts[1], "Exporting Box\n");
}

}  // namespace
}  // namespace cvm
