// Light records through the real driver over small scene documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/objects/export_bytes.h"

namespace cvm::test {
namespace {

std::string SceneWithNodes(const std::string& nodes) {
  return R"({"nodes": [)" + nodes + "]}";
}

struct LightRecordCase {
  const char* label;
  std::string node;  // one node of a scene document
  std::vector<uint8_t> expected;
};
void PrintTo(const LightRecordCase& c, std::ostream* os) {
  *os << c.label;
}

class LightRecords : public ::testing::TestWithParam<LightRecordCase> {};

TEST_P(LightRecords, RecordBytesFollowTheEmptyMaterialSection) {
  const JsonExport e = ExportJson(SceneWithNodes(GetParam().node));
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(e.run.outcome.result, kExportDone) << e.run.outcome.error;
  EXPECT_EQ(U32At(e.run.bytes, 8), 1u);  // light count
  EXPECT_EQ(Slice(e.run.bytes, kObjectRecordsStart), GetParam().expected);
}

// -0.0f: the negated Z axis writes its zero components as 00 00 00 80.
constexpr float kNegZero = -0.0f;

INSTANTIATE_TEST_SUITE_P(
    Golden, LightRecords,
    ::testing::Values(
        LightRecordCase{"UnrotatedAtPosition",
                        R"({"name": "Sun", "transform": [[1,0,0],[0,1,0],[0,0,1],[1,2,3]],
                            "object": {"kind": "light", "lightType": 1, "color": [0.5, 0.25, 1.0],
                                       "intensity": 2.5}})",
                        RecordBytes(format::CvmLight{"Sun",
                                                     1,
                                                     {1, 3, 2},
                                                     {1, 0, 0},
                                                     {0, 0, 1},
                                                     {kNegZero, -1, kNegZero},
                                                     {0.5f, 0.25f, 1.0f},
                                                     2.5f,
                                                     std::nullopt})},
        // X along host +Y, Y along host -X; colour and intensity at their defaults.
        LightRecordCase{
            "RotatedAboutZWithUserText",
            R"({"name": "Spot", "userText": "abc",
                            "transform": [[0,1,0],[-1,0,0],[0,0,1],[0,0,0]],
                            "object": {"kind": "light", "lightType": 4}})",
            RecordBytes(format::CvmLight{
                "Spot", 4, {0, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {kNegZero, -1, kNegZero}, {1, 1, 1}, 1, "abc"})},
        // Scaled, mirrored along X: each axis is made unit length on its own and keeps its
        // sign; the position is not scaled.
        LightRecordCase{"ScaledAndMirroredWithEmptyName",
                        R"({"transform": [[-10,0,0],[0,3,0],[0,0,0.5],[5,6,7]],
                            "object": {"kind": "light", "color": [2, -1, 0], "intensity": -3}})",
                        RecordBytes(format::CvmLight{"",
                                                     0,
                                                     {5, 7, 6},
                                                     {-1, 0, 0},
                                                     {0, 0, 1},
                                                     {kNegZero, -1, kNegZero},
                                                     {2, -1, 0},
                                                     -3,
                                                     std::nullopt})},
        LightRecordCase{"ObliqueAxes",
                        R"({"name": "L", "transform": [[3,4,0],[0,0,2],[0,-5,0],[0,0,0]],
                            "object": {"kind": "light", "lightType": 2}})",
                        RecordBytes(format::CvmLight{"L",
                                                     2,
                                                     {0, 0, 0},
                                                     {0.6f, 0, 0.8f},
                                                     {0, 1, 0},
                                                     {kNegZero, kNegZero, 1},
                                                     {1, 1, 1},
                                                     1,
                                                     std::nullopt})}),
    LabelName());

TEST(LightRecordBytes, NegatedZeroComponentsAreNegativeZero) {
  const JsonExport e = ExportJson(SceneWithNodes(R"({"name": "S", "object": {"kind": "light"}})"));
  ASSERT_NE(e.scene, nullptr);
  const format::Vec3 negatedUp = Decoded(e.run.bytes).lights.at(0).axisZNegated;
  EXPECT_EQ(FloatBits(negatedUp.x), 0x80000000u);
  EXPECT_EQ(FloatBits(negatedUp.y), 0xBF800000u);
  EXPECT_EQ(FloatBits(negatedUp.z), 0x80000000u);
}

struct TypeCodeCase {
  int32_t hostCode;
  uint16_t written;
};

class LightTypeCodes : public ::testing::TestWithParam<TypeCodeCase> {};

TEST_P(LightTypeCodes, OnlyCodesZeroToFourPassThrough) {
  const JsonExport e =
      ExportJson(SceneWithNodes(R"({"name": "L", "object": {"kind": "light", "lightType": )" +
                                std::to_string(GetParam().hostCode) + "}}"));
  ASSERT_NE(e.scene, nullptr);
  EXPECT_EQ(Decoded(e.run.bytes).lights.at(0).typeCode, GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Codes, LightTypeCodes,
                         ::testing::Values(TypeCodeCase{0, 0}, TypeCodeCase{1, 1}, TypeCodeCase{2, 2},
                                           TypeCodeCase{3, 3}, TypeCodeCase{4, 4}, TypeCodeCase{5, 0},
                                           TypeCodeCase{100, 0}, TypeCodeCase{-1, 0}, TypeCodeCase{65537, 0},
                                           TypeCodeCase{-2147483647 - 1, 0}));

TEST(LightRecordBytes, RecordsFollowInListOrderWithNothingBetween) {
  // A helper between the lights must not disturb their order or adjacency.
  const JsonExport e = ExportJson(SceneWithNodes(R"(
      {"name": "First", "userText": "hello", "object": {"kind": "light", "lightType": 3}},
      {"name": "H", "object": {"kind": "helper"}},
      {"name": "Second", "object": {"kind": "light", "lightType": 2}})"));
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(U32At(e.run.bytes, 8), 2u);
  const size_t first = kObjectRecordsStart;
  const size_t second = first + 5 + 5 + 70;  // name length + text length + 70
  const size_t helpers = second + 6 + 69;    // name length + 69
  ASSERT_GT(e.run.bytes.size(), helpers);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e.run.bytes[first])), "First");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e.run.bytes[second])), "Second");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e.run.bytes[helpers])), "H");
  EXPECT_EQ(e.run.bytes.size(), helpers + 1 + 51);  // name length + 51
  const reader::CvmFile file = Decoded(e.run.bytes);
  ASSERT_EQ(file.lights.size(), 2u);
  EXPECT_EQ(file.lights[0].typeCode, 3u);
  EXPECT_EQ(file.lights[1].typeCode, 2u);
}

// Each section announces itself once, even with nothing to write.
TEST(ObjectSectionProgress, EmptyListsStillShowTheirTextsInOrder) {
  // A helper of a third class is collected but exported nowhere.
  const JsonExport e =
      ExportJson(SceneWithNodes(R"({"name": "Odd", "object": {"kind": "helper", "classId": [4660, 0]}})"));
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(e.run.outcome.result, kExportDone) << e.run.outcome.error;
  EXPECT_EQ(e.run.bytes.size(), kObjectRecordsStart);
  std::vector<std::string> objectTexts;
  for (const std::string& text : e.run.ui.progressTexts) {
    if (text.rfind("Exporting ", 0) == 0) objectTexts.push_back(text);
  }
  EXPECT_EQ(objectTexts,
            (std::vector<std::string>{"Exporting Lights\n", "Exporting Helpers\n", "Exporting Splines\n"}));
  EXPECT_FALSE(e.run.ui.textSetWithoutWindow);
}

}  // namespace
}  // namespace cvm::test
