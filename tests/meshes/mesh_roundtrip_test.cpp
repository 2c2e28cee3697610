// Scenes exported and read back: every corner of every face, resolved through the record's
// indices, must give the scene's position, texture coordinate, normal direction and colour,
// and every face must sit once in the group of its sub-material.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "format/output_target.h"
#include "import/scene_document.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

struct Vec {
  double x, y, z;
};
Vec Sub(const Vec& a, const Vec& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Unit(const Vec& v) {
  const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / l, v.y / l, v.z / l};
}
double AngleDegrees(const Vec& a, const Vec& b) {
  const Vec ua = Unit(a);
  const Vec ub = Unit(b);
  const double d = ua.x * ub.x + ua.y * ub.y + ua.z * ub.z;
  return std::acos(std::fmax(-1.0, std::fmin(1.0, d))) * 180.0 / M_PI;
}

// A cube of side 2 around the origin; vertex k has x, y, z = +1 where bits 0, 1, 2 of k are set.
// Outward windings, two triangles per side.
const int kCubeFaces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                               {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
Vec CubeVertex(int k) {
  return {k & 1 ? 1.0 : -1.0, k & 2 ? 1.0 : -1.0, k & 4 ? 1.0 : -1.0};
}
// The node transform of both nodes: a quarter turn about z, then a move; with the pivot below
// it, world - pivot is (-y, x, z + 1), exact in floats.
Vec CornerPosition(const Vec& v) {
  return {-v.y, v.x, v.z + 1};
}
Vec Rotate(const Vec& n) {
  return {-n.y, n.x, n.z};
}
Vec FaceNormal(int f) {
  const Vec a = CubeVertex(kCubeFaces[f][0]), b = CubeVertex(kCubeFaces[f][1]),
            c = CubeVertex(kCubeFaces[f][2]);
  return Unit(Cross(Sub(b, a), Sub(c, b)));
}
Vec TexVertex(int k) {
  return {0.25 * (k & 1), 0.5 * ((k >> 1) & 1), static_cast<double>((k >> 2) & 1)};
}
const double kColourValues[3] = {0.0, 0.5, 1.0};  // ColorToU16: 0, 128, 255
const uint16_t kColourBytes[3] = {0, 128, 255};

std::string CubeNode(const char* name, const char* material, bool round) {
  std::ostringstream j;
  j << R"({"name": ")" << name << R"(", "material": )" << material
    << R"(, "transform": [[0,1,0],[-1,0,0],[0,0,1],[10,20,30]], "pivot": [[1,0,0],[0,1,0],[0,0,1],[10,20,29]],)"
    << R"( "object": {"kind": "mesh", "vertices": [)";
  for (int k = 0; k < 8; ++k) {
    const Vec v = CubeVertex(k);
    j << (k ? "," : "") << "[" << v.x << "," << v.y << "," << v.z << "]";
  }
  j << R"(], "faces": [)";
  for (int f = 0; f < 12; ++f)
    j << (f ? "," : "") << "[" << kCubeFaces[f][0] << "," << kCubeFaces[f][1] << "," << kCubeFaces[f][2]
      << "]";
  j << R"(], "smoothing": [)";
  for (int f = 0; f < 12; ++f) j << (f ? "," : "") << (round ? 1 : 0);
  j << R"(], "materialIds": [)";
  for (int f = 0; f < 12; ++f) j << (f ? "," : "") << (f * 7) % 5;
  j << R"(], "tverts": [)";
  for (int k = 0; k < 8; ++k) {
    const Vec t = TexVertex(k);
    j << (k ? "," : "") << "[" << t.x << "," << t.y << "," << t.z << "]";
  }
  j << R"(], "tvFaces": [)";
  for (int f = 0; f < 12; ++f)
    j << (f ? "," : "") << "[" << kCubeFaces[f][0] << "," << kCubeFaces[f][1] << "," << kCubeFaces[f][2]
      << "]";
  j << R"(], "colors": {"verts": [[0,0.5,1],[1,0,0.5],[0.5,1,0]], "faces": [)";
  for (int f = 0; f < 12; ++f)
    j << (f ? "," : "") << "[" << f % 3 << "," << (f + 1) % 3 << "," << (f + 2) % 3 << "]";
  j << "]}}}";
  return j.str();
}

// Cube "Flat": smoothing 0, multi-material of Red and Blue; cube "Round": one smoothing
// group, material Blue.
std::string Scene() {
  return R"({"materials": [{"name": "Red"}, {"name": "Blue"},
                           {"name": "Multi", "class": "multi", "subMaterials": [0, 1]}],
             "nodes": [)" +
         CubeNode("Flat", "2", false) + "," + CubeNode("Round", "1", true) +
         R"(, {"name": "Lamp", "object": {"kind": "light"}}]})";
}

