// Spline records through the real driver over small scene documents and scene models.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "standin/scene_model.h"
#include "tests/objects/export_bytes.h"

namespace cvm::test {
namespace {

std::string SceneWithNodes(const std::string& nodes) {
  return R"({"nodes": [)" + nodes + "]}";
}

struct SplineRecordCase {
  const char* label;
  std::string node;
  std::vector<uint8_t> expected;
};
void PrintTo(const SplineRecordCase& c, std::ostream* os) {
  *os << c.label;
}

class SplineRecords : public ::testing::TestWithParam<SplineRecordCase> {};

TEST_P(SplineRecords, RecordBytesFollowTheEmptyMaterialSection) {
  const JsonExport e = ExportJson(SceneWithNodes(GetParam().node));
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(e.run.outcome.result, kExportDone) << e.run.outcome.error;
  EXPECT_EQ(U32At(e.run.bytes, 16), 1u);  // spline-record count
  EXPECT_EQ(Slice(e.run.bytes, kObjectRecordsStart), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Golden, SplineRecords,
    ::testing::Values(
        // The knot is an offset from the node's position, which the record holds once.
        SplineRecordCase{
            "KnotNotShiftedByPosition",
            R"({"name": "Rail", "transform": [[1,0,0],[0,1,0],[0,0,1],[10,0,0]],
                             "object": {"kind": "shape",
                                        "splines": [{"closed": false, "knots": [[11,2,3]]}]}})",
            RecordBytes(format::CvmSplineObject{"Rail", {10, 0, 0}, {{false, {{11, 3, 2}}}}, std::nullopt})},
        SplineRecordCase{"OpenSplineOfTwoKnots",
                         R"({"name": "P", "object": {"kind": "shape",
                             "splines": [{"closed": false, "knots": [[1,2,3],[-4,5.5,0.25]]}]}})",
                         RecordBytes(format::CvmSplineObject{
                             "P", {0, 0, 0}, {{false, {{1, 3, 2}, {-4, 0.25f, 5.5f}}}}, std::nullopt})},
        SplineRecordCase{
            "ClosedAndOpenWithUserText",
            R"({"name": "Loop", "userText": "abc", "object": {"kind": "shape",
                             "splines": [{"closed": true, "knots": [[0,0,0],[1,0,0],[0,1,0]]},
                                         {"closed": false, "knots": []}]}})",
            RecordBytes(format::CvmSplineObject{
                "Loop", {0, 0, 0}, {{true, {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}}, {false, {}}}, "abc"})},
        SplineRecordCase{"ShapeWithoutSplines",
                         R"({"name": "Empty", "transform": [[1,0,0],[0,1,0],[0,0,1],[1,2,3]],
                             "object": {"kind": "shape"}})",
                         RecordBytes(format::CvmSplineObject{"Empty", {1, 3, 2}, {}, std::nullopt})},
        // Scale and rotation reach the knots; the position stays as it is.
        SplineRecordCase{
            "ScaledNodeDoublesKnotDistance",
            R"({"name": "S", "transform": [[2,0,0],[0,2,0],[0,0,2],[10,0,0]],
                             "object": {"kind": "shape",
                                        "splines": [{"closed": false, "knots": [[1,2,3]]}]}})",
            RecordBytes(format::CvmSplineObject{"S", {10, 0, 0}, {{false, {{2, 6, 4}}}}, std::nullopt})},
        SplineRecordCase{"RotatedAboutZ",
                         R"({"name": "R", "transform": [[0,1,0],[-1,0,0],[0,0,1],[0,0,5]],
                             "object": {"kind": "shape",
                                        "splines": [{"closed": true, "knots": [[1,0,0],[0,1,0]]}]}})",
                         RecordBytes(format::CvmSplineObject{
                             "R", {0, 5, 0}, {{true, {{0, 0, 1}, {-1, 0, 0}}}}, std::nullopt})},
        // The host's transform always adds the (cleared) translation row: -0 becomes +0.
        SplineRecordCase{"NegativeZeroKnotBecomesPositiveZero",
                         R"({"name": "Z", "object": {"kind": "shape",
                             "splines": [{"closed": false, "knots": [["-0","-0","-0"]]}]}})",
                         RecordBytes(format::CvmSplineObject{
                             "Z", {0, 0, 0}, {{false, {{0, 0, 0}}}}, std::nullopt})}),
    LabelName());

