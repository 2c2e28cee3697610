// Materials, texture maps, custom attributes and parameter reads of the stand-in scene.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "import/scene_document.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"

namespace cvm::standin {
namespace {

std::unique_ptr<StandinScene> Scene(const std::string& materials, const std::string& texmaps = "[]",
                                    const std::string& nodes = "[]") {
  std::string error;
  auto scene = import::LoadStandinScene(
      R"({"nodes": )" + nodes + R"(, "materials": )" + materials + R"(, "texmaps": )" + texmaps + "}", error);
  EXPECT_NE(scene, nullptr) << error;
  return scene;
}

TEST(StandinMaterials, FieldsSubMaterialsAndMapsAreHandles) {
  auto scene = Scene(R"([{"name": "Multi", "class": "multi", "subMaterials": [1, null, 1]},
      {"name": "Brick", "twoSided": true, "diffuse": [1, 0.5, 0], "shininess": 0.75,
       "maps": {"diffuse": {"texmap": 0}, "5": {"texmap": 0, "enabled": false}, "opacity": {"texmap": null}}}])",
                     R"([{"fileName": "brick.tga"}, {"class": [1, 0]}])",
                     R"([{"material": 1, "object": {"kind": "helper"}}])");
  HostMaterial* multi = scene->Material(0);
  HostMaterial* brick = scene->Material(1);
  EXPECT_STREQ(multi->MaterialName(), "Multi");
  EXPECT_TRUE(multi->MaterialIsMulti());
  EXPECT_EQ(multi->ObjectClassId(), (ClassId{0x200, 0}));
  ASSERT_EQ(multi->MaterialSubCount(), 3);
  EXPECT_EQ(multi->MaterialSub(0), brick);
  EXPECT_EQ(multi->MaterialSub(1), nullptr);
  EXPECT_EQ(multi->MaterialSub(2), brick);
  EXPECT_EQ(multi->MaterialSub(3), nullptr);
  EXPECT_EQ(scene->Node(0)->NodeMaterial(), brick);

  EXPECT_FALSE(brick->MaterialIsMulti());
  EXPECT_TRUE(brick->MaterialIsTwoSided());
  EXPECT_EQ(brick->MaterialDiffuseColor().y, 0.5f);
  EXPECT_EQ(brick->MaterialAmbientColor().x, 0.5f);
  EXPECT_EQ(brick->MaterialSpecularColor().z, 0.9f);
  EXPECT_EQ(brick->MaterialSelfIllumColor().x, 0.0f);
  EXPECT_EQ(brick->MaterialShininess(), 0.75f);
  EXPECT_EQ(brick->MaterialShininessStrength(), 0.05f);
  EXPECT_EQ(brick->MaterialSubTexmap(1), scene->Texmap(0));
  EXPECT_TRUE(brick->MaterialSubTexmapEnabled(1));
  EXPECT_EQ(brick->MaterialSubTexmap(5), scene->Texmap(0));  // the same index is the same handle
  EXPECT_FALSE(brick->MaterialSubTexmapEnabled(5));
  EXPECT_EQ(brick->MaterialSubTexmap(6), nullptr);
  EXPECT_TRUE(brick->MaterialSubTexmapEnabled(6));  // listed without a map: still switched on
  EXPECT_EQ(brick->MaterialSubTexmap(0), nullptr);
  EXPECT_FALSE(brick->MaterialSubTexmapEnabled(0));
  EXPECT_EQ(brick->MaterialSubTexmap(12), nullptr);
  EXPECT_EQ(brick->MaterialSubTexmap(-1), nullptr);
  EXPECT_STREQ(scene->Texmap(0)->TexmapFileName(), "brick.tga");
  EXPECT_EQ(scene->Texmap(0)->ObjectClassId(), kBitmapTexClassId);
  EXPECT_STREQ(scene->Texmap(1)->TexmapFileName(), "");
  EXPECT_EQ(scene->Texmap(1)->ObjectClassId(), (ClassId{1, 0}));
}

// Allocations go through a CountingHost, which records the materials that had no container.
TEST(StandinMaterials, MissingContainerIsAllocatedOnceAndRecorded) {
  auto scene = Scene(R"([{"customAttributes": []}, {}, {}])");
  test::CountingHost host(*scene);
  HostMaterial* withOne = host.Wrap(scene->Material(0));
  HostMaterial* without = host.Wrap(scene->Material(2));
  const HostCustAttribContainer* given = withOne->GetCustAttribContainer();
  EXPECT_NE(given, nullptr);
  EXPECT_EQ(given->CustAttribCount(), 0);
  EXPECT_EQ(without->GetCustAttribContainer(), nullptr);
  withOne->AllocCustAttribContainer();  // has one already: nothing happens
  EXPECT_EQ(withOne->GetCustAttribContainer(), given);
  without->AllocCustAttribContainer();
  const HostCustAttribContainer* allocated = without->GetCustAttribContainer();
  without->AllocCustAttribContainer();
  ASSERT_NE(without->GetCustAttribContainer(), nullptr);
  EXPECT_EQ(without->GetCustAttribContainer(), allocated);  // the second call keeps the first's
  EXPECT_EQ(without->GetCustAttribContainer()->CustAttribCount(), 0);
  EXPECT_EQ(scene->Material(1)->GetCustAttribContainer(), nullptr);
  EXPECT_EQ(test::MaterialIndices(*scene, host.ContainersAllocated()), (std::vector<int32_t>{2}));
}

