// The stand-in scene's nodes and objects: class ids, conversions and the temporaries they make
// (counted by a CountingHost around the scene).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "import/scene_document.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/export_fixture.h"

namespace cvm::standin {
namespace {

std::unique_ptr<StandinScene> Scene(const std::string& nodes) {
  std::string error;
  auto scene = import::LoadStandinScene(R"({"nodes": )" + nodes + "}", error);
  EXPECT_NE(scene, nullptr) << error;
  return scene;
}

const char* kMesh = R"("vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]])";

struct KindCase {
  const char* name;
  std::string object;
  uint32_t superClassId;
  ClassId classId;
  bool toSpline;
  bool toTri;
};

class ObjectKindTest : public testing::TestWithParam<KindCase> {};

TEST_P(ObjectKindTest, ClassIdsAndConvertibility) {
  const KindCase& c = GetParam();
  auto scene = Scene("[{\"object\": " + c.object + "}]");
  ASSERT_NE(scene, nullptr);
  test::CountingHost host(*scene);
  HostNode* node = host.Wrap(scene->Node(0));
  HostObject* object = node->EvaluateNodeObject(0);
  EXPECT_EQ(object->ObjectSuperClassId(), c.superClassId);
  EXPECT_EQ(object->ObjectClassId(), c.classId);
  EXPECT_EQ(object->ObjectCanConvertTo(kSplineShapeClassId), c.toSpline);
  EXPECT_EQ(object->ObjectCanConvertTo(triObjectClassID), c.toTri);
  EXPECT_FALSE(object->ObjectCanConvertTo(ClassId{0x1234, 0}));
  EXPECT_EQ(object->ObjectConvertTo(ClassId{0x1234, 0}, 0), nullptr);
  if (!c.toTri) {
    EXPECT_EQ(object->ObjectConvertTo(triObjectClassID, 0), nullptr);
    EXPECT_EQ(node->ConvertNodeToTriangleObject(0).triObject, nullptr);
  }
  if (!c.toSpline) {
    EXPECT_EQ(object->ObjectConvertTo(kSplineShapeClassId, 0), nullptr);
  }
  EXPECT_EQ(host.TemporariesMade(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ObjectKindTest,
    testing::Values(
        KindCase{"NativeMesh", std::string(R"({"kind": "mesh", )") + kMesh + "}", 0x10, {9, 0}, false, true},
        KindCase{"OtherMesh",
                 std::string(R"({"kind": "mesh", "native": false, )") + kMesh + "}",
                 0x10,
                 {0x1BF8, 0},
                 false,
                 true},
        KindCase{"NativeShape", R"({"kind": "shape"})", 0x40, {10, 0}, true, false},
        KindCase{"OtherShape", R"({"kind": "shape", "native": false})", 0x40, {0x1BE9, 0}, true, false},
        KindCase{"ShapeAlsoMesh", R"({"kind": "shape", "alsoMesh": true})", 0x40, {10, 0}, true, true},
        KindCase{"Light", R"({"kind": "light"})", 0x30, {0x1011, 0}, false, false},
        KindCase{"Helper", R"({"kind": "helper"})", 0x50, {0x2013, 0}, false, false},
        KindCase{"Camera", R"({"kind": "camera"})", 0x20, {0x1001, 0}, false, false},
        KindCase{"Overridden",
                 R"({"kind": "helper", "superClassId": 7, "classId": [8, 9]})",
                 7,
                 {8, 9},
                 false,
                 false}),
    [](const testing::TestParamInfo<KindCase>& p) { return std::string(p.param.name); });

TEST(StandinObjects, NodeFieldsAndPivotDefault) {
  auto scene = Scene(R"([{"name": "A", "userText": "u", "selected": true, "hidden": true,
      "transform": [[1,0,0],[0,1,0],[0,0,1],[5,6,7]], "object": {"kind": "helper"}},
      {"transform": [[2,0,0],[0,2,0],[0,0,2],[1,1,1]], "pivot": [[1,0,0],[0,1,0],[0,0,1],[9,8,7]], "object": {"kind": "helper"}}])");
  HostNode* a = scene->Node(0);
  EXPECT_STREQ(a->NodeName(), "A");
  EXPECT_STREQ(a->NodeUserText(), "u");
  EXPECT_TRUE(a->NodeIsSelected());
  EXPECT_TRUE(a->NodeIsHidden(0, 0));
  EXPECT_EQ(a->NodeMaterial(), nullptr);
  EXPECT_EQ(a->NodePivotTransform(0).row[3].x, 5.0f);  // pivot defaults to the transform
  EXPECT_EQ(a->ObjectToWorldTransform(0).row[3].z, 7.0f);
  HostNode* b = scene->Node(1);
  EXPECT_EQ(b->NodePivotTransform(0).row[3].y, 8.0f);
  EXPECT_EQ(b->NodePivotTransform(0).row[0].x, 1.0f);
  EXPECT_EQ(b->ObjectToWorldTransform(0).row[0].x, 2.0f);
  EXPECT_EQ(a->EvaluateNodeObject(0), a->EvaluateNodeObject(0));  // same handle each time
}