class MeshRoundTripTest : public testing::TestWithParam<ExportOptions> {};

TEST_P(MeshRoundTripTest, EveryCornerResolvesToTheScene) {
  const ExportOptions options = GetParam();
  std::string error;
  auto scene = import::LoadStandinScene(Scene(), error);
  ASSERT_NE(scene, nullptr) << error;
  test::CountingHost host(*scene);
  test::RecordingUi ui;
  MemoryTarget target;
  ExportOptions used = options;
  const ExportOutcome outcome = RunExport(target, host, ui, used, 0, true);
  ASSERT_EQ(outcome.result, kExportDone) << outcome.error;
  reader::CvmFile file;
  reader::ReadError readError;
  ASSERT_TRUE(reader::ReadCvm(target.Bytes().data(), target.Bytes().size(), file, readError))
      << reader::FormatReadError(readError);
  ASSERT_EQ(file.meshes.size(), 2u);
  ASSERT_EQ(file.lights.size(), 1u);

  // Smooth normals of "Round": the sum of the normals of the faces around each vertex.
  Vec vertexNormal[8] = {};
  for (int f = 0; f < 12; ++f) {
    const Vec n = FaceNormal(f);
    for (const int k : kCubeFaces[f])
      vertexNormal[k] = {vertexNormal[k].x + n.x, vertexNormal[k].y + n.y, vertexNormal[k].z + n.z};
  }

  for (int m = 0; m < 2; ++m) {
    SCOPED_TRACE(m == 0 ? "Flat" : "Round");
    const reader::CvmMesh& mesh = file.meshes[m];
    const reader::Vec3 pivot = reader::FileToHostAxes(mesh.pivot);
    EXPECT_EQ(pivot.x, 10.0f);
    EXPECT_EQ(pivot.y, 20.0f);
    EXPECT_EQ(pivot.z, 29.0f);
    ASSERT_EQ(mesh.cornerCount, 36u);
    ASSERT_TRUE(mesh.hasUvs);
    ASSERT_EQ(mesh.hasNormals, options.exportNormals);
    ASSERT_EQ(mesh.colors.size(), 0u);  // 3 colour vertices for 36 corners: not written
    ASSERT_EQ(mesh.faceCount, 12u);
    for (int f = 0; f < 12; ++f) {
      for (int i = 0; i < 3; ++i) {
        const uint32_t c = static_cast<uint32_t>(3 * f + i);
        SCOPED_TRACE(testing::Message() << "corner " << c);
        const int k = kCubeFaces[f][i];
        const reader::Vec3 p = reader::FileToHostAxes(mesh.positions[mesh.positionIndices[c]]);
        const Vec expected = CornerPosition(CubeVertex(k));
        EXPECT_EQ(p.x, expected.x);
        EXPECT_EQ(p.y, expected.y);
        EXPECT_EQ(p.z, expected.z);
        const reader::Vec2 uv = mesh.uvs[mesh.uvIndices[c]];
        EXPECT_EQ(uv.u, TexVertex(k).x);
        EXPECT_EQ(uv.v, TexVertex(k).y);
        if (options.exportNormals) {
          const reader::EncodedNormal e = mesh.normals[mesh.normalIndices[c]];
          const reader::Vec3 d = reader::DecodeNormal(e.polar, e.azimuth);
          const Vec want = Rotate(m == 0 ? FaceNormal(f) : Unit(vertexNormal[k]));
          EXPECT_LE(AngleDegrees({d.x, d.y, d.z}, want), 2.5);
        }
      }
    }
    // Distinct values only: texture coordinates differ by w for the cube's top and bottom, so
    // all eight stay apart; positions merge to the eight vertices unless every corner keeps
    // its own.
    EXPECT_EQ(mesh.uvs.size(), 8u);
    const bool ownPositions = options.preserveVertexOrdering && !options.mergeVertices;
    EXPECT_EQ(mesh.positions.size(), ownPositions ? 36u : 8u);
    if (options.exportNormals) {
      EXPECT_EQ(mesh.normals.size(), m == 0 ? 6u : 8u);
    }

    // Each face once, in the group of (material id mod 2) for the multi-material.
    std::vector<int> seen(12, 0);
    for (const reader::CvmFaceGroup& group : mesh.groups) {
      ASSERT_LT(group.materialIndex, file.materials.size());
      const std::string& material = file.materials[group.materialIndex].name;
      for (const auto& face : group.faces) {
        ASSERT_EQ(face[0] % 3, 2u);
        const uint32_t f = face[0] / 3;
        ASSERT_LT(f, 12u);
        EXPECT_EQ(face[1], 3 * f + 1);
        EXPECT_EQ(face[2], 3 * f);
        ++seen[f];
        EXPECT_EQ(material, m == 1 ? "Blue" : ((f * 7) % 5) % 2 == 0 ? "Red" : "Blue") << "face " << f;
      }
    }
    for (int f = 0; f < 12; ++f) EXPECT_EQ(seen[f], 1) << f;
  }
  EXPECT_EQ(host.TemporariesReleased(), host.TemporariesMade());
}

