#include "meshes/consolidate_channels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/corner_records.h"
#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

// A mesh's gathered channels with values from a small grid, so that every channel merges.
GatheredMesh MakeGathered(uint32_t corners, bool normals, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> cell(-40, 40);
  const auto value = [&] {
    return Point3{cell(rng) * 0.25f, cell(rng) * 0.5f, static_cast<float>(cell(rng) % 3)};
  };
  std::vector<CornerRecord> positions, uvs, normalRecords;
  for (uint32_t c = 0; c < corners; ++c) {
    positions.push_back({value(), c});
    uvs.push_back({value(), c});
    if (normals) normalRecords.push_back({value(), c});
  }
  GatheredMesh gathered;
  gathered.positions = ChannelOfRecords(positions);
  gathered.textureCoordinates = ChannelOfRecords(uvs);
  gathered.normals = ChannelOfRecords(normalRecords);
  return gathered;
}

bool SameChannel(const IndexedChannel& a, const IndexedChannel& b) {
  return a.CornerIndices() == b.CornerIndices() && a.values.size() == b.values.size() &&
         (a.values.empty() ||
          std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(Point3)) == 0);
}

struct PassesRun {
  MeshChannels channels;
  std::vector<std::string> texts;
};

// Runs passes(progress, channels) with a progress window that records its texts.
template <typename Passes>
PassesRun Record(Passes passes) {
  PassesRun run;
  test::RecordingUi ui;
  ui.CreateProgressWindow();
  ConsolidationProgress progress;
  progress.window.ui = &ui;
  progress.name = "Mesh";
  passes(progress, run.channels);
  run.texts = ui.progressTexts;
  return run;
}

PassesRun OneByOne(GatheredMesh gathered, const ExportOptions& options) {
  return Record([&](ConsolidationProgress& progress, MeshChannels& channels) {
    ConsolidationScratch scratch;
    ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch, channels.normals);
    if (options.preserveVertexOrdering) {
      ConsolidateInOrder(gathered.positions, options.mergeVertices != 0, progress, scratch,
                         channels.positions);
    } else {
      ConsolidateSorted(gathered.positions, kConsolidatingVerticesText, progress, scratch,
                        channels.positions);
    }
    ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                      channels.textureCoordinates);
  });
}

PassesRun AsTheSectionRunsThem(GatheredMesh gathered, const ExportOptions& options) {
  const PassesRun run = Record([&](ConsolidationProgress& progress, MeshChannels& channels) {
    ConsolidationScratch scratch;
    ConsolidateChannels(gathered, options, progress, scratch, channels);
  });
  // The gathered channels have moved into the mesh's channels.
  EXPECT_EQ(gathered.positions.CornerCount() + gathered.normals.CornerCount() +
                gathered.textureCoordinates.CornerCount(),
            0u);
  return run;
}

// The channels and the texts, in their order, are those of the normal, position and
// texture-coordinate passes run one after the other, the position pass chosen by the options.
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
      {"large, sorted", 70003, true, false, true},
      {"large, in order, merged", 70003, true, true, true},
      {"large, in order, not merged", 70000, true, true, false},
      {"large, no normals", 70099, false, false, true},
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GatheredMesh gathered = MakeGathered(c.corners, c.normals, seed++);
    ASSERT_EQ(gathered.positions.CornerCount(), c.corners);
    ExportOptions options;
    options.exportNormals = c.normals ? 1 : 0;
    options.preserveVertexOrdering = c.preserveOrder ? 1 : 0;
    options.mergeVertices = c.merge ? 1 : 0;
    const PassesRun expected = OneByOne(gathered, options);
    EXPECT_FALSE(expected.texts.empty());
    const PassesRun actual = AsTheSectionRunsThem(gathered, options);
    EXPECT_TRUE(SameChannel(actual.channels.normals, expected.channels.normals));
    EXPECT_TRUE(SameChannel(actual.channels.positions, expected.channels.positions));
    EXPECT_TRUE(SameChannel(actual.channels.textureCoordinates, expected.channels.textureCoordinates));
    EXPECT_EQ(actual.texts, expected.texts);
  }
}

}  // namespace
}  // namespace cvm
