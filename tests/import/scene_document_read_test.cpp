// Documents the reader accepts, with the values and defaults they give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "import/scene_document.h"
#include "tests/support/float_bits.h"
#include "tests/support/scene_model_compare.h"

namespace cvm::import {
namespace {

standin::SceneModel Load(const std::string& json) {
  standin::SceneModel model;
  std::string error;
  EXPECT_TRUE(LoadSceneDocument(json, model, error)) << error;
  return model;
}

// One float field read from a light's intensity: the text as written, the float's bits.
struct FloatCase {
  const char* text;
  uint32_t bits;
};

class FloatFieldTest : public testing::TestWithParam<FloatCase> {};

TEST_P(FloatFieldTest, ReadsAsDoubleRoundedOnceToFloat) {
  const standin::SceneModel model = Load(
      std::string(R"({"nodes": [{"object": {"kind": "light", "intensity": )") + GetParam().text + "}}]}");
  ASSERT_EQ(model.nodes.size(), 1u);
  const float value = model.nodes[0].object.light.intensity;
  if (GetParam().bits == 0x7FC00000u) {
    EXPECT_TRUE(std::isnan(value));
  } else {
    EXPECT_EQ(test::FloatBits(value), GetParam().bits) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FloatFieldTest,
                         testing::Values(FloatCase{"\"nan\"", 0x7FC00000u}, FloatCase{"\"inf\"", 0x7F800000u},
                                         FloatCase{"\"-inf\"", 0xFF800000u}, FloatCase{"\"-0\"", 0x80000000u},
                                         FloatCase{"-0.0", 0x80000000u},  // a float literal keeps its sign
                                         FloatCase{"-0", 0x00000000u},    // the integer literal -0 is zero
                                         FloatCase{"0.1", 0x3DCCCCCDu}, FloatCase{"2", 0x40000000u},
                                         FloatCase{"1e39", 0x7F800000u},   // finite double, too big for float
                                         FloatCase{"1e-50", 0x00000000u},  // underflows to +0
                                         FloatCase{"16777217", 0x4B800000u},  // 2^24 + 1 rounds to even
                                         FloatCase{"18446744073709551615", 0x5F800000u}));

TEST(DocumentRead, DefaultsOfANodeAndItsObjects) {
  const standin::SceneModel model = Load(R"({"nodes": [
      {"object": {"kind": "mesh", "vertices": [], "faces": []}},
      {"object": {"kind": "shape"}},
      {"object": {"kind": "light"}},
      {"object": {"kind": "camera"}}]})");
  ASSERT_EQ(model.nodes.size(), 4u);
  const standin::NodeModel& node = model.nodes[0];
  EXPECT_EQ(node.name, "");
  EXPECT_EQ(node.userText, "");
  EXPECT_FALSE(node.selected);
  EXPECT_FALSE(node.hidden);
  EXPECT_EQ(node.material, -1);
  EXPECT_FALSE(node.pivot.has_value());
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 3; ++k) {
      const float* row = &node.transform.row[r].x;
      EXPECT_EQ(row[k], (r == k) ? 1.0f : 0.0f);
    }
  }
  EXPECT_TRUE(node.object.native);
  EXPECT_FALSE(node.object.mesh.colors.has_value());
  EXPECT_FALSE(node.object.mesh.normals.has_value());
  EXPECT_EQ(model.nodes[1].object.kind, standin::ObjectKind::kShape);
  EXPECT_FALSE(model.nodes[1].object.alsoMesh);
  EXPECT_TRUE(model.nodes[1].object.splines.empty());
  const standin::LightModel& light = model.nodes[2].object.light;
  EXPECT_EQ(light.lightType, 0);
  EXPECT_EQ(light.color.x, 1.0f);
  EXPECT_EQ(light.color.y, 1.0f);
  EXPECT_EQ(light.color.z, 1.0f);
  EXPECT_EQ(light.intensity, 1.0f);
  EXPECT_EQ(model.nodes[3].object.kind, standin::ObjectKind::kCamera);
  EXPECT_TRUE(model.materials.empty());
  EXPECT_TRUE(model.texmaps.empty());
}

