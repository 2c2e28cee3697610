// Documents the reader must refuse, each with the JSON path of the offending value.
#include <gtest/gtest.h>

#include <string>

#include "import/scene_document.h"

namespace cvm::import {
namespace {

struct BrokenDocument {
  const char* name;
  std::string json;
  std::string expectedPrefix;  // the error must start with this (path and, mostly, reason)
};

// A mesh node whose object is completed by `rest` (placed after the vertices and faces).
std::string Tri(const std::string& rest = "") {
  return R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]])" +
         rest + "}}]}";
}

std::string WithMaterials(const std::string& materials, const std::string& texmaps = "[]") {
  return R"({"nodes": [], "materials": )" + materials + R"(, "texmaps": )" + texmaps + "}";
}

const BrokenDocument kBrokenDocuments[] = {
    {"NotJson", "{", "(document): "},
    {"Empty", "", "(document): "},
    {"TrailingJunk", R"({"nodes": []} x)", "(document): "},
    {"SyntaxInsideNode", R"({"nodes": [{"name": tru}]})", "nodes[0].name: "},
    {"TopNotObject", "[]", "(document): expected an object, got array"},
    {"NodesMissing", "{}", "(document): missing required key \"nodes\""},
    {"UnknownTopKey", R"({"nodes": [], "node": []})", "node: unknown key"},
    {"DuplicateTopKey", R"({"nodes": [], "nodes": []})", "nodes: duplicate key \"nodes\""},
    {"DuplicateNestedKey", R"({"nodes": [{"object": {"kind": "helper", "kind": "light"}}]})",
     "nodes[0].object.kind: duplicate key \"kind\""},
    {"NulInString", R"({"nodes": [{"name": "a\u0000b", "object": {"kind": "helper"}}]})",
     "nodes[0].name: string holds U+0000"},
    {"TooDeep", R"({"nodes": [{"_c": )" + std::string(80, '[') + std::string(80, ']') + "}]}",
     "nodes[0]._c[0][0][0][0][0][0][0][0][0][0]"},
    {"NulDeepInArrays",
     R"({"nodes": [{"object": {"kind": "helper"}}, {"object": {"kind": "mesh", "vertices": [[0,0,0],[1,"\u0000",0]]}}]})",
     "nodes[1].object.vertices[1][1]: string holds U+0000"},
    {"SyntaxDeepInArrays", R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0],[1,,0]]}}]})",
     "nodes[0].object.vertices[1][1]: "},
    {"NulInKey", R"({"nodes": [], "a\u0000": 1})", "(document): key holds U+0000"},
    {"ObjectMissing", R"({"nodes": [{"name": "a"}]})", "nodes[0]: missing required key \"object\""},
    {"KindUnknown", R"({"nodes": [{"object": {"kind": "nurbs"}}]})",
     "nodes[0].object.kind: unknown object kind"},
    {"KindNotString", R"({"nodes": [{"object": {"kind": 3}}]})",
     "nodes[0].object.kind: expected a string, got number"},
    {"NativeOnLight", R"({"nodes": [{"object": {"kind": "light", "native": true}}]})",
     "nodes[0].object.native: unknown key"},
    {"NameNotString", R"({"nodes": [{"name": 5, "object": {"kind": "helper"}}]})",
     "nodes[0].name: expected a string"},
    {"SelectedNotBool", R"({"nodes": [{"selected": 1, "object": {"kind": "helper"}}]})",
     "nodes[0].selected: expected true or false"},
    {"TransformThreeRows",
     R"({"nodes": [{"transform": [[1,0,0],[0,1,0],[0,0,1]], "object": {"kind": "helper"}}]})",
     "nodes[0].transform: expected a transform of 4 rows, got 3"},
    {"PointTwoNumbers",
     R"({"nodes": [{"pivot": [[1,0,0],[0,1,0],[0,0,1],[0,0]], "object": {"kind": "helper"}}]})",
     "nodes[0].pivot[3]: expected a point of 3 numbers, got 2"},
    {"FloatBadString", R"({"nodes": [{"object": {"kind": "light", "intensity": "NaN"}}]})",
     "nodes[0].object.intensity: expected a number or one of"},
    {"FloatBool", R"({"nodes": [{"object": {"kind": "light", "intensity": true}}]})",
     "nodes[0].object.intensity: expected a number, got boolean"},
    {"NumberOverflow", R"({"nodes": [{"object": {"kind": "light", "intensity": 1e400}}]})",
     "nodes[0].object.intensity: "},
    {"LightTypeNotWhole", R"({"nodes": [{"object": {"kind": "light", "lightType": 2.5}}]})",
     "nodes[0].object.lightType: light type must be a whole number"},
    {"LightTypeTooBig", R"({"nodes": [{"object": {"kind": "light", "lightType": 2147483648}}]})",
     "nodes[0].object.lightType: light type 2147483648 out of range"},
    {"SuperClassNegative", R"({"nodes": [{"object": {"kind": "helper", "superClassId": -1}}]})",
     "nodes[0].object.superClassId: super class id -1 out of range"},
    {"ClassIdTooBig", R"({"nodes": [{"object": {"kind": "helper", "classId": [4294967296, 0]}}]})",
     "nodes[0].object.classId[0]: class id 4294967296 out of range"},
    {"ClassIdOneNumber", R"({"nodes": [{"object": {"kind": "helper", "classId": [1]}}]})",
     "nodes[0].object.classId: expected a class id of 2 numbers"},
    {"VerticesMissing", R"({"nodes": [{"object": {"kind": "mesh", "faces": []}}]})",
     "nodes[0].object: missing required key \"vertices\""},
    {"FacesMissing", R"({"nodes": [{"object": {"kind": "mesh", "vertices": []}}]})",
     "nodes[0].object: missing required key \"faces\""},
    {"VertexIndexOutOfRange", Tri().replace(Tri().find("[0,1,2]"), 7, "[0,1,3]"),
     "nodes[0].object.faces[0][2]: vertex index 3 out of range (mesh has 3 vertices)"},
    {"VertexIndexNegative", Tri().replace(Tri().find("[0,1,2]"), 7, "[0,-1,2]"),
     "nodes[0].object.faces[0][1]: vertex index -1 out of range"},
    {"VertexIndexFraction", Tri().replace(Tri().find("[0,1,2]"), 7, "[0,1.5,2]"),
     "nodes[0].object.faces[0][1]: vertex index must be a whole number"},
    {"FaceTwoIndices", Tri().replace(Tri().find("[0,1,2]"), 7, "[0,1]"),
     "nodes[0].object.faces[0]: expected 3 indices, got 2"},
    {"SmoothingCount", Tri(R"(, "smoothing": [1, 2])"), "nodes[0].object.smoothing: 2 entries for 1 faces"},
    {"SmoothingNegative", Tri(R"(, "smoothing": [-1])"),
     "nodes[0].object.smoothing[0]: smoothing mask -1 out of range"},
    {"SmoothingTooBig", Tri(R"(, "smoothing": [4294967296])"),
     "nodes[0].object.smoothing[0]: smoothing mask"},
    {"MaterialIdsCount", Tri(R"(, "materialIds": [])"), "nodes[0].object.materialIds: 0 entries for 1 faces"},
    {"MaterialIdTooBig", Tri(R"(, "materialIds": [65536])"),
     "nodes[0].object.materialIds[0]: material id 65536 out of range (0 to 65535)"},
    {"TvertsWithoutTvFaces", Tri(R"(, "tverts": [[0,0]])"),
     "nodes[0].object: missing required key \"tvFaces\""},
    {"TvFacesWithoutTverts", Tri(R"(, "tvFaces": [[0,0,0]])"),
     "nodes[0].object.tvFaces: given for a mesh without tverts"},
    {"TvFacesCount", Tri(R"(, "tverts": [[0,0]], "tvFaces": [])"),
     "nodes[0].object.tvFaces: 0 entries for 1 faces"},
    {"TvFaceIndexOutOfRange", Tri(R"(, "tverts": [[0,0]], "tvFaces": [[0,0,1]])"),
     "nodes[0].object.tvFaces[0][2]: texture vertex index 1 out of range (mesh has 1 tverts)"},
    {"TvertOneNumber", Tri(R"(, "tverts": [[0]], "tvFaces": [[0,0,0]])"),
     "nodes[0].object.tverts[0]: expected a texture vertex of 2 or 3 numbers, got 1"},
    {"TvertFourNumbers", Tri(R"(, "tverts": [[0,0,0,0]], "tvFaces": [[0,0,0]])"),
     "nodes[0].object.tverts[0]: expected a texture vertex of 2 or 3 numbers, got 4"},
    {"ColorsFacesMissing", Tri(R"(, "colors": {"verts": [[1,0,0]]})"),
     "nodes[0].object.colors: missing required key \"faces\""},
    {"ColorsFacesCount", Tri(R"(, "colors": {"verts": [[1,0,0]], "faces": [[0,0,0],[0,0,0]]})"),
     "nodes[0].object.colors.faces: 2 entries for 1 faces"},
    {"ColorIndexOutOfRange", Tri(R"(, "colors": {"verts": [[1,0,0]], "faces": [[0,2,0]]})"),
     "nodes[0].object.colors.faces[0][1]: colour vertex index 2 out of range (colors has 1 verts)"},
    {"FaceNormalsCount", Tri(R"(, "normals": {"faceNormals": [], "vertexNormals": []})"),
     "nodes[0].object.normals.faceNormals: 0 entries for 1 faces"},
    {"VertexNormalsCount",
     Tri(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": [{"specified": false, "entries": []}]})"),
     "nodes[0].object.normals.vertexNormals: 1 entries for 3 vertices"},
    {"SpecifiedWithoutEntries",
     Tri(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": [{"specified": false, "entries": []},
         {"specified": true, "entries": []}, {"specified": false, "entries": []}]})"),
     "nodes[0].object.normals.vertexNormals[1].entries: a specified normal needs at least one entry"},
    {"NormalEntryUnknownKey",
     Tri(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": [{"specified": false, "entries": []},
         {"specified": false, "entries": [{"normal": [0,0,1], "smoothing": 1, "mask": 1}]},
         {"specified": false, "entries": []}]})"),
     "nodes[0].object.normals.vertexNormals[1].entries[0].mask: unknown key"},
    {"SplineClosedMissing", R"({"nodes": [{"object": {"kind": "shape", "splines": [{"knots": []}]}}]})",
     "nodes[0].object.splines[0]: missing required key \"closed\""},
    {"KnotNotPoint",
     R"({"nodes": [{"object": {"kind": "shape", "splines": [{"closed": true, "knots": [5]}]}}]})",
     "nodes[0].object.splines[0].knots[0]: expected a point"},
    {"AlsoMeshOnMesh", Tri(R"(, "alsoMesh": true)"), "nodes[0].object.alsoMesh: unknown key"},
    {"NodeMaterialOutOfRange", R"({"nodes": [{"material": 0, "object": {"kind": "helper"}}]})",
     "nodes[0].material: material index 0 out of range (materials has 0 entries)"},
    {"NodeMaterialNegative", R"({"nodes": [{"material": -1, "object": {"kind": "helper"}}]})",
     "nodes[0].material: material index -1 out of range"},
    {"NodeMaterialString", R"({"nodes": [{"material": "0", "object": {"kind": "helper"}}]})",
     "nodes[0].material: expected a material index or null, got string"},
    {"MaterialClassUnknown", WithMaterials(R"([{"class": "phong"}])"),
     "materials[0].class: unknown material class"},
    {"MaterialUnknownKey", WithMaterials(R"([{"diffuseColor": [1,1,1]}])"),
     "materials[0].diffuseColor: unknown key"},
    {"SubMaterialOutOfRange", WithMaterials(R"([{"subMaterials": [null, 1]}])"),
     "materials[0].subMaterials[1]: material index 1 out of range (materials has 1 entries)"},
    {"SubMaterialSelf", WithMaterials(R"([{"subMaterials": [0]}])"),
     "materials[0].subMaterials[0]: sub-material cycle (materials 0 -> 0)"},
    {"SubMaterialCycle",
     WithMaterials(R"([{"subMaterials": [1]}, {"subMaterials": [null, 2]}, {"subMaterials": [0]}])"),
     "materials[2].subMaterials[0]: sub-material cycle (materials 0 -> 1 -> 2 -> 0)"},
    {"MapSlotUnknown", WithMaterials(R"([{"maps": {"glossy": {"texmap": null}}}])"),
     "materials[0].maps.glossy: unknown map slot"},
    {"MapSlotNumberOutOfRange", WithMaterials(R"([{"maps": {"12": {"texmap": null}}}])"),
     "materials[0].maps[\"12\"]: unknown map slot"},
    {"MapSlotTwice", WithMaterials(R"([{"maps": {"1": {"texmap": null}, "diffuse": {"texmap": null}}}])"),
     "materials[0].maps.diffuse: map slot 1 is already given as \"1\""},
    {"MapTexmapMissing", WithMaterials(R"([{"maps": {"bump": {"enabled": true}}}])"),
     "materials[0].maps.bump: missing required key \"texmap\""},
    {"MapTexmapOutOfRange", WithMaterials(R"([{"maps": {"bump": {"texmap": 1}}}])", R"([{}])"),
     "materials[0].maps.bump.texmap: texmap index 1 out of range (texmaps has 1 entries)"},
    {"CustomAttributesObject", WithMaterials(R"([{"customAttributes": {}}])"),
     "materials[0].customAttributes: expected an array or null, got object"},
    {"ParamTypeUnknown", WithMaterials(R"([{"customAttributes": [{"className": "CV Mat", "paramBlock": true,
         "params": [{"name": "a", "id": 1, "type": "bool", "value": 1}]}]}])"),
     "materials[0].customAttributes[0].params[0].type: unknown parameter type \"bool\""},
    {"ParamIntNotWhole", WithMaterials(R"([{"customAttributes": [{"className": "CV Mat", "paramBlock": true,
         "params": [{"name": "a", "id": 1, "type": "int", "value": 0.5}]}]}])"),
     "materials[0].customAttributes[0].params[0].value: int value must be a whole number"},
    {"ParamPoint3Scalar", WithMaterials(R"([{"customAttributes": [{"className": "CV Mat", "paramBlock": false,
         "params": [{"name": "a", "id": 1, "type": "point3", "value": 1}]}]}])"),
     "materials[0].customAttributes[0].params[0].value: expected a point"},
    {"AttributeParamBlockMissing",
     WithMaterials(R"([{"customAttributes": [{"className": "CV Mat", "params": []}]}])"),
     "materials[0].customAttributes[0]: missing required key \"paramBlock\""},
    {"TexmapClassUnknown", WithMaterials("[]", R"([{"class": "checker"}])"),
     "texmaps[0].class: unknown texmap class"},
    {"TexmapFileNameNumber", WithMaterials("[]", R"([{"fileName": 1}])"),
     "texmaps[0].fileName: expected a string"},
};