TEST(SplineRecordBytes, ShapeThatAlsoConvertsToAMeshIsASplineOnly) {
  const JsonExport e = ExportJson(SceneWithNodes(
      R"({"name": "Both", "object": {"kind": "shape", "alsoMesh": true,
          "splines": [{"closed": true, "knots": [[1,1,1]]}]}})"));
  ASSERT_NE(e.scene, nullptr);
  EXPECT_EQ(U32At(e.run.bytes, 4), 0u);
  EXPECT_EQ(U32At(e.run.bytes, 16), 1u);
  EXPECT_EQ(Slice(e.run.bytes, kObjectRecordsStart),
            RecordBytes(format::CvmSplineObject{"Both", {0, 0, 0}, {{true, {{1, 1, 1}}}}, std::nullopt}));
}

struct TemporaryCase {
  const char* label;
  bool native;
  int nodes;
  int expectedTemporaries;
};
void PrintTo(const TemporaryCase& c, std::ostream* os) {
  *os << c.label;
}

class SplineTemporaries : public ::testing::TestWithParam<TemporaryCase> {};

TEST_P(SplineTemporaries, ConvertedShapesAreReleasedOnceAndNativeOnesNever) {
  const TemporaryCase& c = GetParam();
  std::string nodes;
  for (int i = 0; i < c.nodes; ++i) {
    if (i > 0) nodes += ",";
    nodes += R"({"name": "N)" + std::to_string(i) + R"(", "object": {"kind": "shape", "native": )" +
             (c.native ? "true" : "false") + R"(, "splines": [{"closed": false, "knots": [[1,2,3]]}]}})";
  }
  const JsonExport e = ExportJson(SceneWithNodes(nodes));
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(e.run.outcome.result, kExportDone) << e.run.outcome.error;
  EXPECT_EQ(U32At(e.run.bytes, 16), static_cast<uint32_t>(c.nodes));
  EXPECT_EQ(e.host->TemporariesMade(), c.expectedTemporaries);
  EXPECT_EQ(e.host->TemporariesReleased(), c.expectedTemporaries);
  EXPECT_EQ(e.host->InvalidReleases(), 0);
  EXPECT_EQ(e.host->ReleasedObjectUses(), 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, SplineTemporaries,
                         ::testing::Values(TemporaryCase{"OneConverted", false, 1, 1},
                                           TemporaryCase{"ThreeConverted", false, 3, 3},
                                           TemporaryCase{"Native", true, 2, 0}),
                         LabelName());

// Shapes too large for a document of reasonable size are built as models.
standin::NodeModel ShapeNode(const std::string& name, size_t splines, size_t knotsInFirst) {
  standin::NodeModel node;
  node.name = name;
  node.object.kind = standin::ObjectKind::kShape;
  node.object.native = false;
  node.object.splines.resize(splines);
  if (splines > 0) node.object.splines[0].knots.resize(knotsInFirst, Point3{1, 2, 3});
  return node;
}

struct LimitCase {
  const char* label;
  size_t splines;
  size_t knotsInFirst;
  bool refused;
};
void PrintTo(const LimitCase& c, std::ostream* os) {
  *os << c.label;
}

class SplineLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(SplineLimits, CountsThatDoNotFitAU16AreRefusedNamingTheNode) {
  const LimitCase& c = GetParam();
  standin::SceneModel model;
  model.nodes.push_back(ShapeNode("Fine", 1, 1));
  model.nodes.push_back(ShapeNode("Huge", c.splines, c.knotsInFirst));
  std::unique_ptr<standin::StandinScene> scene = SceneFromModel(std::move(model));
  ASSERT_NE(scene, nullptr);
  CountingHost host(*scene);

  const ExportRun run = ExportSceneToMemory(host);

  EXPECT_EQ(host.TemporariesMade(), 2);
  EXPECT_EQ(host.TemporariesReleased(), 2);
  EXPECT_EQ(host.InvalidReleases(), 0);
  if (c.refused) {
    EXPECT_EQ(run.outcome.result, kExportFailed);
    EXPECT_FALSE(run.committed);
    EXPECT_TRUE(run.bytes.empty());
    ASSERT_EQ(run.ui.errors.size(), 1u);
    EXPECT_NE(run.ui.errors[0].find("node 'Huge'"), std::string::npos) << run.ui.errors[0];
    return;
  }
  ASSERT_EQ(run.outcome.result, kExportDone) << run.outcome.error;
  const size_t fine = 5 + 12 + 2 + (3 + 12) + 2;
  const size_t huge = 5 + 12 + 2 + 3 * c.splines + 12 * c.knotsInFirst + 2;
  EXPECT_EQ(run.bytes.size(), kObjectRecordsStart + fine + huge);
}

INSTANTIATE_TEST_SUITE_P(Limits, SplineLimits,
                         ::testing::Values(LimitCase{"MostSplines", 65535, 0, false},
                                           LimitCase{"TooManySplines", 65536, 0, true},
                                           LimitCase{"MostKnots", 1, 65535, false},
                                           LimitCase{"TooManyKnots", 2, 65536, true}),
                         LabelName());

}  // namespace
}  // namespace cvm::test
