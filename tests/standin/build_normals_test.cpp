// Mesh::buildNormals of the stand-in host on small meshes, checked against values computed
// here with the same single-precision steps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "import/scene_document.h"
#include "standin/standin_scene.h"
#include "tests/support/export_fixture.h"
#include "tests/support/float_bits.h"

namespace cvm::standin {
namespace {

void ExpectSameBits(const Point3& actual, const Point3& expected, const std::string& what) {
  EXPECT_EQ(test::FloatBits(actual.x), test::FloatBits(expected.x))
      << what << " x: " << actual.x << " vs " << expected.x;
  EXPECT_EQ(test::FloatBits(actual.y), test::FloatBits(expected.y))
      << what << " y: " << actual.y << " vs " << expected.y;
  EXPECT_EQ(test::FloatBits(actual.z), test::FloatBits(expected.z))
      << what << " z: " << actual.z << " vs " << expected.z;
}

// The arithmetic written out step by step, independently of the geometry library.
Point3 HandNormalize(Point3 p) {
  const float xx = p.x * p.x;
  const float yy = p.y * p.y;
  const float zz = p.z * p.z;
  const float sum = xx + yy;
  const float l = std::sqrt(sum + zz);
  if (l == 0.0f) return p;
  return {p.x / l, p.y / l, p.z / l};
}

Point3 HandFaceNormal(Point3 a, Point3 b, Point3 c) {
  const Point3 e1{b.x - a.x, b.y - a.y, b.z - a.z};
  const Point3 e2{c.x - b.x, c.y - b.y, c.z - b.z};
  const float y1z2 = e1.y * e2.z;
  const float z1y2 = e1.z * e2.y;
  const float z1x2 = e1.z * e2.x;
  const float x1z2 = e1.x * e2.z;
  const float x1y2 = e1.x * e2.y;
  const float y1x2 = e1.y * e2.x;
  return HandNormalize({y1z2 - z1y2, z1x2 - x1z2, x1y2 - y1x2});
}

Point3 Add(Point3 a, Point3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}

// A fixture holding one mesh node; the mesh is the node's own (native) triangle object.
class BuildNormalsTest : public testing::Test {
 protected:
  HostMesh& LoadMesh(const std::string& object) {
    std::string error;
    scene_ = import::LoadStandinScene(R"({"nodes": [{"object": )" + object + "}]}", error);
    EXPECT_NE(scene_, nullptr) << error;
    HostMesh* mesh = scene_->Node(0)->EvaluateNodeObject(0)->TriObjectMesh();
    EXPECT_NE(mesh, nullptr);
    return *mesh;
  }
  std::unique_ptr<StandinScene> scene_;
};

TEST_F(BuildNormalsTest, NormalsAreServedOnlyAfterBuildNormals) {
  HostMesh& mesh = LoadMesh(
      R"({"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]], "smoothing": [1]})");
  EXPECT_EQ(mesh.MeshFaceNormals(), nullptr);
  EXPECT_EQ(mesh.MeshRenderNormals(), nullptr);
  mesh.buildNormals();
  ASSERT_NE(mesh.MeshFaceNormals(), nullptr);
  ASSERT_NE(mesh.MeshRenderNormals(), nullptr);
  // (1, 0, 0) x (-1, 1, 0): the y component is 0 * -1 - 1 * 0 = -0.
  ExpectSameBits(mesh.MeshFaceNormals()[0], {0, -0.0f, 1}, "face 0");
}

TEST_F(BuildNormalsTest, TetrahedronOneSmoothingGroupAveragesInFaceOrder) {
  const Point3 v[4] = {{0, 0, 0}, {1.5f, 0.1f, 0.2f}, {0.3f, 2.0f, -0.4f}, {0.7f, 0.6f, 1.3f}};
  const uint32_t f[4][3] = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
  HostMesh& mesh =
      LoadMesh(R"({"kind": "mesh", "vertices": [[0,0,0],[1.5,0.1,0.2],[0.3,2.0,-0.4],[0.7,0.6,1.3]],
      "faces": [[0,2,1],[0,1,3],[1,2,3],[2,0,3]], "smoothing": [1, 1, 3, 1]})");
  mesh.buildNormals();
  Point3 faceNormal[4];
  for (int i = 0; i < 4; ++i) {
    faceNormal[i] = HandFaceNormal(v[f[i][0]], v[f[i][1]], v[f[i][2]]);
    ExpectSameBits(mesh.MeshFaceNormals()[i], faceNormal[i], "face " + std::to_string(i));
  }
  // Every face shares bit 0, so each vertex has one entry: the sum of its faces in face order.
  for (uint32_t j = 0; j < 4; ++j) {
    Point3 sum{};
    bool first = true;
    for (int i = 0; i < 4; ++i) {
      for (uint32_t corner : f[i]) {
        if (corner != j) continue;
        sum = first ? faceNormal[i] : Add(sum, faceNormal[i]);
        first = false;
      }
    }
    const RVertex& rv = mesh.MeshRenderNormals()[j];
    EXPECT_EQ(rv.rFlags, 1u) << "vertex " << j;
    ExpectSameBits(rv.primaryNormal, HandNormalize(sum), "vertex " + std::to_string(j));
    ASSERT_NE(rv.ern, nullptr);
    ExpectSameBits(rv.ern[0].normal, HandNormalize(sum), "entry 0 of vertex " + std::to_string(j));
    EXPECT_EQ(rv.ern[0].smGroup, j == 3 || j == 1 || j == 2 ? 3u : 1u) << "vertex " << j;
  }
}