TEST(DocumentRead, MeshFieldsLandInTheFaces) {
  const standin::SceneModel model = Load(R"({"nodes": [{"object": {"kind": "mesh",
      "vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,0]], "faces": [[0,1,2],[2,1,3]],
      "smoothing": [4294967295, 0], "materialIds": [65535, 2.0],
      "tverts": [[0.5, 0.25], [1, 2, 3]], "tvFaces": [[0,1,0],[1,1,1]],
      "colors": {"verts": [[1,0,0]], "faces": [[0,0,0],[0,0,0]]}}}]})");
  const standin::MeshModel& mesh = model.nodes[0].object.mesh;
  ASSERT_EQ(mesh.faces.size(), 2u);
  EXPECT_EQ(mesh.faces[0].smGroup, 4294967295u);
  EXPECT_EQ(mesh.faces[1].smGroup, 0u);
  EXPECT_EQ(mesh.faces[0].flags, 0xFFFF0000u);
  EXPECT_EQ(mesh.faces[1].flags, 0x00020000u);
  EXPECT_EQ(mesh.faces[1].v[2], 3u);
  ASSERT_EQ(mesh.tverts.size(), 2u);
  EXPECT_EQ(mesh.tverts[0].x, 0.5f);
  EXPECT_EQ(mesh.tverts[0].y, 0.25f);
  EXPECT_EQ(test::FloatBits(mesh.tverts[0].z), 0u);  // 2-number texture vertex: w = +0
  EXPECT_EQ(mesh.tverts[1].z, 3.0f);
  EXPECT_EQ(mesh.tvFaces[1].t[0], 1u);
  ASSERT_TRUE(mesh.colors.has_value());
  EXPECT_EQ(mesh.colors->verts.size(), 1u);
}

TEST(DocumentRead, MapsByNumberAndByNameWithEnabledDefault) {
  const standin::SceneModel model =
      Load(R"({"nodes": [], "texmaps": [{}, {"class": [1, 2], "fileName": "b.tga"}],
      "materials": [{"maps": {"1": {"texmap": 0}, "bump": {"texmap": 1, "enabled": false},
                              "displacement": {"texmap": null}, "_note": "comment"}}]})");
  const standin::MaterialModel& m = model.materials[0];
  EXPECT_EQ(m.maps[1].texmap, 0);
  EXPECT_TRUE(m.maps[1].enabled);
  EXPECT_EQ(m.maps[8].texmap, 1);
  EXPECT_FALSE(m.maps[8].enabled);
  EXPECT_EQ(m.maps[11].texmap, -1);
  EXPECT_TRUE(m.maps[11].enabled);
  EXPECT_EQ(m.maps[0].texmap, -1);
  EXPECT_FALSE(m.maps[0].enabled);
  EXPECT_EQ(model.texmaps[0].classId, kBitmapTexClassId);
  EXPECT_EQ(model.texmaps[1].classId, (ClassId{1, 2}));
  EXPECT_EQ(model.texmaps[1].fileName, "b.tga");
}

TEST(DocumentRead, MaterialDefaultsAndClasses) {
  const standin::SceneModel model =
      Load(R"({"nodes": [], "materials": [{}, {"class": "multi", "subMaterials": [null, 0]},
      {"class": "shell", "isMulti": true}, {"class": [512, 0]}, {"customAttributes": []}]})");
  const standin::MaterialModel& m = model.materials[0];
  EXPECT_EQ(m.classId, (ClassId{2, 0}));
  EXPECT_FALSE(standin::EffectiveIsMulti(m));
  EXPECT_EQ(m.diffuse.x, 0.5f);
  EXPECT_EQ(m.specular.y, 0.9f);
  EXPECT_EQ(m.selfIllum.z, 0.0f);
  EXPECT_EQ(m.shininess, 0.25f);
  EXPECT_EQ(m.shininessStrength, 0.05f);
  EXPECT_FALSE(m.customAttributes.has_value());
  EXPECT_TRUE(standin::EffectiveIsMulti(model.materials[1]));
  EXPECT_EQ(model.materials[1].subMaterials, (std::vector<int32_t>{-1, 0}));
  EXPECT_EQ(model.materials[2].classId, kShellMaterialClassId);
  EXPECT_TRUE(standin::EffectiveIsMulti(model.materials[2]));
  EXPECT_TRUE(standin::EffectiveIsMulti(model.materials[3]));  // class [0x200, 0] counts as multi
  ASSERT_TRUE(model.materials[4].customAttributes.has_value());
  EXPECT_TRUE(model.materials[4].customAttributes->empty());
}