TEST(StandinObjects, EnumerationInOrderUntilTheCallbackStops) {
  auto scene =
      Scene(R"([{"name": "a", "object": {"kind": "helper"}}, {"name": "b", "object": {"kind": "helper"}},
      {"name": "c", "object": {"kind": "helper"}}])");
  struct Recorder final : HostSceneEnumCallback {
    std::vector<std::string> names;
    int32_t callback(HostNode* node) override {
      names.emplace_back(node->NodeName());
      return names.size() == 2 ? 1 : 0;
    }
  } recorder;
  scene->EnumerateSceneNodes(recorder);
  EXPECT_EQ(recorder.names, (std::vector<std::string>{"a", "b"}));
}

TEST(StandinObjects, LightQueriesAndTheirDefaultsOnAnOverriddenObject) {
  auto scene =
      Scene(R"([{"object": {"kind": "light", "lightType": -3, "color": [0.5, 0.25, 1], "intensity": 2.5}},
      {"object": {"kind": "helper", "superClassId": 48}}])");
  HostObject* light = scene->Node(0)->EvaluateNodeObject(0);
  EXPECT_EQ(light->LightTypeCode(), -3);
  EXPECT_EQ(light->LightColor(0).y, 0.25f);
  EXPECT_EQ(light->LightIntensity(0), 2.5f);
  HostObject* fake = scene->Node(1)->EvaluateNodeObject(0);
  EXPECT_EQ(fake->ObjectSuperClassId(), kLightSuperClassId);
  EXPECT_EQ(fake->LightTypeCode(), 0);
  EXPECT_EQ(fake->LightColor(0).x, 1.0f);
  EXPECT_EQ(fake->LightColor(0).z, 1.0f);
  EXPECT_EQ(fake->LightIntensity(0), 1.0f);
  EXPECT_EQ(fake->TriObjectMesh(), nullptr);
  EXPECT_EQ(fake->ShapeObjectBezierShape(), nullptr);
}