// A fixture with one "CV Mat" attribute holding params of every type, and a second attribute
// without a parameter block.
class ParamReadTest : public testing::Test {
 protected:
  void SetUp() override {
    scene_ = Scene(R"([{"customAttributes": [
        {"className": "CV Mat", "paramBlock": true, "params": [
            {"name": "Collideable", "id": 9, "type": "int", "value": -7},
            {"name": "USpinner", "id": 4, "type": "float", "value": 2.75},
            {"name": "Neg", "id": 20, "type": "float", "value": -2.75},
            {"name": "NaN", "id": 21, "type": "float", "value": "nan"},
            {"name": "Huge", "id": 22, "type": "float", "value": 3e9},
            {"name": "MinusInf", "id": 23, "type": "float", "value": "-inf"},
            {"name": "Edge", "id": 24, "type": "float", "value": -2147483648},
            {"name": "ColorKey", "id": 0, "type": "point3", "value": [1, 0, 0.5]},
            {"name": "Second", "id": 9, "type": "int", "value": 99},
            {"name": "Big", "id": 4294967295, "type": "int", "value": 5}]},
        {"className": "Other", "paramBlock": false, "params": [{"name": "x", "id": 1, "type": "int", "value": 1}]}]}])");
    const HostCustAttribContainer* container = scene_->Material(0)->GetCustAttribContainer();
    ASSERT_NE(container, nullptr);
    ASSERT_EQ(container->CustAttribCount(), 2);
    block_ = container->CustAttribAt(0)->CustAttribParamBlock();
    ASSERT_NE(block_, nullptr);
    EXPECT_EQ(container->CustAttribAt(1)->CustAttribParamBlock(), nullptr);
    EXPECT_EQ(container->CustAttribAt(2), nullptr);
  }

  int32_t ReadInt(int32_t id, int32_t initial, bool expectFound) {
    Interval valid{INT32_MIN, INT32_MAX};
    int32_t value = initial;
    EXPECT_EQ(block_->ParamBlockGetInt(id, 0, value, valid, 0), expectFound) << "id " << id;
    return value;
  }

  std::unique_ptr<StandinScene> scene_;
  const HostParamBlock* block_ = nullptr;
};

TEST_F(ParamReadTest, DescriptorListsParamsInOrder) {
  const HostParamBlockDesc* desc = block_->ParamBlockDescriptor();
  ASSERT_NE(desc, nullptr);
  EXPECT_EQ(desc->ParamCount(), 10);
  EXPECT_STREQ(desc->ParamInternalName(0), "Collideable");
  EXPECT_STREQ(desc->ParamInternalName(7), "ColorKey");
  EXPECT_STREQ(desc->ParamInternalName(10), "");
  EXPECT_STREQ(desc->ClassDescClassName(), "CV Mat");
}

TEST_F(ParamReadTest, IntReadsConvertFloatsByTruncation) {
  struct Case {
    int32_t id;
    int32_t expected;
  };
  const Case cases[] = {
      {9, -7},          // int param; the first param with id 9 wins over "Second"
      {4, 2},           // 2.75 truncated toward zero
      {20, -2},         // -2.75 truncated toward zero
      {21, INT32_MIN},  // NaN
      {22, INT32_MIN},  // outside the 32-bit range
      {23, INT32_MIN},  // -inf
      {24, INT32_MIN},  // exactly -2^31 converts to itself
      {-1, 5},          // id 4294967295 is the int32 -1
  };
  for (const Case& c : cases) EXPECT_EQ(ReadInt(c.id, 1234, true), c.expected) << "id " << c.id;
  EXPECT_EQ(ReadInt(0, 1234, false), 1234);   // point3 param: unchanged
  EXPECT_EQ(ReadInt(77, 1234, false), 1234);  // no such id: unchanged
}

TEST_F(ParamReadTest, FloatAndPoint3Reads) {
  Interval valid{INT32_MIN, INT32_MAX};
  float f = 42.0f;
  EXPECT_TRUE(block_->ParamBlockGetFloat(4, 0, f, valid, 0));
  EXPECT_EQ(f, 2.75f);
  EXPECT_TRUE(block_->ParamBlockGetFloat(9, 0, f, valid, 0));
  EXPECT_EQ(f, -7.0f);  // int param converted
  f = 42.0f;
  EXPECT_FALSE(block_->ParamBlockGetFloat(0, 0, f, valid, 0));
  EXPECT_EQ(f, 42.0f);
  EXPECT_FALSE(block_->ParamBlockGetFloat(77, 0, f, valid, 0));
  EXPECT_EQ(f, 42.0f);

  Point3 p{9, 9, 9};
  EXPECT_TRUE(block_->ParamBlockGetPoint3(0, 0, p, valid, 0));
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.z, 0.5f);
  p = {9, 9, 9};
  EXPECT_FALSE(block_->ParamBlockGetPoint3(4, 0, p, valid, 0));  // float param: incompatible
  EXPECT_FALSE(block_->ParamBlockGetPoint3(9, 0, p, valid, 0));
  EXPECT_EQ(p.x, 9.0f);
}

}  // namespace
}  // namespace cvm::standin
