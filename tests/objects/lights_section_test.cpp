// Light records through the real driver over small scene documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/objects/export_bytes.h"

namespace cvm::test {
namespace {

std::string SceneWithNodes(const std::string& nodes) { return R"({"nodes": [)" + nodes + "]}"; }

struct LightRecordCase {
  const char* label;
  std::string node;  // one node of a scene document
  std::vector<uint8_t> expected;
};
void PrintTo(const LightRecordCase& c, std::ostream* os) { *os << c.label; }


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
                        ByteBuilder()
                            .Str("Sun")
                            .U16(1)
                            .F3(1, 3, 2)
                            .F3(1, 0, 0)
                            .F3(0, 0, 1)
                            .F3(kNegZero, -1, kNegZero)
                            .F3(0.5f, 0.25f, 1.0f)
                            .F32(2.5f)
                            .NoUserText()
                            .bytes},
        // X along host +Y, Y along host -X; colour and intensity at their defaults.
        LightRecordCase{"RotatedAboutZWithUserText",
                        R"({"name": "Spot", "userText": "abc",
                            "transform": [[0,1,0],[-1,0,0],[0,0,1],[0,0,0]],
                            "object": {"kind": "light", "lightType": 4}})",
                        ByteBuilder()
                            .Str("Spot")
                            .U16(4)
                            .F3(0, 0, 0)
                            .F3(0, 0, 1)
                            .F3(-1, 0, 0)
                            .F3(kNegZero, -1, kNegZero)
                            .F3(1, 1, 1)
                            .F32(1)
                            .UserText("abc")
                            .bytes},
        // Scaled, mirrored along X: each axis is made unit length on its own and keeps its
        // sign; the position is not scaled.
        LightRecordCase{"ScaledAndMirroredWithEmptyName",
                        R"({"transform": [[-10,0,0],[0,3,0],[0,0,0.5],[5,6,7]],
                            "object": {"kind": "light", "color": [2, -1, 0], "intensity": -3}})",
                        ByteBuilder()
                            .Str("")
                            .U16(0)
                            .F3(5, 7, 6)
                            .F3(-1, 0, 0)
                            .F3(0, 0, 1)
                            .F3(kNegZero, -1, kNegZero)
                            .F3(2, -1, 0)
                            .F32(-3)
                            .NoUserText()
                            .bytes},
        LightRecordCase{"ObliqueAxes",
                        R"({"name": "L", "transform": [[3,4,0],[0,0,2],[0,-5,0],[0,0,0]],
                            "object": {"kind": "light", "lightType": 2}})",
                        ByteBuilder()
                            .Str("L")
                            .U16(2)
                            .F3(0, 0, 0)
                            .F3(0.6f, 0, 0.8f)
                            .F3(0, 1, 0)
                            .F3(kNegZero, kNegZero, 1)
                            .F3(1, 1, 1)
                            .F32(1)
                            .NoUserText()
                            .bytes}),
    LabelName());

TEST(LightRecordBytes, NegatedZeroComponentsAreNegativeZero) {
  const JsonExport e = ExportJson(SceneWithNodes(R"({"name": "S", "object": {"kind": "light"}})"));
  ASSERT_NE(e.scene, nullptr);
  // name (2) + type (2) + position (12) + axisX (12) + axisY (12): axisZNegated follows.
  const size_t axisZ = kObjectRecordsStart + 2 + 2 + 12 + 12 + 12;
  const std::vector<uint8_t> negatedUp(e.run.bytes.begin() + axisZ, e.run.bytes.begin() + axisZ + 12);
  EXPECT_EQ(negatedUp, (std::vector<uint8_t>{0, 0, 0, 0x80, 0, 0, 0x80, 0xBF, 0, 0, 0, 0x80}));
}

struct TypeCodeCase {
  int32_t hostCode;
  uint16_t written;
};

class LightTypeCodes : public ::testing::TestWithParam<TypeCodeCase> {};

TEST_P(LightTypeCodes, OnlyCodesZeroToFourPassThrough) {
  const JsonExport e = ExportJson(SceneWithNodes(R"({"name": "L", "object": {"kind": "light", "lightType": )" +
                                                 std::to_string(GetParam().hostCode) + "}}"));
  ASSERT_NE(e.scene, nullptr);
  const size_t typeAt = kObjectRecordsStart + 2;
  EXPECT_EQ(e.run.bytes.at(typeAt) | e.run.bytes.at(typeAt + 1) << 8, GetParam().written);
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
  EXPECT_EQ(e.run.bytes[first + 6], 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e.run.bytes[second])), "Second");
  EXPECT_EQ(e.run.bytes[second + 7], 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e.run.bytes[helpers])), "H");
  EXPECT_EQ(e.run.bytes.size(), helpers + 1 + 51);  // name length + 51
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