TEST(StandinObjects, NativeMeshConvertsToItselfAndServesTheModelArrays) {
  auto scene = Scene(std::string(R"([{"object": {"kind": "mesh", )") + kMesh + R"(, "materialIds": [7],
      "colors": {"verts": [[1,0,0],[0,1,0]], "faces": [[0,1,1]]}}}])");
  test::CountingHost host(*scene);
  HostNode* node = host.Wrap(scene->Node(0));
  HostObject* object = node->EvaluateNodeObject(0);
  EXPECT_EQ(object->ObjectConvertTo(triObjectClassID, 0), object);
  const TriObjectResult tri = node->ConvertNodeToTriangleObject(0);
  EXPECT_EQ(tri.triObject, object);
  EXPECT_FALSE(tri.isTemporary);
  HostMesh* mesh = object->TriObjectMesh();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->MeshFaceCount(), 1);
  EXPECT_EQ(mesh->MeshVertexCount(), 3);
  EXPECT_EQ(mesh->MeshFaces(), scene->Model().nodes[0].object.mesh.faces.data());  // no copy
  EXPECT_EQ(mesh->MeshFaces()[0].flags >> 16, 7u);
  EXPECT_EQ(mesh->MeshVertices()[1].x, 1.0f);
  EXPECT_EQ(mesh->MeshTVertCount(), 0);
  EXPECT_EQ(mesh->getNumMapVerts(0), 2);
  EXPECT_EQ(mesh->mapVerts(0)[1].y, 1.0f);
  EXPECT_EQ(mesh->mapFaces(0)[0].t[2], 1u);
  EXPECT_EQ(mesh->getNumMapVerts(1), 0);
  EXPECT_EQ(mesh->mapVerts(1), nullptr);
  EXPECT_EQ(host.TemporariesMade(), 0);
}

TEST(StandinObjects, NonNativeMeshMakesANewTemporaryEachTime) {
  auto scene = Scene(std::string(R"([{"object": {"kind": "mesh", "native": false, )") + kMesh + "}}]");
  test::CountingHost host(*scene);
  HostNode* node = host.Wrap(scene->Node(0));
  HostObject* object = node->EvaluateNodeObject(0);
  EXPECT_EQ(object->TriObjectMesh(), nullptr);  // not itself a triangle object
  const TriObjectResult first = node->ConvertNodeToTriangleObject(0);
  const TriObjectResult second = node->ConvertNodeToTriangleObject(0);
  ASSERT_NE(first.triObject, nullptr);
  EXPECT_TRUE(first.isTemporary);
  EXPECT_TRUE(second.isTemporary);
  EXPECT_NE(first.triObject, second.triObject);
  EXPECT_NE(first.triObject, object);
  EXPECT_EQ(first.triObject->ObjectClassId(), triObjectClassID);
  HostMesh* mesh = first.triObject->TriObjectMesh();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->MeshFaceCount(), 1);
  mesh->buildNormals();
  EXPECT_NE(mesh->MeshFaceNormals(), nullptr);
  EXPECT_EQ(host.TemporariesMade(), 2);
  EXPECT_EQ(host.TemporariesReleased(), 0);
  first.triObject->ReleaseTemporaryObject();
  second.triObject->ReleaseTemporaryObject();
  EXPECT_EQ(host.TemporariesReleased(), 2);
  EXPECT_EQ(host.InvalidReleases(), 0);
  EXPECT_EQ(host.ReleasedObjectUses(), 0);
}