ExportOptions Options(bool normals, bool preserve, bool merge) {
  ExportOptions o;
  o.exportNormals = normals;
  o.preserveVertexOrdering = preserve;
  o.mergeVertices = merge;
  return o;
}

INSTANTIATE_TEST_SUITE_P(OptionTable, MeshRoundTripTest,
                         testing::Values(Options(true, false, true), Options(false, false, false),
                                         Options(true, true, true), Options(true, true, false)),
                         [](const testing::TestParamInfo<ExportOptions>& param) {
                           const ExportOptions& o = param.param;
                           return std::string(o.exportNormals ? "Normals" : "NoNormals") +
                                  (o.preserveVertexOrdering
                                       ? (o.mergeVertices ? "InOrderMerged" : "InOrderUnmerged")
                                       : "Sorted");
                         });

// Colours are written when the colour channel has a vertex for every corner.
TEST(MeshRoundTrip, ColoursOfEveryCorner) {
  std::ostringstream json;
  json << R"({"nodes": [{"name": "Tri", "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
       << R"( "faces": [[0,1,2],[2,1,0]], "colors": {"verts": [)";
  for (int v = 0; v < 6; ++v)
    json << (v ? "," : "") << "[" << kColourValues[v % 3] << "," << kColourValues[(v + 1) % 3] << ","
         << kColourValues[(v + 2) % 3] << "]";
  json << R"(], "faces": [[5,4,3],[0,1,2]]}}}]})";
  std::string error;
  auto scene = import::LoadStandinScene(json.str(), error);
  ASSERT_NE(scene, nullptr) << error;
  test::RecordingUi ui;
  MemoryTarget target;
  ExportOptions options;
  ASSERT_EQ(RunExport(target, *scene, ui, options, 0, true).result, kExportDone);
  reader::CvmFile file;
  reader::ReadError readError;
  ASSERT_TRUE(reader::ReadCvm(target.Bytes().data(), target.Bytes().size(), file, readError));
  ASSERT_EQ(file.meshes.size(), 1u);
  const std::vector<reader::Color16>& colours = file.meshes[0].colors;
  ASSERT_EQ(colours.size(), 6u);
  const int vertexOfCorner[6] = {5, 4, 3, 0, 1, 2};
  for (int c = 0; c < 6; ++c) {
    const int v = vertexOfCorner[c];
    EXPECT_EQ(colours[c].r, kColourBytes[v % 3]) << c;
    EXPECT_EQ(colours[c].g, kColourBytes[(v + 1) % 3]) << c;
    EXPECT_EQ(colours[c].b, kColourBytes[(v + 2) % 3]) << c;
  }
}

}  // namespace
}  // namespace cvm
