// Small generated glTF files whose exported content is known exactly.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/import/gltf_writer.h"
#include "tests/import/import_fixture.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::GltfNode;
using test::GltfPrimitive;
using test::GltfScene;

const std::vector<std::array<float, 3>> kTriangle = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
const std::vector<std::array<float, 3>> kOtherTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

GltfNode MeshNode(std::string name, std::vector<GltfPrimitive> primitives) {
  GltfNode node;
  node.name = std::move(name);
  node.primitives = std::move(primitives);
  return node;
}

// Corners of the face that holds corner serial 3f, in the source's corner order.
std::vector<reader::Vec3> FaceCorners(const reader::CvmMesh& mesh, uint32_t face) {
  return {test::HostCornerPosition(mesh, 3 * face), test::HostCornerPosition(mesh, 3 * face + 1),
          test::HostCornerPosition(mesh, 3 * face + 2)};
}

TEST(GeneratedGltf, AnUntransformedModelReadsBackAsXYMinusZ) {
  test::TempDir dir;
  const auto imported = test::ImportAndRead(test::WriteGltf(
      dir.Path().string(), "tri", GltfScene{{MeshNode("Tri", {{kTriangle, {}, -1, 4}})}, {}, {}}));
  ASSERT_TRUE(imported.ok);
  ASSERT_EQ(imported.file.meshes.size(), 1u);
  const reader::CvmMesh& mesh = imported.file.meshes[0];
  ASSERT_EQ(mesh.faceCount, 1u);
  // The file's own y-up frame: exactly (x, y, -z) of the source, no -0 anywhere.
  for (uint32_t corner = 0; corner < 3; ++corner) {
    const reader::Vec3& stored = mesh.positions[mesh.positionIndices[corner]];
    const reader::Vec3 file = {stored.x + mesh.pivot.x, stored.y + mesh.pivot.y, stored.z + mesh.pivot.z};
    EXPECT_EQ(file.x, kTriangle[corner][0]) << corner;
    EXPECT_EQ(file.y, kTriangle[corner][1]) << corner;
    EXPECT_EQ(file.z, -kTriangle[corner][2]) << corner;
  }
  EXPECT_FALSE(std::signbit(mesh.pivot.z));
  // Face written as corners 2, 1, 0 of the source triangle.
  ASSERT_EQ(mesh.groups.size(), 1u);
  EXPECT_EQ(mesh.groups[0].faces[0], (std::array<uint32_t, 3>{2, 1, 0}));
}

TEST(GeneratedGltf, SeveralMaterialsOnOneNodeBecomeOneMeshWithAGroupEach) {
  test::TempDir dir;
  GltfScene scene{
      {MeshNode("Two", {{kTriangle, {}, 1, 4}, {kOtherTriangle, {}, 0, 4}, {kTriangle, {}, 1, 4}})},
      {"A", "B"},
      {}};
  const auto imported = test::ImportAndRead(test::WriteGltf(dir.Path().string(), "two", scene));
  ASSERT_TRUE(imported.ok);
  ASSERT_EQ(imported.file.meshes.size(), 1u);
  const reader::CvmMesh& mesh = imported.file.meshes[0];
  ASSERT_EQ(mesh.faceCount, 3u);
  // The sub-materials in order of first use: B, then A.
  ASSERT_EQ(imported.file.materials.size(), 2u);
  EXPECT_EQ(imported.file.materials[0].name, "B");
  EXPECT_EQ(imported.file.materials[1].name, "A");
  ASSERT_EQ(mesh.groups.size(), 2u);
  EXPECT_EQ(mesh.groups[0].materialIndex, 0);
  EXPECT_EQ(mesh.groups[0].faces.size(), 2u);
  EXPECT_EQ(mesh.groups[1].materialIndex, 1);
  ASSERT_EQ(mesh.groups[1].faces.size(), 1u);
  // The group of A holds the face made of A's triangle (source face 1).
  const uint32_t face = mesh.groups[1].faces[0][2] / 3;
  EXPECT_EQ(face, 1u);
  const std::vector<reader::Vec3> corners = FaceCorners(mesh, face);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(corners[i].x, kOtherTriangle[i][0]);
    EXPECT_EQ(corners[i].z, kOtherTriangle[i][1]);  // host z is the source's y
  }
}