TEST(StandinObjects, ShapesServeTheirSplinesNativeOrAsATemporary) {
  auto scene =
      Scene(R"([{"object": {"kind": "shape", "splines": [{"closed": true, "knots": [[1,2,3],[4,5,6]]},
      {"closed": false, "knots": []}]}}, {"object": {"kind": "shape", "native": false, "alsoMesh": true,
      "splines": [{"closed": false, "knots": [[7,8,9]]}]}}])");
  test::CountingHost host(*scene);
  HostObject* native = host.Wrap(scene->Node(0))->EvaluateNodeObject(0);
  EXPECT_EQ(native->ObjectConvertTo(kSplineShapeClassId, 0), native);
  const HostBezierShape* shape = native->ShapeObjectBezierShape();
  ASSERT_NE(shape, nullptr);
  ASSERT_EQ(shape->BezierShapeSplineCount(), 2);
  EXPECT_TRUE(shape->GetSpline(0)->SplineIsClosed());
  EXPECT_EQ(shape->GetSpline(0)->SplineKnotCount(), 2);
  EXPECT_EQ(shape->GetSpline(0)->SplineKnotPoint(1).z, 6.0f);
  EXPECT_EQ(shape->GetSpline(1)->SplineKnotCount(), 0);
  EXPECT_EQ(shape->GetSpline(2), nullptr);
  EXPECT_EQ(host.TemporariesMade(), 0);

  HostObject* other = host.Wrap(scene->Node(1))->EvaluateNodeObject(0);
  EXPECT_EQ(other->ShapeObjectBezierShape(), nullptr);
  HostObject* temporary = other->ObjectConvertTo(kSplineShapeClassId, 0);
  ASSERT_NE(temporary, nullptr);
  EXPECT_NE(temporary, other);
  EXPECT_EQ(temporary->ObjectClassId(), kSplineShapeClassId);
  EXPECT_EQ(temporary->ShapeObjectBezierShape()->GetSpline(0)->SplineKnotPoint(0).y, 8.0f);
  temporary->ReleaseTemporaryObject();

  // alsoMesh: the node converts to a temporary triangle object that holds no faces.
  const TriObjectResult tri = host.Wrap(scene->Node(1))->ConvertNodeToTriangleObject(0);
  ASSERT_NE(tri.triObject, nullptr);
  EXPECT_TRUE(tri.isTemporary);
  EXPECT_EQ(tri.triObject->TriObjectMesh()->MeshFaceCount(), 0);
  tri.triObject->ReleaseTemporaryObject();
  EXPECT_EQ(host.TemporariesMade(), 2);
  EXPECT_EQ(host.TemporariesReleased(), 2);
  EXPECT_EQ(host.InvalidReleases(), 0);
}

TEST(StandinObjects, DirectlyBuiltModelIsValidatedByMakeStandinScene) {
  SceneModel model;
  model.nodes.resize(1);
  model.nodes[0].object.mesh.vertices.resize(2);
  model.nodes[0].object.mesh.faces.push_back(MeshFace{{0, 1, 2}, 1, 0});
  std::string error;
  EXPECT_EQ(MakeStandinScene(model, error), nullptr);
  EXPECT_EQ(error, "nodes[0].object.faces[0][2]: vertex index 2 out of range (mesh has 2 vertices)");
  model.nodes[0].object.mesh.vertices.resize(3);
  EXPECT_NE(MakeStandinScene(model, error), nullptr);
}

// Explicit normals built in code hold one list of entries for all vertices; ranges that do
// not cut it up exactly would let the host hand out entries of another vertex or past the end.
TEST(StandinObjects, ExplicitNormalsWithBrokenRangesAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(ExplicitNormalsModel&);
    const char* message;
  };
  const Case cases[] = {
      {"as built", [](ExplicitNormalsModel&) {}, ""},
      {"an entry past the ranges", [](ExplicitNormalsModel& n) { n.entries.push_back({}); },
       "nodes[0].object.normals.entryStart: does not cut the entries into one range per vertex"},
      {"a range past the entries", [](ExplicitNormalsModel& n) { n.entryStart[3] = 5; },
       "nodes[0].object.normals.entryStart: does not cut the entries into one range per vertex"},
      {"a range running backwards",
       [](ExplicitNormalsModel& n) {
         n.entryStart[1] = 3;
         n.entryStart[2] = 1;
       },
       "nodes[0].object.normals.entryStart[2]: smaller than the entry before it"},
      {"a specified vertex without entries", [](ExplicitNormalsModel& n) { n.specified[2] = 1; },
       "nodes[0].object.normals.vertexNormals[2].entries: a specified normal needs at least one entry"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SceneModel model;
    model.nodes.resize(1);
    MeshModel& mesh = model.nodes[0].object.mesh;
    mesh.vertices.resize(3);
    mesh.faces.push_back(MeshFace{{0, 1, 2}, 1, 0});
    ExplicitNormalsModel normals;
    normals.faceNormals.push_back({0, 0, 1});
    normals.AddVertex(true);
    normals.AddEntry({{0, 0, 1}, 1});
    normals.AddVertex(false);
    normals.AddEntry({{0, 1, 0}, 1});
    normals.AddEntry({{1, 0, 0}, 2});
    normals.AddVertex(false);
    c.spoil(normals);
    mesh.normals = normals;
    std::string error;
    const auto scene = MakeStandinScene(model, error);
    EXPECT_EQ(error, c.message);
    EXPECT_EQ(scene == nullptr, *c.message != '\0');
  }
}