TEST_F(BuildNormalsTest, TwoSmoothingGroupsAtOneVertexGiveTwoEntries) {
  // A fold along the edge 1-2: face 0 in group 1, face 1 in group 2, face 2 in groups 1 and 2.
  HostMesh& mesh = LoadMesh(R"({"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,1],[2,2,0]],
      "faces": [[0,1,2],[1,3,2],[2,4,1]], "smoothing": [1, 2, 3]})");
  mesh.buildNormals();
  const Point3 n0 = HandFaceNormal({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  const Point3 n1 = HandFaceNormal({1, 0, 0}, {1, 1, 1}, {0, 1, 0});
  const Point3 n2 = HandFaceNormal({0, 1, 0}, {2, 2, 0}, {1, 0, 0});
  const RVertex& v1 = mesh.MeshRenderNormals()[1];
  ASSERT_EQ(v1.rFlags, 2u);
  // Face 0 opens entry 0 (mask 1), face 1 opens entry 1 (mask 2); face 2 (mask 3) joins the first.
  ExpectSameBits(v1.ern[0].normal, HandNormalize(Add(n0, n2)), "vertex 1 entry 0");
  EXPECT_EQ(v1.ern[0].smGroup, 3u);
  ExpectSameBits(v1.ern[1].normal, HandNormalize(n1), "vertex 1 entry 1");
  EXPECT_EQ(v1.ern[1].smGroup, 2u);
  ExpectSameBits(v1.primaryNormal, v1.ern[0].normal, "vertex 1 primary");
  EXPECT_EQ(v1.rFlags & kRVertexSpecifiedNormal, 0u);
  const RVertex& v3 = mesh.MeshRenderNormals()[3];
  EXPECT_EQ(v3.rFlags, 1u);
  ExpectSameBits(v3.primaryNormal, HandNormalize(n1), "vertex 3");
}

TEST_F(BuildNormalsTest, MaskZeroFacesGiveNoRenderNormals) {
  HostMesh& mesh = LoadMesh(R"({"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,0]],
      "faces": [[0,1,2],[1,3,2]], "smoothing": [0, 4]})");
  mesh.buildNormals();
  const RVertex* rv = mesh.MeshRenderNormals();
  EXPECT_EQ(rv[0].rFlags, 0u);  // only in the unsmoothed face
  EXPECT_EQ(rv[0].ern, nullptr);
  ExpectSameBits(rv[0].primaryNormal, {0, 0, 0}, "vertex 0");
  EXPECT_EQ(rv[3].rFlags, 1u);
  EXPECT_EQ(rv[3].ern[0].smGroup, 4u);
  ExpectSameBits(mesh.MeshFaceNormals()[0], HandFaceNormal({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
                 "face 0 still has its normal");
}

TEST_F(BuildNormalsTest, DegenerateFaceKeepsItsZeroNormalAndAVertexTwiceCountsTwice) {
  HostMesh& mesh = LoadMesh(R"({"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]],
      "faces": [[0,0,1],[0,1,2]], "smoothing": [1, 1]})");
  mesh.buildNormals();
  ExpectSameBits(mesh.MeshFaceNormals()[0], {0, 0, 0}, "degenerate face");
  // Vertex 0: face 0 twice (adds zero), then face 1.
  ExpectSameBits(mesh.MeshRenderNormals()[0].primaryNormal, {0, 0, 1}, "vertex 0");
}

TEST_F(BuildNormalsTest, ExplicitNormalsAreLeftAsGiven) {
  HostMesh& mesh = LoadMesh(R"({"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]],
      "smoothing": [1],
      "normals": {"faceNormals": [[0,0,3]], "vertexNormals": [
          {"specified": true, "entries": [{"normal": [0,2,0], "smoothing": 0}, {"normal": [1,0,0], "smoothing": 8}]},
          {"specified": false, "entries": []},
          {"specified": false, "entries": [{"normal": [0.5,0,0], "smoothing": 1}]}]}})");
  mesh.buildNormals();
  ExpectSameBits(mesh.MeshFaceNormals()[0], {0, 0, 3}, "face normal not normalized");
  const RVertex* rv = mesh.MeshRenderNormals();
  EXPECT_EQ(rv[0].rFlags, kRVertexSpecifiedNormal | 2u);
  ExpectSameBits(rv[0].primaryNormal, {0, 2, 0}, "specified primary = entry 0");
  ExpectSameBits(rv[0].ern[1].normal, {1, 0, 0}, "entry 1");
  EXPECT_EQ(rv[0].ern[1].smGroup, 8u);
  EXPECT_EQ(rv[1].rFlags, 0u);
  EXPECT_EQ(rv[2].rFlags, 1u);
  ExpectSameBits(rv[2].primaryNormal, {0.5f, 0, 0}, "vertex 2");
}