TEST(DocumentRead, CommentKeysMayRepeatAndStringsKeepTheirBytes) {
  const standin::SceneModel model = Load(
      "{\"_c\": 1, \"_c\": [2], \"nodes\": [{\"name\": \"Caf\xC3\xA9 \\u00e9\", \"userText\": \"a\\nb\", "
      "\"object\": {\"kind\": \"helper\", \"_why\": {\"x\": 1}}}]}");
  EXPECT_EQ(model.nodes[0].name, "Caf\xC3\xA9 \xC3\xA9");
  EXPECT_EQ(model.nodes[0].userText, "a\nb");
}

TEST(DocumentRead, WholeNumbersAtTheEdgesOfTheirRanges) {
  const standin::SceneModel model = Load(R"({"nodes": [
      {"object": {"kind": "light", "lightType": -2147483648}},
      {"object": {"kind": "light", "lightType": 2147483647.0}},
      {"object": {"kind": "helper", "superClassId": 4294967295, "classId": [0, 4294967295]}},
      {"object": {"kind": "light", "lightType": -0}}]})");
  EXPECT_EQ(model.nodes[0].object.light.lightType, INT32_MIN);
  EXPECT_EQ(model.nodes[1].object.light.lightType, INT32_MAX);
  EXPECT_EQ(*model.nodes[2].object.superClassId, 4294967295u);
  EXPECT_EQ(model.nodes[2].object.classId->b, 4294967295u);
  EXPECT_EQ(model.nodes[3].object.light.lightType, 0);
}

TEST(DocumentRead, ExplicitNormalsAsGiven) {
  const standin::SceneModel model = Load(R"({"nodes": [{"object": {"kind": "mesh",
      "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]],
      "normals": {"faceNormals": [[0,0,2]], "vertexNormals": [
          {"specified": true, "entries": [{"normal": [0,0,1], "smoothing": 1}]},
          {"specified": false, "entries": []},
          {"specified": false, "entries": [{"normal": [1,0,0], "smoothing": 2}, {"normal": [0,1,0], "smoothing": 4}]}]}}}]})");
  const standin::ExplicitNormalsModel& normals = *model.nodes[0].object.mesh.normals;
  EXPECT_EQ(normals.faceNormals[0].z, 2.0f);
  ASSERT_EQ(normals.VertexCount(), 3u);
  EXPECT_TRUE(normals.specified[0]);
  EXPECT_EQ(normals.EntryCount(1), 0u);
  ASSERT_EQ(normals.EntryCount(2), 2u);
  EXPECT_EQ(normals.VertexEntries(2)[1].smGroup, 4u);
}

// A mesh's arrays are read while the text is parsed, before the object's kind or the face
// count may be known: every order of the keys must give the same model.
TEST(DocumentRead, AMeshsKeysInAnyOrderGiveTheSameModel) {
  const std::string kind = R"("kind": "mesh")";
  const std::string vertices = R"("vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,"-0"]])";
  const std::string faces = R"("faces": [[0,1,2],[2,1,3]])";
  const std::string smoothing = R"("smoothing": [1, 4294967295])";
  const std::string materialIds = R"("materialIds": [65535, 2.0])";
  const std::string tverts = R"("tverts": [[0,0],[1,0,0.5],[0,1]])";
  const std::string tvFaces = R"("tvFaces": [[0,1,2],[2,1,0]])";
  const std::string colors = R"("colors": {"faces": [[0,0,0],[1,1,1]], "verts": [[1,0,0],[0,1,0]]})";
  const std::string normals = R"("normals": {"vertexNormals": [
      {"entries": [{"smoothing": 1, "normal": [0,0,1]}], "specified": true},
      {"specified": false, "entries": []},
      {"specified": false, "entries": [{"normal": [1,0,0], "smoothing": 2}, {"normal": [0,1,0], "smoothing": 4}]},
      {"specified": false, "entries": [{"normal": ["nan",0,0], "smoothing": 0}]}],
      "faceNormals": [[0,0,2],[0,0,-1]]})";
  const auto document = [](std::initializer_list<std::string> keys) {
    std::string object;
    for (const std::string& key : keys) object += (object.empty() ? "" : ", ") + key;
    return R"({"nodes": [{"object": {"kind": "helper"}}, {"name": "m", "object": {)" + object + "}}]}";
  };
  const standin::SceneModel expected =
      Load(document({kind, vertices, faces, smoothing, materialIds, tverts, tvFaces, colors, normals}));
  ASSERT_EQ(expected.nodes.size(), 2u);
  ASSERT_EQ(expected.nodes[1].object.mesh.faces.size(), 2u);
  EXPECT_EQ(expected.nodes[1].object.mesh.faces[1].smGroup, 4294967295u);
  ASSERT_TRUE(expected.nodes[1].object.mesh.normals.has_value());
  EXPECT_EQ(expected.nodes[1].object.mesh.normals->EntryCount(2), 2u);
  const std::string orders[] = {
      document({normals, colors, tvFaces, tverts, materialIds, smoothing, faces, vertices, kind}),
      document({smoothing, tvFaces, kind, materialIds, faces, colors, vertices, normals, tverts}),
      document({vertices, normals, faces, kind, colors, smoothing, tverts, materialIds, tvFaces}),
  };
  for (const std::string& text : orders) {
    EXPECT_EQ(standin::SceneModelDifference(Load(text), expected), "") << text;
  }
}

