#include "meshes/consolidate_channels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

// A mesh's gathered records with values from a small grid, so that every channel merges.
GatheredMesh MakeGathered(uint32_t corners, bool normals, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> cell(-40, 40);
  const auto value = [&] {
    return Point3{cell(rng) * 0.25f, cell(rng) * 0.5f, static_cast<float>(cell(rng) % 3)};
  };
  GatheredMesh gathered;
  for (uint32_t c = 0; c < corners; ++c) {
    gathered.positions.push_back({value(), c});
    gathered.textureCoordinates.push_back({value(), c});
    if (normals) gathered.normals.push_back({value(), c});
  }
  return gathered;
}

bool SameChannel(const IndexedChannel& a, const IndexedChannel& b) {
  return a.cornerIndices == b.cornerIndices && a.values.size() == b.values.size() &&
         (a.values.empty() ||
          std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(Point3)) == 0);
}

struct PassesRun {
  MeshChannels channels;
  std::vector<std::string> texts;
};

PassesRun OneByOne(const GatheredMesh& gathered, const ExportOptions& options) {
  PassesRun run;
  test::RecordingUi ui;
  ui.CreateProgressWindow();
  ConsolidationProgress progress;
  progress.window.ui = &ui;
  progress.name = "Mesh";
  ConsolidationScratch scratch;
  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch, run.channels.normals);
  if (options.preserveVertexOrdering) {
    ConsolidateInOrder(gathered.positions, options.mergeVertices != 0, progress, scratch,
                       run.channels.positions);
  } else {
    ConsolidateSorted(gathered.positions, kConsolidatingVerticesText, progress, scratch,
                      run.channels.positions);
  }
  ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                    run.channels.textureCoordinates);
  run.texts = ui.progressTexts;
  return run;
}

PassesRun AsTheSectionRunsThem(const GatheredMesh& gathered, const ExportOptions& options) {
  PassesRun run;
  test::RecordingUi ui;
  ui.CreateProgressWindow();
  ConsolidationProgress progress;
  progress.window.ui = &ui;
  progress.name = "Mesh";
  ChannelScratch scratch;
  ConsolidateChannels(gathered, options, progress, scratch, run.channels);
  run.texts = ui.progressTexts;
  return run;
}

// Whether the passes share two threads or not, the channels and the texts, in their order,
// are those of the three passes run one after the other.
TEST(ConsolidateChannels, SameChannelsAndTextsAsThePassesInTurn) {
  struct Case {
    const char* what;
    uint32_t corners;
    bool normals;
    bool preserveOrder;
    bool merge;
  };
  const Case cases[] = {
      {"small, sorted", 300, true, false, true},
      {"large, sorted", kParallelConsolidationCorners + 3, true, false, true},
      {"large, in order, merged", kParallelConsolidationCorners + 3, true, true, true},
      {"large, in order, not merged", kParallelConsolidationCorners, true, true, false},
      {"large, no normals", kParallelConsolidationCorners + 99, false, false, true},
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GatheredMesh gathered = MakeGathered(c.corners, c.normals, seed++);
    ExportOptions options;
    options.exportNormals = c.normals ? 1 : 0;
    options.preserveVertexOrdering = c.preserveOrder ? 1 : 0;
    options.mergeVertices = c.merge ? 1 : 0;
    const PassesRun expected = OneByOne(gathered, options);
    const PassesRun actual = AsTheSectionRunsThem(gathered, options);
    EXPECT_TRUE(SameChannel(actual.channels.normals, expected.channels.normals));
    EXPECT_TRUE(SameChannel(actual.channels.positions, expected.channels.positions));
    EXPECT_TRUE(SameChannel(actual.channels.textureCoordinates, expected.channels.textureCoordinates));
    EXPECT_EQ(actual.texts, expected.texts);
    EXPECT_FALSE(expected.texts.empty());
  }
}

// ShowPass shows what stepping through a pass shows, from any last percentage.
TEST(ConsolidationProgress, ShowPassShowsTheTextsOfTheSteps) {
  for (const uint32_t count : {0u, 1u, 3u, 99u, 100u, 101u, 200u, 1001u, 40000u}) {
    for (const int lastPercent : {-1, 0, 7}) {
      SCOPED_TRACE(testing::Message() << count << " records after " << lastPercent << "%");
      test::RecordingUi stepped;
      test::RecordingUi replayed;
      stepped.CreateProgressWindow();
      replayed.CreateProgressWindow();
      ConsolidationProgress a;
      a.window.ui = &stepped;
      a.name = "M";
      a.lastPercent = lastPercent;
      ConsolidationProgress b = a;
      b.window.ui = &replayed;
      for (uint32_t i = 0; i < count; ++i) a.Step(kConsolidatingUVsText, i, count);
      b.ShowPass(kConsolidatingUVsText, count);
      EXPECT_EQ(replayed.progressTexts, stepped.progressTexts);
      EXPECT_EQ(b.lastPercent, a.lastPercent);
    }
  }
}

}  // namespace
}  // namespace cvm
