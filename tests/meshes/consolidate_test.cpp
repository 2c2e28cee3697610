#include "meshes/consolidate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/corner_records.h"
#include "tests/support/float_bits.h"
#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

using test::FloatBits;

std::vector<CornerRecord> Records(const std::vector<Point3>& values) {
  std::vector<CornerRecord> records;
  for (uint32_t c = 0; c < values.size(); ++c) records.push_back({values[c], c});
  return records;
}

// The documented way: sort the records with CornerRecordGreater, then walk them. Valid only
// for NaN-free values (the predicate is a strict weak ordering there).
IndexedChannel ReferenceSorted(std::vector<CornerRecord> records) {
  std::sort(records.begin(), records.end(), CornerRecordGreater);
  IndexedChannel channel;
  channel.indices.bySlot.assign(records.size(), 0);
  channel.indices.cornerCount = static_cast<uint32_t>(records.size());
  uint32_t current = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const Point3& v = records[i].value;
    if (i == 0 || !(v.x == channel.values.back().x && v.y == channel.values.back().y &&
                    v.z == channel.values.back().z)) {
      current = static_cast<uint32_t>(channel.values.size());
      channel.values.push_back(v);
    }
    channel.indices.bySlot[records[i].corner] = current;
  }
  return channel;
}

// The documented in-order pass with merging: a linear search of the values so far.
IndexedChannel ReferenceInOrderMerged(const std::vector<CornerRecord>& records) {
  IndexedChannel channel;
  channel.indices.bySlot.assign(records.size(), 0);
  channel.indices.cornerCount = static_cast<uint32_t>(records.size());
  for (const CornerRecord& r : records) {
    size_t j = 0;
    while (j < channel.values.size() && !SamePoint(channel.values[j], r.value)) ++j;
    if (j == channel.values.size()) channel.values.push_back(r.value);
    channel.indices.bySlot[r.corner] = static_cast<uint32_t>(j);
  }
  return channel;
}

void ExpectSameBits(const std::vector<Point3>& actual, const std::vector<Point3>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(FloatBits(actual[i].x), FloatBits(expected[i].x));
    EXPECT_EQ(FloatBits(actual[i].y), FloatBits(expected[i].y));
    EXPECT_EQ(FloatBits(actual[i].z), FloatBits(expected[i].z));
  }
}

// actual has the values of expected (the documented sort and walk) under SamePoint, and the
// same corner indices.
void ExpectSameAsDocumented(const IndexedChannel& actual, const IndexedChannel& expected) {
  ASSERT_EQ(actual.values.size(), expected.values.size());
  for (size_t i = 0; i < actual.values.size(); ++i)
    ASSERT_TRUE(SamePoint(actual.values[i], expected.values[i])) << i;
  ASSERT_EQ(actual.CornerIndices(), expected.CornerIndices());
}

// Which zero each value of channel is written with: that of the first corner with the value.
void ExpectFirstCornersBits(const IndexedChannel& channel, const std::vector<Point3>& cornerValues) {
  std::vector<bool> seen(channel.values.size(), false);
  for (size_t c = 0; c < cornerValues.size(); ++c) {
    const uint32_t index = channel.CornerIndex(c);
    if (seen[index]) continue;
    seen[index] = true;
    ExpectSameBits({channel.values[index]}, {cornerValues[c]});
  }
}

class ConsolidateTest : public testing::Test {
 protected:
  IndexedChannel Sorted(const std::vector<Point3>& values) {
    IndexedChannel channel;
    ConsolidateSorted(Records(values), kConsolidatingVerticesText, progress, scratch, channel);
    return channel;
  }
  IndexedChannel InOrder(const std::vector<Point3>& values, bool merge) {
    IndexedChannel channel;
    ConsolidateInOrder(Records(values), merge, progress, scratch, channel);
    return channel;
  }
  IndexedChannel SortedGathered(GatheredChannel gathered) {
    IndexedChannel channel;
    ConsolidateSorted(gathered, kConsolidatingVerticesText, progress, scratch, channel);
    return channel;
  }
  IndexedChannel InOrderGathered(GatheredChannel gathered, bool merge) {
    IndexedChannel channel;
    ConsolidateInOrder(gathered, merge, progress, scratch, channel);
    return channel;
  }

