// Helper records through the real driver over small scene documents.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/objects/export_bytes.h"

namespace cvm::test {
namespace {

std::string SceneWithNodes(const std::string& nodes) {
  return R"({"nodes": [)" + nodes + "]}";
}

struct HelperRecordCase {
  const char* label;
  std::string node;
  std::vector<uint8_t> expected;
};
void PrintTo(const HelperRecordCase& c, std::ostream* os) {
  *os << c.label;
}

class HelperRecords : public ::testing::TestWithParam<HelperRecordCase> {};

TEST_P(HelperRecords, RecordBytesFollowTheEmptyMaterialSection) {
  const JsonExport e = ExportJson(SceneWithNodes(GetParam().node));
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(e.run.outcome.result, kExportDone) << e.run.outcome.error;
  EXPECT_EQ(U32At(e.run.bytes, 12), 1u);  // helper count
  EXPECT_EQ(Slice(e.run.bytes, kObjectRecordsStart), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Golden, HelperRecords,
    ::testing::Values(
        // An unrotated helper reads as the identity basis in the file's frame.
        HelperRecordCase{"UnrotatedAtPosition",
                         R"({"name": "Dummy01", "transform": [[1,0,0],[0,1,0],[0,0,1],[1,2,3]],
                             "object": {"kind": "helper"}})",
                         RecordBytes(format::CvmHelper{
                             "Dummy01", {1, 3, 2}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, std::nullopt})},
        // 90 degrees about host Z: X along host +Y, Y along host -X; nothing is negated.
        HelperRecordCase{
            "RotatedAboutZWithUserText",
            R"({"name": "Door", "userText": "abc",
                             "transform": [[0,1,0],[-1,0,0],[0,0,1],[0,0,0]],
                             "object": {"kind": "helper"}})",
            RecordBytes(format::CvmHelper{"Door", {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, "abc"})},
        HelperRecordCase{
            "ScaledKeepsUnitAxesAndPosition",
            R"({"name": "", "transform": [[2,0,0],[0,2,0],[0,0,-2],[4,-5,6]],
                             "object": {"kind": "helper", "classId": [8872500, 0]}})",
            RecordBytes(format::CvmHelper{"", {4, 6, -5}, {1, 0, 0}, {0, -1, 0}, {0, 0, 1}, std::nullopt})}),
    LabelName());

TEST(HelperClasses, BothAcceptedClassesWriteIdenticalRecordsAndAThirdNone) {
  const std::string common = R"("name": "Marker", "userText": "spawn=1",
                                "transform": [[0,0,3],[0,1,0],[-1,0,0],[7,8,9]])";
  const JsonExport e = ExportJson(SceneWithNodes(
      "{" + common + R"(, "object": {"kind": "helper"}},)" +                           // (0x2013, 0)
      "{" + common + R"(, "object": {"kind": "helper", "classId": [4660, 0]}},)" +     // neither
      "{" + common + R"(, "object": {"kind": "helper", "classId": [8872500, 0]}})"));  // (0x876234, 0)
  ASSERT_NE(e.scene, nullptr);
  ASSERT_EQ(e.run.outcome.result, kExportDone) << e.run.outcome.error;
  EXPECT_EQ(U32At(e.run.bytes, 12), 2u);
  const size_t recordSize = 6 + 7 + 52;  // name length + text length + 52
  ASSERT_EQ(e.run.bytes.size(), kObjectRecordsStart + 2 * recordSize);
  const std::vector<uint8_t> first(e.run.bytes.begin() + kObjectRecordsStart,
                                   e.run.bytes.begin() + kObjectRecordsStart + recordSize);
  EXPECT_EQ(first,
            RecordBytes(format::CvmHelper{"Marker", {7, 9, 8}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, "spawn=1"}));
  EXPECT_EQ(Slice(e.run.bytes, kObjectRecordsStart + recordSize), first);
}

}  // namespace
}  // namespace cvm::test
