// Spline and light records over host answers the classification does not rule out: counts
// that do not fit their u16 fields, negative counts, missing shapes and splines.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "tests/objects/export_bytes.h"
#include "tests/support/fake_host.h"

namespace cvm::test {
namespace {

// One shape node whose object converts to a temporary holding the shape.
class ShapeNodeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    node.name = "Path";
    node.object = &evaluated;
    evaluated.conversion = &temporary;
    temporary.superClassId = 0x40;
    temporary.classId = kSplineShapeClassId;
    temporary.shape = &shape;
    scene.nodes.push_back(&node);
  }

  FakeScene scene;
  FakeNode node;
  FakeObject evaluated;
  FakeObject temporary;
  FakeShape shape;
};

// Counts no real shape could be built with (the stand-in tests cover the u16 boundary).
struct HugeCountCase {
  const char* label;
  int32_t splineCount;
  int32_t knotCount;
};
void PrintTo(const HugeCountCase& c, std::ostream* os) {
  *os << c.label;
}

class HugeHostCounts : public ShapeNodeFixture, public ::testing::WithParamInterface<HugeCountCase> {};

TEST_P(HugeHostCounts, AreRefusedBeforeAnyLoopAndTheTemporaryStillReleased) {
  shape.splineCount = GetParam().splineCount;
  shape.spline.knotCount = GetParam().knotCount;

  const ExportRun run = ExportSceneToMemory(scene);

  EXPECT_EQ(run.outcome.result, kExportFailed);
  EXPECT_FALSE(run.committed);
  EXPECT_TRUE(run.bytes.empty());
  ASSERT_EQ(run.ui.errors.size(), 1u);
  EXPECT_NE(run.ui.errors[0].find("node 'Path'"), std::string::npos) << run.ui.errors[0];
  EXPECT_EQ(temporary.releases, 1);
  EXPECT_EQ(evaluated.releases, 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, HugeHostCounts,
                         ::testing::Values(HugeCountCase{"Splines", INT_MAX, 0},
                                           HugeCountCase{"KnotsInEverySpline", 3, INT_MAX}),
                         LabelName());

// Records that must stay complete although the host has nothing (or nonsense) to give.
struct OddAnswerCase {
  const char* label;
  bool conversionGivesNothing;
  bool shapeMissing;
  int32_t splineCount;
  bool splinesMissing;
  int32_t knotCount;
  std::vector<format::CvmSpline> splines;  // what the record holds after the node's position
};
void PrintTo(const OddAnswerCase& c, std::ostream* os) {
  *os << c.label;
}

class OddHostAnswers : public ShapeNodeFixture, public ::testing::WithParamInterface<OddAnswerCase> {};

TEST_P(OddHostAnswers, RecordStaysCompleteWithCountsMatchingTheEntries) {
  const OddAnswerCase& c = GetParam();
  if (c.conversionGivesNothing) evaluated.conversion = nullptr;
  if (c.shapeMissing) temporary.shape = nullptr;
  shape.splineCount = c.splineCount;
  shape.splinesMissing = c.splinesMissing;
  shape.spline.knotCount = c.knotCount;

  const ExportRun run = ExportSceneToMemory(scene);

  ASSERT_EQ(run.outcome.result, kExportDone) << run.outcome.error;
  EXPECT_EQ(Slice(run.bytes, kObjectRecordsStart),
            RecordBytes(format::CvmSplineObject{"Path", {0, 0, 0}, c.splines, std::nullopt}));
  EXPECT_EQ(temporary.releases, c.conversionGivesNothing ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OddHostAnswers,
    ::testing::Values(
        OddAnswerCase{"ConversionGivesNothing", true, false, 2, false, 1, {}},
        OddAnswerCase{"TemporaryWithoutShape", false, true, 2, false, 1, {}},
        OddAnswerCase{"NegativeSplineCount", false, false, -3, false, 1, {}},
        OddAnswerCase{"NegativeKnotCount", false, false, 1, false, INT_MIN, {{false, {}}}},
        OddAnswerCase{"MissingSplinesAreEmptyAndOpen", false, false, 2, true, 1, {{false, {}}, {false, {}}}}),
    LabelName());

TEST(LightHostAnswers, LightThatNoLongerEvaluatesIsRefusedNamingTheNode) {
  FakeObject light;
  light.superClassId = kLightSuperClassId;
  light.convertsTo.clear();
  FakeNode node;
  node.name = "Lamp";
  node.object = &light;
  node.evaluationsBeforeVanishing = 2;  // collection and classification see the light
  FakeScene scene;
  scene.nodes.push_back(&node);

  const ExportRun run = ExportSceneToMemory(scene);

  EXPECT_EQ(run.outcome.result, kExportFailed);
  EXPECT_TRUE(run.bytes.empty());
  ASSERT_EQ(run.ui.errors.size(), 1u);
  EXPECT_NE(run.ui.errors[0].find("node 'Lamp'"), std::string::npos) << run.ui.errors[0];
}

}  // namespace
}  // namespace cvm::test