  ConsolidationProgress progress;
  ConsolidationScratch scratch;
};

TEST_F(ConsolidateTest, SortedValuesComeOutInDescendingLexicographicOrder) {
  const IndexedChannel c = Sorted({{0, 1, 2}, {1, 0, 0}, {0, 1, 9}, {0, 5, 0}});
  ExpectSameBits(c.values, {{1, 0, 0}, {0, 5, 0}, {0, 1, 9}, {0, 1, 2}});
  EXPECT_EQ(c.CornerIndices(), (std::vector<uint32_t>{3, 0, 2, 1}));
}

TEST_F(ConsolidateTest, OneFaceTriangleGivesTheDocumentedIndices) {
  const IndexedChannel c = Sorted({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  ExpectSameBits(c.values, {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}});
  EXPECT_EQ(c.CornerIndices(), (std::vector<uint32_t>{2, 0, 1}));
}

TEST_F(ConsolidateTest, RepeatedValueByOptions) {
  const Point3 a{3, 1, 2};
  const Point3 b{-1, 7, 0};
  struct Case {
    const char* what;
    IndexedChannel channel;
    std::vector<Point3> values;
    std::vector<uint32_t> indices;
  };
  const Case cases[] = {
      {"in order, merged", InOrder({a, b, a}, true), {a, b}, {0, 1, 0}},
      {"in order, not merged", InOrder({a, b, a}, false), {a, b, a}, {0, 1, 2}},
      {"sorted always merges", Sorted({a, b, a}), {a, b}, {0, 1, 0}},
      {"sorted reorders", Sorted({b, a, b}), {a, b}, {1, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectSameBits(c.channel.values, c.values);
    EXPECT_EQ(c.channel.CornerIndices(), c.indices);
  }
}

TEST_F(ConsolidateTest, SignedZerosMergeAndKeepTheFirstCornersBits) {
  for (const bool sorted : {true, false}) {
    SCOPED_TRACE(sorted ? "sorted" : "in order");
    const auto run = [&](const std::vector<Point3>& v) { return sorted ? Sorted(v) : InOrder(v, true); };
    const IndexedChannel negativeFirst = run({{-0.0f, 1, 0}, {0.0f, 1, -0.0f}});
    ExpectSameBits(negativeFirst.values, {{-0.0f, 1, 0}});
    EXPECT_EQ(negativeFirst.CornerIndices(), (std::vector<uint32_t>{0, 0}));
    const IndexedChannel positiveFirst = run({{0.0f, 1, -0.0f}, {-0.0f, 1, 0}});
    ExpectSameBits(positiveFirst.values, {{0.0f, 1, -0.0f}});
  }
}

TEST_F(ConsolidateTest, LastBitAndWOnlyDifferencesStayApart) {
  const float above = std::nextafter(1.0f, 2.0f);
  const IndexedChannel c = Sorted({{1, 1, 0}, {1, 1, 1}, {above, 1, 0}, {1, 1, 0}});
  ExpectSameBits(c.values, {{above, 1, 0}, {1, 1, 1}, {1, 1, 0}});
  EXPECT_EQ(c.CornerIndices(), (std::vector<uint32_t>{2, 1, 0, 2}));
}

TEST_F(ConsolidateTest, EveryNaNRecordIsAValueOfItsOwnAfterAllOthers) {
  const Point3 nanX{kNaN, 0, 0};
  const Point3 nanZ{1, 1, kNaN};
  const std::vector<Point3> input = {nanX, {0, 0, 0}, nanX, {2, 0, 0}, nanZ, {0, 0, 0}};
  const IndexedChannel sorted = Sorted(input);
  ASSERT_EQ(sorted.values.size(), 5u);
  ExpectSameBits({sorted.values[0], sorted.values[1]}, {{2, 0, 0}, {0, 0, 0}});
  EXPECT_EQ(sorted.CornerIndices(), (std::vector<uint32_t>{2, 1, 3, 0, 4, 1}));
  ExpectSameBits({sorted.values[2], sorted.values[3], sorted.values[4]}, {nanX, nanX, nanZ});

  const IndexedChannel inOrder = InOrder(input, true);
  EXPECT_EQ(inOrder.CornerIndices(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 1}));
  EXPECT_EQ(inOrder.values.size(), 5u);
}

TEST_F(ConsolidateTest, EmptyInputGivesAnEmptyChannelAndNoText) {
  test::RecordingUi ui;
  ui.CreateProgressWindow();
  progress.window.ui = &ui;
  EXPECT_TRUE(Sorted({}).values.empty());
  EXPECT_TRUE(InOrder({}, true).CornerIndices().empty());
  EXPECT_TRUE(InOrder({}, false).values.empty());
  EXPECT_TRUE(ui.progressTexts.empty());
}

TEST_F(ConsolidateTest, ProgressLastPercentageIsSharedBetweenPasses) {
  test::RecordingUi ui;
  ui.CreateProgressWindow();
  progress.window.ui = &ui;
  progress.name = "Box";
  std::vector<CornerRecord> three = Records({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  IndexedChannel channel;
  ConsolidateSorted(three, kConsolidatingNormalsText, progress, scratch, channel);
  ConsolidateInOrder(three, false, progress, scratch, channel);
  ConsolidateSorted(three, kConsolidatingUVsText, progress, scratch, channel);
  EXPECT_EQ(ui.progressTexts, (std::vector<std::string>{
                                  "Box - Consolidating Normals 0%\n", "Box - Consolidating Normals 33%\n",
                                  "Box - Consolidating Normals 66%\n", "Box - Consolidating Vertices 0%\n",
                                  "Box - Consolidating Vertices 33%\n", "Box - Consolidating Vertices 66%\n",
                                  "Box - Consolidating UVs 0%\n", "Box - Consolidating UVs 33%\n",
                                  "Box - Consolidating UVs 66%\n"}));

  // A pass that starts at the percentage last shown stays silent until it changes.
  ui.progressTexts.clear();
  progress.lastPercent = 0;
  ConsolidateInOrder(Records(std::vector<Point3>(200)), true, progress, scratch, channel);
  ASSERT_EQ(ui.progressTexts.size(), 99u);
  EXPECT_EQ(ui.progressTexts.front(), "Box - Consolidating Vertices 1%\n");
  EXPECT_EQ(ui.progressTexts.back(), "Box - Consolidating Vertices 99%\n");
}

// Values drawn from a small pool, so that equal values, signed zeros and ties in x or y are
// common; the pool includes denormals, infinities and values near one another.
std::vector<Point3> RandomValues(std::mt19937& rng, size_t count, bool varyZ) {
  const float pool[] = {0.0f,   -0.0f,   1.0f,  -1.0f,  0.5f,  std::nextafter(0.5f, 1.0f),
                        1e-40f, -1e-40f, 3.25f, -1e30f, 1e30f, std::numeric_limits<float>::infinity(),
                        -2.0f,  7.0f,    1e-3f, -1e-3f};
  std::uniform_int_distribution<size_t> pick(0, sizeof pool / sizeof pool[0] - 1);
  std::uniform_real_distribution<float> wide(-100.0f, 100.0f);
  std::bernoulli_distribution usePool(0.8);
  const auto component = [&] { return usePool(rng) ? pool[pick(rng)] : wide(rng); };
  std::vector<Point3> values(count);
  for (Point3& v : values) v = {component(), component(), varyZ ? component() : 0.0f};
  // Exact repeats of earlier values, as shared vertices give.
  std::uniform_int_distribution<size_t> any(0, count - 1);
  for (size_t k = 0; k < count / 3; ++k) values[any(rng)] = values[any(rng)];
  return values;
}

TEST_F(ConsolidateTest, SortedMatchesTheDocumentedSortAndWalk) {
  const size_t sizes[] = {3, 17, 64, 65, 300, 5000, 60000};
  uint32_t seed = 1;
  for (const size_t size : sizes) {
    for (const bool varyZ : {true, false}) {
      SCOPED_TRACE(testing::Message() << "size " << size << " seed " << seed);
      std::mt19937 rng(seed++);
      const std::vector<Point3> values = RandomValues(rng, size, varyZ);
      const IndexedChannel expected = ReferenceSorted(Records(values));
      const IndexedChannel actual = Sorted(values);
      ExpectSameAsDocumented(actual, expected);
      ExpectFirstCornersBits(actual, values);
    }
  }
}

TEST_F(ConsolidateTest, InOrderMergingMatchesTheLinearSearch) {
  for (uint32_t seed = 100; seed < 104; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::vector<Point3> values = RandomValues(rng, 2000, seed % 2 == 0);
    values[5].y = kNaN;
    values[6] = values[5];
    const IndexedChannel expected = ReferenceInOrderMerged(Records(values));
    const IndexedChannel actual = InOrder(values, true);
    ExpectSameBits(actual.values, expected.values);
    EXPECT_EQ(actual.CornerIndices(), expected.CornerIndices());
  }
}

// One scratch through passes of falling and rising sizes: its buffers hold what the last pass
// left, and every pass must still give the documented result.
TEST_F(ConsolidateTest, ScratchReusedAcrossPassesOfOtherSizes) {
  const size_t sizes[] = {60000, 5, 20000, 1, 3000, 60000};
  uint32_t seed = 40;
  for (const size_t size : sizes) {
    SCOPED_TRACE(testing::Message() << "size " << size);
    std::mt19937 rng(seed++);
    const std::vector<Point3> values = RandomValues(rng, size, true);
    const IndexedChannel expected = ReferenceSorted(Records(values));
    ExpectSameAsDocumented(Sorted(values), expected);
  }
}

// Runs of one value, with NaNs between and beside them: a NaN must never share a value with a
// number or with another NaN, and the numbers around it must still merge.
TEST_F(ConsolidateTest, RunsOfEqualValuesNextToNaNs) {
  const Point3 a{0, 0, 0};
  const Point3 b{0, 0, 1};
  const Point3 n{kNaN, 0, 0};
  const std::vector<Point3> rows[] = {
      {n, a, a, n, n, a},
      {a, a, n, a, b, b, a},
      {n, n, n},
      {b, a, a, a, b},
  };
  for (const std::vector<Point3>& values : rows) {
    const IndexedChannel inOrder = InOrder(values, true);
    const IndexedChannel expected = ReferenceInOrderMerged(Records(values));
    ExpectSameBits(inOrder.values, expected.values);
    EXPECT_EQ(inOrder.CornerIndices(), expected.CornerIndices());
    const IndexedChannel sorted = Sorted(values);
    for (size_t c = 0; c < values.size(); ++c) {
      ExpectSameBits({sorted.values[sorted.CornerIndex(c)]}, {values[c]});
      for (size_t d = 0; d < c; ++d)
        EXPECT_EQ(sorted.CornerIndex(c) == sorted.CornerIndex(d), SamePoint(values[c], values[d]))
            << c << " " << d;
    }
  }
}

// A channel as gathering leaves it: corners share the id of the host entry they come from
// (ids handed out in order of first meeting), different entries may hold the same value or
// differ only in a zero's sign, and a NaN value's id belongs to one corner. Every pass must
// give what the documented passes give on the corners' records.
GatheredChannel SharedIds(std::mt19937& rng, size_t corners, size_t entries, bool withNaN) {
  const std::vector<Point3> entryValues = RandomValues(rng, entries, true);
  std::uniform_int_distribution<size_t> pick(0, entries - 1);
  std::bernoulli_distribution nan(withNaN ? 0.02 : 0.0);
  std::vector<uint32_t> idOfEntry(entries, kNoId);
  GatheredChannel gathered;
  for (size_t c = 0; c < corners; ++c) {
    if (nan(rng)) {
      gathered.AddCornerId(gathered.Add({1, kNaN, 2}));
      continue;
    }
    uint32_t& id = idOfEntry[pick(rng)];
    if (id == kNoId) id = gathered.Add(entryValues[&id - idOfEntry.data()]);
    gathered.AddCornerId(id);
  }
  return gathered;
}

std::vector<CornerRecord> RecordsOf(const GatheredChannel& gathered) {
  std::vector<CornerRecord> records;
  for (uint32_t c = 0; c < gathered.CornerCount(); ++c) records.push_back({gathered.CornerValue(c), c});
  return records;
}

TEST_F(ConsolidateTest, CornersSharingIdsGiveTheDocumentedChannels) {
  struct Case {
    size_t corners;
    size_t entries;
  };
  const Case cases[] = {{3, 2}, {60, 20}, {300, 290}, {20000, 3000}, {60000, 60000}};
  uint32_t seed = 500;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.corners << " corners of " << c.entries << " entries");
    std::mt19937 rng(seed++);
    const GatheredChannel plain = SharedIds(rng, c.corners, c.entries, false);
    const std::vector<CornerRecord> records = RecordsOf(plain);

    const IndexedChannel sorted = SortedGathered(plain);
    ExpectSameAsDocumented(sorted, ReferenceSorted(records));
    std::vector<Point3> cornerValues;
    for (const CornerRecord& r : records) cornerValues.push_back(r.value);
    ExpectFirstCornersBits(sorted, cornerValues);

    const GatheredChannel withNaN = SharedIds(rng, c.corners, c.entries, true);
    const std::vector<CornerRecord> nanRecords = RecordsOf(withNaN);
    const IndexedChannel merged = InOrderGathered(withNaN, true);
    const IndexedChannel mergedExpected = ReferenceInOrderMerged(nanRecords);
    ExpectSameBits(merged.values, mergedExpected.values);
    EXPECT_EQ(merged.CornerIndices(), mergedExpected.CornerIndices());

    const IndexedChannel unmerged = InOrderGathered(withNaN, false);
    std::vector<Point3> own;
    std::vector<uint32_t> identity;
    for (const CornerRecord& r : nanRecords) {
      own.push_back(r.value);
      identity.push_back(r.corner);
    }
    ExpectSameBits(unmerged.values, own);
    EXPECT_EQ(unmerged.CornerIndices(), identity);
  }
}

TEST_F(ConsolidateTest, SortedChannelWithNaNsKeepsItsInvariants) {
  std::mt19937 rng(7);
  std::vector<Point3> values = RandomValues(rng, 20000, true);
  std::uniform_int_distribution<size_t> any(0, values.size() - 1);
  std::vector<bool> isNaN(values.size(), false);
  for (int k = 0; k < 500; ++k) {
    const size_t c = any(rng);
    (k % 3 == 0 ? values[c].x : k % 3 == 1 ? values[c].y : values[c].z) = kNaN;
    isNaN[c] = true;
  }
  const IndexedChannel c = Sorted(values);
  std::vector<uint32_t> uses(c.values.size(), 0);
  uint32_t lastNaNIndex = 0;
  bool sawNaN = false;
  for (size_t corner = 0; corner < values.size(); ++corner) {
    const uint32_t index = c.CornerIndex(corner);
    ASSERT_LT(index, c.values.size());
    ++uses[index];
    if (isNaN[corner]) {
      // After every number, in corner order.
      ExpectSameBits({c.values[index]}, {values[corner]});
      if (sawNaN) {
        EXPECT_GT(index, lastNaNIndex);
      }
      lastNaNIndex = index;
      sawNaN = true;
    } else {
      EXPECT_TRUE(SamePoint(c.values[index], values[corner]));
    }
  }
  for (size_t i = 0; i < uses.size(); ++i) EXPECT_GE(uses[i], 1u) << i;
  size_t firstNaN = 0;
  while (firstNaN < c.values.size() && !PointHasNaN(c.values[firstNaN])) ++firstNaN;
  for (size_t i = firstNaN; i < c.values.size(); ++i) EXPECT_TRUE(PointHasNaN(c.values[i])) << i;
  for (size_t i = 0; i + 1 < firstNaN; ++i)
    ASSERT_TRUE(CornerRecordGreater({c.values[i], 0}, {c.values[i + 1], 0})) << i;
}

}  // namespace
}  // namespace cvm
