// WriteSceneDocument: what it writes reads back into the same model, field by field.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "import/scene_document.h"
#include "tests/support/scene_model_compare.h"

namespace cvm::import {
namespace {

standin::SceneModel RoundTrip(const standin::SceneModel& model) {
  const std::string text = WriteSceneDocument(model);
  standin::SceneModel back;
  std::string error;
  EXPECT_TRUE(LoadSceneDocument(text, back, error)) << error << "\n" << text;
  return back;
}

TEST(DocumentWrite, EveryFieldOfARichDocumentSurvives) {
  const std::string document = R"({"nodes": [
      {"name": "Mesh \"1\"", "userText": "line1\nline2", "selected": true, "hidden": true, "material": 1,
       "transform": [[0.1, 0.2, 0.3], [1e-30, -1e30, 3.4028234663852886e38], [1.401298464324817e-45, "-0", 7], [8, 9, 10]],
       "pivot": [[1,0,0],[0,1,0],[0,0,1],[0.3333333333333333,"nan","-inf"]],
       "object": {"kind": "mesh", "native": false, "superClassId": 16, "classId": [1, 2],
         "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]], "smoothing": [4294967295], "materialIds": [65535],
         "tverts": [[0.5, 0.25], [1, 2, "-0"]], "tvFaces": [[1,0,1]],
         "colors": {"verts": [[1,0.5,0]], "faces": [[0,0,0]]},
         "normals": {"faceNormals": [["inf",0,1]], "vertexNormals": [
            {"specified": true, "entries": [{"normal": [0,0,1], "smoothing": 3}]},
            {"specified": false, "entries": []},
            {"specified": false, "entries": [{"normal": [0,1,0], "smoothing": 0}, {"normal": [1,0,0], "smoothing": 2}]}]}}},
      {"object": {"kind": "shape", "native": false, "alsoMesh": true,
         "splines": [{"closed": true, "knots": [[1,2,3],[0.1,0.2,0.3]]}, {"closed": false, "knots": []}]}},
      {"object": {"kind": "light", "lightType": -2147483648, "color": [0.9, 0.8, 0.7], "intensity": 1e-40}},
      {"object": {"kind": "helper", "classId": [8806964, 0]}},
      {"object": {"kind": "camera"}}],
    "materials": [
      {"name": "M", "class": "multi", "subMaterials": [null, 1], "isMulti": false},
      {"name": "Caf\u00e9", "class": [7, 8], "twoSided": true, "diffuse": [0.1, 0.2, 0.3], "ambient": [1,1,1],
       "specular": [0,0,0], "selfIllum": [0.5, 0.5, 0.5], "shininess": 0.7, "shininessStrength": "nan",
       "maps": {"diffuse": {"texmap": 0}, "11": {"texmap": null}, "bump": {"texmap": 1, "enabled": false}},
       "customAttributes": [{"className": "CV Mat", "paramBlock": true, "params": [
          {"name": "a", "id": 9, "type": "int", "value": -5},
          {"name": "b", "id": 4294967295, "type": "float", "value": 0.1},
          {"name": "c", "id": 0, "type": "point3", "value": [1, "-0", 0.5]}]},
          {"className": "", "paramBlock": false, "params": []}]},
      {"customAttributes": []}],
    "texmaps": [{"fileName": "C:\\maps\\brick.tga"}, {"class": [1, 0], "fileName": ""}]})";
  standin::SceneModel model;
  std::string error;
  ASSERT_TRUE(LoadSceneDocument(document, model, error)) << error;
  const standin::SceneModel back = RoundTrip(model);
  EXPECT_EQ(standin::SceneModelDifference(model, back), "");
  EXPECT_EQ(WriteSceneDocument(back), WriteSceneDocument(model));  // the text is stable too
  // The comparison itself must see a change.
  standin::SceneModel changed = back;
  changed.nodes[0].transform.row[1].x = 0.0f;
  EXPECT_EQ(standin::SceneModelDifference(model, changed), "nodes[0].transform[1][0]");
  changed = back;
  changed.nodes[0].transform.row[2].y = 0.0f;  // -0 to +0
  EXPECT_EQ(standin::SceneModelDifference(model, changed), "nodes[0].transform[2][1]");
  changed = back;
  changed.materials[1].maps[8].enabled = true;
  EXPECT_EQ(standin::SceneModelDifference(model, changed), "materials[1].maps.8");
}

TEST(DocumentWrite, FloatsNeedingEveryDigitRoundTripExactly) {
  // Awkward values: smallest subnormal, largest finite, just above 1, halfway-looking values.
  const float values[] = {1.401298464e-45f, 3.40282347e38f, 1.00000012f,   0.1f, 1.0f / 3.0f, 16777216.0f,
                          16777218.0f,      -2.5e-38f,      8.5070592e37f, 0.3f, 7.0e-45f};
  standin::SceneModel model;
  for (float v : values) {
    standin::NodeModel node;
    node.object.kind = standin::ObjectKind::kLight;
    node.object.light.intensity = v;
    node.object.light.color = {v, -v, v * 0.5f};
    model.nodes.push_back(node);
  }
  const standin::SceneModel back = RoundTrip(model);
  EXPECT_EQ(standin::SceneModelDifference(model, back), "");
}

TEST(DocumentWrite, MembersOutsideTheKindAreNeitherWrittenNorCompared) {
  standin::SceneModel model;
  standin::NodeModel light;
  light.object.kind = standin::ObjectKind::kLight;
  light.object.native = false;                      // meaningless for a light
  light.object.mesh.vertices.push_back({1, 2, 3});  // likewise
  model.nodes.push_back(light);
  standin::MaterialModel material;
  standin::ParamModel param;
  param.type = standin::ParamType::kPoint3;
  param.point3Value = {1, 2, 3};
  param.intValue = 5;  // not the param's type
  material.customAttributes =
      std::vector<standin::CustAttribModel>{standin::CustAttribModel{"CV Mat", true, {param}}};
  model.materials.push_back(material);
  const standin::SceneModel back = RoundTrip(model);
  EXPECT_EQ(standin::SceneModelDifference(model, back), "");
  EXPECT_TRUE(back.nodes[0].object.mesh.vertices.empty());
  standin::SceneModel changed = back;
  changed.materials[0].customAttributes->at(0).params[0].point3Value.y = 0;
  EXPECT_EQ(standin::SceneModelDifference(model, changed),
            "materials[0].customAttributes[0].params[0].value[1]");
}

TEST(DocumentWrite, DirectlyBuiltMeshOfManyFacesRoundTrips) {
  standin::SceneModel model;
  standin::NodeModel node;
  standin::MeshModel& mesh = node.object.mesh;
  for (uint32_t i = 0; i < 300; ++i) {
    mesh.vertices.push_back(
        {static_cast<float>(i) * 0.37f, std::sin(static_cast<float>(i)), -static_cast<float>(i) / 7.0f});
  }
  for (uint32_t i = 0; i + 2 < 300; ++i) {
    mesh.faces.push_back(MeshFace{
        {i, i + 1, i + 2}, i * 2654435761u, standin::FlagsWithMaterialId(static_cast<uint16_t>(i * 7))});
  }
  model.nodes.push_back(node);
  const standin::SceneModel back = RoundTrip(model);
  EXPECT_EQ(standin::SceneModelDifference(model, back), "");
}

}  // namespace
}  // namespace cvm::import