class BrokenDocumentTest : public testing::TestWithParam<BrokenDocument> {};

TEST_P(BrokenDocumentTest, IsRefusedWithItsPath) {
  const BrokenDocument& c = GetParam();
  standin::SceneModel model;
  model.nodes.resize(1);  // must be emptied on failure
  std::string error;
  EXPECT_FALSE(LoadSceneDocument(c.json, model, error));
  EXPECT_EQ(error.rfind(c.expectedPrefix, 0), 0u)
      << "error: " << error << "\nexpected prefix: " << c.expectedPrefix;
  EXPECT_TRUE(model.nodes.empty());
}

// A mesh's arrays are read while the text is parsed, yet a document with several faults gives
// the message of the first fault in the reading order of the whole document: JSON faults
// first, then the nodes in order and each object's keys in their fixed order, whatever the
// order of the text; an array under a key the object's kind does not have is never read.
TEST(DocumentRead, SeveralFaultsGiveTheMessageOfTheFirstInReadingOrder) {
  const BrokenDocument cases[] = {
      {"faces before vertices, both broken",
       R"({"nodes": [{"object": {"faces": [[0,1,"x"]], "kind": "mesh", "vertices": [[0,0]]}}]})",
       "nodes[0].object.vertices[0]: expected a point of 3 numbers, got 2"},
      {"a broken element, then broken JSON",
       R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0]], "faces": []}}], "x": tru})", "x: "},
      {"a broken element, then a duplicate key",
       R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0]], "faces": [], "faces": []}}]})",
       "nodes[0].object.faces: duplicate key \"faces\""},
      {"a broken element, then a U+0000 deeper in the array",
       R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0], [0,0,"\u0000"]], "faces": []}}]})",
       "nodes[0].object.vertices[1][2]: string holds U+0000"},
      {"broken vertices of a light", R"({"nodes": [{"object": {"vertices": [1], "kind": "light"}}]})",
       "nodes[0].object.vertices: unknown key"},
      {"a broken element of the second node, the first node without its object",
       R"({"nodes": [{"name": "a"}, {"object": {"kind": "mesh", "vertices": [[0,0]], "faces": []}}]})",
       "nodes[0]: missing required key \"object\""},
      {"too few smoothing masks, one of them broken", Tri(R"(, "smoothing": [-1, 0])"),
       "nodes[0].object.smoothing: 2 entries for 1 faces"},
      {"the first of two broken elements",
       R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0]], "faces": [[0,0,0],[0,0,-1],[0,0,-2]]}}]})",
       "nodes[0].object.faces[1][2]: vertex index -1 out of range"},
      {"vertex normals before the face normals, both broken",
       Tri(R"(, "normals": {"vertexNormals": [{}, {}, {}], "faceNormals": [[0,0]]})"),
       "nodes[0].object.normals.faceNormals[0]: expected a point of 3 numbers, got 2"},
      {"a vertex normal with an unknown key and no entries",
       Tri(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": [{"specified": false, "entries": []},
           {"specified": true, "entries": [], "zz": 1, "aa": 2}, {}]})"),
       "nodes[0].object.normals.vertexNormals[1].aa: unknown key"},
      {"colour faces before colour vertices, both broken",
       Tri(R"(, "colors": {"faces": [[0,0]], "verts": [[0,0,true]]})"),
       "nodes[0].object.colors.verts[0][2]: expected a number, got boolean"},
      {"the vertices an object, not a list", R"({"nodes": [{"object": {"kind": "mesh", "vertices": {}}}]})",
       "nodes[0].object.vertices: expected an array, got object"},
  };
  for (const BrokenDocument& c : cases) {
    standin::SceneModel model;
    std::string error;
    EXPECT_FALSE(LoadSceneDocument(c.json, model, error)) << c.name;
    EXPECT_EQ(error.rfind(c.expectedPrefix, 0), 0u)
        << c.name << "\nerror: " << error << "\nexpected prefix: " << c.expectedPrefix;
  }
}

TEST(DocumentNesting, DeepInputGetsAClearErrorNotARecursion) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  standin::SceneModel model;
  std::string error;
  EXPECT_FALSE(LoadSceneDocument(deep, model, error));
  EXPECT_NE(error.find("nested more than 64 levels deep"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenDocumentTest, testing::ValuesIn(kBrokenDocuments),
                         [](const testing::TestParamInfo<BrokenDocument>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
}  // namespace cvm::import