TEST(GeneratedGltf, LightsHelpersAndExtrasKeepTheirMeaning) {
  test::TempDir dir;
  GltfScene scene;
  GltfNode spot;
  spot.name = "Spot";
  spot.light = 0;
  spot.matrix = std::array<float, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
  GltfNode marker;
  marker.name = "Marker";
  marker.extrasJson = R"({"note": "hello", "count": 3})";
  scene.nodes = {spot, marker, MeshNode("Tri", {{kTriangle, {}, -1, 4}})};
  scene.lightsJson = {R"({"type": "spot", "color": [1, 0.5, 0.25], "intensity": 4, "name": "Spot",
                          "spot": {"innerConeAngle": 0.1, "outerConeAngle": 0.5}})"};
  const auto imported = test::ImportAndRead(test::WriteGltf(dir.Path().string(), "objects", scene));
  ASSERT_TRUE(imported.ok);
  ASSERT_EQ(imported.file.lights.size(), 1u);
  const reader::CvmLight& light = imported.file.lights[0];
  EXPECT_EQ(light.name, "Spot");
  EXPECT_EQ(light.typeCode, 3);  // a free spot: the source has no target
  EXPECT_FLOAT_EQ(light.intensity, 4.0f);
  EXPECT_FLOAT_EQ(light.color.x, 1.0f);
  EXPECT_FLOAT_EQ(light.color.y, 0.5f);
  EXPECT_FLOAT_EQ(light.color.z, 0.25f);
  // Position and direction in the file's frame are (x, y, -z) of the source's; a glTF light
  // shines down its -Z.
  EXPECT_FLOAT_EQ(light.position.x, 5.0f);
  EXPECT_FLOAT_EQ(light.position.y, 6.0f);
  EXPECT_FLOAT_EQ(light.position.z, -7.0f);
  EXPECT_NEAR(light.axisZNegated.x, 0.0f, 1e-6f);
  EXPECT_NEAR(light.axisZNegated.y, 0.0f, 1e-6f);
  EXPECT_NEAR(light.axisZNegated.z, 1.0f, 1e-6f);
  ASSERT_EQ(imported.file.helpers.size(), 1u);
  EXPECT_EQ(imported.file.helpers[0].name, "Marker");
  // One line per entry in the metadata's order (assimp sorts glTF extras by key).
  EXPECT_EQ(imported.file.helpers[0].userText, std::optional<std::string>("count = 3\r\nnote = hello"));
  EXPECT_EQ(imported.file.meshes.size(), 1u);
}

TEST(GeneratedGltf, PointsAndLinesAreDroppedWithAWarning) {
  test::TempDir dir;
  GltfScene scene{
      {MeshNode("Mixed", {{kTriangle, {}, -1, 0}, {kTriangle, {}, -1, 4}, {kOtherTriangle, {}, -1, 1}})},
      {},
      {}};
  const auto imported = test::ImportAndRead(test::WriteGltf(dir.Path().string(), "mixed", scene));
  ASSERT_TRUE(imported.ok);
  ASSERT_EQ(imported.file.meshes.size(), 1u);
  EXPECT_EQ(imported.file.meshes[0].faceCount, 1u);
  ASSERT_EQ(imported.warnings.size(), 1u);
  EXPECT_NE(imported.warnings[0].find("node 'Mixed'"), std::string::npos) << imported.warnings[0];
  EXPECT_NE(imported.warnings[0].find("points and lines dropped"), std::string::npos) << imported.warnings[0];
}

// A node stretched along y: the exporter turns normals with the node's matrix itself, so the
// importer hands it normals that come out perpendicular to the stretched surface.
TEST(GeneratedGltf, NormalsStayPerpendicularUnderNonUniformScale) {
  test::TempDir dir;
  const float s = 1.0f / std::sqrt(2.0f);
  const std::vector<std::array<float, 3>> slope = {{0, 0, 0}, {1, 0, 0}, {0, 1, 1}};
  GltfNode node = MeshNode("Stretched", {{slope, {{0, -s, s}, {0, -s, s}, {0, -s, s}}, -1, 4}});
  node.matrix = std::array<float, 16>{1, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const auto imported =
      test::ImportAndRead(test::WriteGltf(dir.Path().string(), "stretched", {{node}, {}, {}}));
  ASSERT_TRUE(imported.ok);
  const reader::CvmMesh& mesh = imported.file.meshes.at(0);
  ASSERT_TRUE(mesh.hasNormals);
  // World-space triangle (0,0,0), (1,0,0), (0,4,1): normal (0, -1, 4) / sqrt(17), in host axes
  // (x, -z, y).
  const float l = std::sqrt(17.0f);
  const reader::Vec3 expected = {0.0f, -4.0f / l, -1.0f / l};
  for (uint32_t corner = 0; corner < 3; ++corner) {
    const reader::EncodedNormal n = mesh.normals[mesh.normalIndices[corner]];
    const reader::Vec3 decoded = reader::DecodeNormal(n.polar, n.azimuth);
    const double cosine = decoded.x * expected.x + decoded.y * expected.y + decoded.z * expected.z;
    EXPECT_LT(std::acos(std::min(1.0, cosine)) * 180.0 / M_PI, 2.1) << corner;  // two encoding steps at most
  }
}

}  // namespace
}  // namespace cvm
