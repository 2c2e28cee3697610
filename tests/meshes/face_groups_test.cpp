#include "meshes/face_groups.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "tests/support/fake_host.h"

namespace cvm {
namespace {

struct ExpectedGroup {
  int32_t subMaterial;
  uint32_t materialIndex;
  std::vector<uint32_t> faces;
};

// Materials: plain A and B are in the list (positions 0 and 1); plain C, the multi-materials
// and the nested multi are not, as the material collection keeps only leaves.
class FaceGroupsTest : public testing::Test {
 protected:
  void SetUp() override {
    multi3.isMulti = true;
    multi3.subs = {&a, &c, &b};
    multiWithHoles.isMulti = true;
    multiWithHoles.subs = {nullptr, &multi3, &b};
    multi1.isMulti = true;
    multi1.subs = {&a};
    multi0.isMulti = true;
    hugeMulti.isMulti = true;
    hugeMulti.subs = {&a, &b};
    hugeMulti.subCountOverride = 0x7FFFFFFF;
  }
  void Check(const std::vector<uint16_t>& ids, HostMaterial* material,
             const std::vector<ExpectedGroup>& expected) {
    std::vector<FaceGroup> groups;
    std::vector<uint32_t> faceOrder;
    std::vector<MeshFace> faces;
    for (const uint16_t id : ids) faces.push_back({{0, 1, 2}, 0, (uint32_t{id} << 16) | 0x1234u});
    BuildFaceGroups(faces.data(), static_cast<uint32_t>(faces.size()), material, materials, groups,
                    faceOrder);
    std::vector<uint32_t> expectedOrder;
    ASSERT_EQ(groups.size(), expected.size());
    for (size_t g = 0; g < groups.size(); ++g) {
      SCOPED_TRACE(g);
      EXPECT_EQ(groups[g].subMaterial, expected[g].subMaterial);
      EXPECT_EQ(groups[g].materialIndex, expected[g].materialIndex);
      EXPECT_EQ(groups[g].faceCount, expected[g].faces.size());
      expectedOrder.insert(expectedOrder.end(), expected[g].faces.begin(), expected[g].faces.end());
    }
    if (groups.size() <= 1) {
      // The only group holds every face in ascending order, which faceOrder leaves unlisted.
      EXPECT_TRUE(faceOrder.empty());
      std::vector<uint32_t> everyFace(ids.size());
      std::iota(everyFace.begin(), everyFace.end(), 0u);
      EXPECT_EQ(expectedOrder, everyFace);
    } else {
      EXPECT_EQ(faceOrder, expectedOrder);
    }
  }

  test::FakeMaterial a, b, c, multi3, multiWithHoles, multi1, multi0, hugeMulti;
  MaterialList materials{&a, &b};
};

TEST_F(FaceGroupsTest, NoMaterialOrAPlainOneGivesOneGroup) {
  SCOPED_TRACE("no material");
  Check({0, 3, 1}, nullptr, {{0, kNoReference, {0, 1, 2}}});
  SCOPED_TRACE("plain material in the list");
  Check({0, 3, 1}, &b, {{0, 1, {0, 1, 2}}});
  SCOPED_TRACE("plain material not in the list");
  Check({2}, &c, {{0, kNoReference, {0}}});
}

TEST_F(FaceGroupsTest, MultiMaterialGroupsBySubMaterialInAscendingOrder) {
  SCOPED_TRACE("unused sub-material 1 gets no group; faces ascending within a group");
  Check({2, 0, 2, 0}, &multi3, {{0, 0, {1, 3}}, {2, 1, {0, 2}}});
  SCOPED_TRACE("ids wrap modulo M: 7 -> 1, 3 -> 0, 65535 -> 0");
  Check({7, 3, 65535, 1}, &multi3, {{0, 0, {1, 2}}, {1, kNoReference, {0, 3}}});
  SCOPED_TRACE("empty slot and nested multi-material are not in the list");
  Check({0, 1, 2}, &multiWithHoles, {{0, kNoReference, {0}}, {1, kNoReference, {1}}, {2, 1, {2}}});
}

TEST_F(FaceGroupsTest, SingleAndMissingSubMaterials) {
  SCOPED_TRACE("M = 1 looks up the multi-material itself");
  Check({0, 5}, &multi1, {{0, kNoReference, {0, 1}}});
  SCOPED_TRACE("no sub-materials: one group, so no face is lost");
  Check({0, 5}, &multi0, {{0, kNoReference, {0, 1}}});
  SCOPED_TRACE("a negative sub-material count is no sub-materials");
  multi0.subCountOverride = -5;
  Check({3}, &multi0, {{0, kNoReference, {0}}});
  SCOPED_TRACE("M beyond the 16-bit ids");
  Check({1, 0, 65535}, &hugeMulti, {{0, 0, {1}}, {1, 1, {0}}, {65535, kNoReference, {2}}});
}

}  // namespace
}  // namespace cvm