TEST_F(BuildNormalsTest, ThirtyTwoDisjointGroupsAtOneVertex) {
  // A fan of 32 faces around vertex 0, face i in group bit i: 32 entries, the most possible.
  std::string vertices = "[[0,0,0]";
  std::string faces;
  std::string smoothing;
  for (int i = 0; i < 33; ++i) {
    const double a = 0.1 * i;
    vertices += ",[" + std::to_string(std::cos(a)) + "," + std::to_string(std::sin(a)) + "," +
                std::to_string(0.01 * i) + "]";
  }
  vertices += "]";
  for (int i = 0; i < 32; ++i) {
    faces += std::string(i ? "," : "") + "[0," + std::to_string(i + 1) + "," + std::to_string(i + 2) + "]";
    smoothing += std::string(i ? "," : "") + std::to_string(1ull << i);
  }
  HostMesh& mesh = LoadMesh(R"({"kind": "mesh", "vertices": )" + vertices + R"(, "faces": [)" + faces +
                            R"(], "smoothing": [)" + smoothing + "]}");
  mesh.buildNormals();
  const RVertex& v0 = mesh.MeshRenderNormals()[0];
  ASSERT_EQ(v0.rFlags, 32u);
  for (uint32_t e = 0; e < 32; ++e) {
    EXPECT_EQ(v0.ern[e].smGroup, 1u << e);
    ExpectSameBits(v0.ern[e].normal, HandNormalize(mesh.MeshFaceNormals()[e]), "entry " + std::to_string(e));
  }
}

// Explicit normals may leave the face normals out (importers whose every vertex has a specified
// normal do). The host then serves the faces' own normals when first asked for them, the
// document states them, and an export, where a corner takes a face normal, gives the bytes of
// the same scene with the face normals given.
TEST(ExplicitNormalsWithoutFaceNormals, AreTheFacesOwnInTheHostTheDocumentAndTheExport) {
  const std::string document = R"({"nodes": [{"object": {"kind": "mesh",
      "vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,0.5]], "faces": [[0,1,2],[1,3,2]], "smoothing": [0, 2],
      "normals": {"faceNormals": [[0,0,1],[0,0,1]], "vertexNormals": [
          {"specified": true, "entries": [{"normal": [0,0,1], "smoothing": 0}]},
          {"specified": false, "entries": []},
          {"specified": true, "entries": [{"normal": [0,1,0], "smoothing": 0}]},
          {"specified": false, "entries": [{"normal": [1,0,0], "smoothing": 2}]}]}}}]})";
  SceneModel given;
  std::string error;
  ASSERT_TRUE(import::LoadSceneDocument(document, given, error)) << error;
  MeshModel& givenMesh = given.nodes[0].object.mesh;
  const std::vector<Point3>& v = givenMesh.vertices;
  const Point3 own[] = {HandFaceNormal(v[0], v[1], v[2]), HandFaceNormal(v[1], v[3], v[2])};
  givenMesh.normals->faceNormals.assign(std::begin(own), std::end(own));
  SceneModel leftOut = given;
  leftOut.nodes[0].object.mesh.normals->faceNormals.clear();

  // The document states them.
  SceneModel read;
  ASSERT_TRUE(import::LoadSceneDocument(import::WriteSceneDocument(leftOut), read, error)) << error;
  const std::vector<Point3>& stated = read.nodes[0].object.mesh.normals->faceNormals;
  ASSERT_EQ(stated.size(), 2u);
  for (size_t f = 0; f < 2; ++f) ExpectSameBits(stated[f], own[f], "stated face " + std::to_string(f));

  std::unique_ptr<StandinScene> withThem = MakeStandinScene(given, error);
  std::unique_ptr<StandinScene> without = MakeStandinScene(leftOut, error);
  ASSERT_NE(withThem, nullptr) << error;
  ASSERT_NE(without, nullptr) << error;
  HostMesh& mesh = *without->Node(0)->EvaluateNodeObject(0)->TriObjectMesh();
  EXPECT_EQ(mesh.MeshFaceNormals(), nullptr);  // before buildNormals
  mesh.buildNormals();
  const Point3* served = mesh.MeshFaceNormals();
  ASSERT_NE(served, nullptr);
  for (size_t f = 0; f < 2; ++f) ExpectSameBits(served[f], own[f], "served face " + std::to_string(f));
  EXPECT_EQ(mesh.MeshFaceNormals(), served);  // made once

  const test::MemoryExport expected = test::ExportToMemory(*withThem);
  const test::MemoryExport actual = test::ExportToMemory(*without);
  ASSERT_FALSE(expected.bytes.empty());
  EXPECT_EQ(actual.bytes, expected.bytes);
}

}  // namespace
}  // namespace cvm::standin