// A quad of two faces whose texture and colour vertices run parallel to its vertices, with the
// channels' faces kept as copies or, with faces taken from the vertex faces, not kept at all.
SceneModel QuadWithParallelChannels(bool keepFaces) {
  SceneModel model;
  model.nodes.resize(1);
  model.nodes[0].name = "Quad";
  MeshModel& mesh = model.nodes[0].object.mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  mesh.faces = {MeshFace{{0, 1, 2}, 1, 0}, MeshFace{{0, 2, 3}, 1, 0}};
  mesh.tverts = {{0, 0, 0}, {0.5f, 0, 0}, {0.5f, 0.5f, 0}, {0, 0.25f, 0}};
  mesh.colors.emplace();
  mesh.colors->verts = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
  if (keepFaces) {
    mesh.tvFaces = {TVFace{{0, 1, 2}}, TVFace{{0, 2, 3}}};
    mesh.colors->faces = mesh.tvFaces;
  } else {
    mesh.tvFacesAreVertexFaces = true;
    mesh.colors->facesAreVertexFaces = true;
  }
  return model;
}

TEST(StandinObjects, ChannelFacesTakenFromTheVertexFacesExportAndWriteAsTheirCopies) {
  const SceneModel kept = QuadWithParallelChannels(true);
  const SceneModel shared = QuadWithParallelChannels(false);
  std::string error;
  const auto keptScene = MakeStandinScene(kept, error);
  ASSERT_NE(keptScene, nullptr) << error;
  const auto sharedScene = MakeStandinScene(shared, error);
  ASSERT_NE(sharedScene, nullptr) << error;
  const test::MemoryExport fromKept = test::ExportToMemory(*keptScene);
  const test::MemoryExport fromShared = test::ExportToMemory(*sharedScene);
  ASSERT_FALSE(fromKept.bytes.empty());
  EXPECT_EQ(fromShared.bytes, fromKept.bytes);
  EXPECT_EQ(import::WriteSceneDocument(shared), import::WriteSceneDocument(kept));
}

TEST(StandinObjects, ChannelFacesTakenFromTheVertexFacesNeedOneValuePerVertexAndNoFaces) {
  struct Case {
    const char* what;
    void (*spoil)(MeshModel&);
    const char* message;
  };
  const Case cases[] = {
      {"texture faces given as well",
       [](MeshModel& m) {
         m.tvFaces.push_back(TVFace{{0, 1, 2}});
       },
       "nodes[0].object.tvFaces: given for faces that are the vertex faces"},
      {"a texture vertex short", [](MeshModel& m) { m.tverts.pop_back(); },
       "nodes[0].object.tverts: 3 entries for 4 vertices, whose faces they share"},
      {"colour faces given as well", [](MeshModel& m) { m.colors->faces.resize(2); },
       "nodes[0].object.colors.faces: given for faces that are the vertex faces"},
      {"a colour vertex too many", [](MeshModel& m) { m.colors->verts.push_back({}); },
       "nodes[0].object.colors.verts: 5 entries for 4 vertices, whose faces they share"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SceneModel model = QuadWithParallelChannels(false);
    c.spoil(model.nodes[0].object.mesh);
    std::string error;
    EXPECT_EQ(MakeStandinScene(model, error), nullptr);
    EXPECT_EQ(error, c.message);
  }
}

}  // namespace
}  // namespace cvm::standin