TEST(DocumentRead, TheFormatsOwnExampleLoads) {
  const standin::SceneModel model = Load(R"({
    "materials": [ { "name": "Brick", "diffuse": [1, 0.5, 0], "maps": { "diffuse": { "texmap": 0 } } } ],
    "texmaps": [ { "fileName": "C:\\maps\\brick.tga" } ],
    "nodes": [
      { "name": "Tri", "material": 0,
        "object": { "kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]], "smoothing": [1],
                    "tverts": [[0,0],[1,0],[0,1]], "tvFaces": [[0,1,2]] } },
      { "name": "Sun", "transform": [[1,0,0],[0,1,0],[0,0,1],[0,0,10]],
        "object": { "kind": "light", "lightType": 1, "color": [1, 0.9, 0.8] } } ] })");
  ASSERT_EQ(model.nodes.size(), 2u);
  EXPECT_EQ(model.texmaps[0].fileName, "C:\\maps\\brick.tga");
  EXPECT_EQ(model.nodes[1].transform.row[3].z, 10.0f);
  EXPECT_EQ(model.nodes[0].material, 0);
}

TEST(DocumentRead, EveryTruncatedPrefixIsRefusedWithoutACrash) {
  const std::string good =
      R"({"nodes": [{"name": "a", "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]],
      "faces": [[0,1,2]], "tverts": [[0,0]], "tvFaces": [[0,0,0]]}}],
      "materials": [{"maps": {"diffuse": {"texmap": 0}}, "customAttributes": [{"className": "CV Mat",
      "paramBlock": true, "params": [{"name": "x", "id": 1, "type": "float", "value": "nan"}]}]}],
      "texmaps": [{"fileName": "t"}]})";
  standin::SceneModel model;
  std::string error;
  ASSERT_TRUE(LoadSceneDocument(good, model, error)) << error;
  for (size_t n = 0; n < good.size(); ++n) {
    error.clear();
    EXPECT_FALSE(LoadSceneDocument(good.substr(0, n), model, error)) << n;
    EXPECT_FALSE(error.empty());
  }
  // Flipped bytes: either a valid document or a refusal with a message, never a crash.
  for (size_t n = 0; n < good.size(); ++n) {
    std::string flipped = good;
    flipped[n] = static_cast<char>(flipped[n] ^ 0x5A);
    error.clear();
    if (!LoadSceneDocument(flipped, model, error)) {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
}

TEST(DocumentRead, FileVariantReadsAFile) {
  const std::string path = testing::TempDir() + "standin_scene_document_test.json";
  {
    std::ofstream file(path, std::ios::binary);
    file << R"({"nodes": [{"name": "n", "object": {"kind": "helper"}}]})";
  }
  standin::SceneModel model;
  std::string error;
  ASSERT_TRUE(LoadSceneFile(path, model, error)) << error;
  EXPECT_EQ(model.nodes[0].name, "n");
  {
    std::ofstream file(path, std::ios::binary);
    file << R"({"nodes": [{"object": {"kind": "helper", "colour": 1}}]})";
  }
  EXPECT_FALSE(LoadSceneFile(path, model, error));
  EXPECT_EQ(error.rfind("nodes[0].object.colour: unknown key", 0), 0u) << error;
  std::remove(path.c_str());
  EXPECT_FALSE(LoadSceneFile(path, model, error));
  EXPECT_EQ(error, "cannot open the scene document");
}

}  // namespace
}  // namespace cvm::import
