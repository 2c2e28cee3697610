// Render-ready meshes: every corner's vertex holds exactly the corner's values, equal tuples
// share a vertex and no two vertices hold the same tuple.
#include "reader/render_mesh.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "tests/support/float_bits.h"

namespace cvm::reader::test {
namespace {

using cvm::test::FloatBits;

// Two faces of a quad: corners 0, 1, 2 at positions 0, 1, 2 and corners 3, 4, 5 at positions
// 2, 1, 3, so positions 1 and 2 are shared; faces stored as the exporter writes them (2, 1, 0).
CvmMesh Quad() {
  CvmMesh m;
  m.pivot = {1.0f, 2.0f, 3.0f};
  m.cornerCount = 6;
  m.faceCount = 2;
  m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  m.positionIndices = {0, 1, 2, 2, 1, 3};
  m.groups = {{kNoMaterial, {{2, 1, 0}, {5, 4, 3}}}};
  return m;
}

CvmMesh WithUvs(CvmMesh m, std::vector<uint32_t> uvIndices, std::vector<Vec2> uvs) {
  m.hasUvs = true;
  m.uvIndices = std::move(uvIndices);
  m.uvs = std::move(uvs);
  return m;
}

CvmMesh WithNormals(CvmMesh m, std::vector<uint32_t> normalIndices, std::vector<EncodedNormal> normals) {
  m.hasNormals = true;
  m.normalIndices = std::move(normalIndices);
  m.normals = std::move(normals);
  return m;
}

using Tuple = std::tuple<uint32_t, uint32_t, uint8_t, uint8_t, uint16_t, uint16_t, uint16_t>;

Tuple TupleOf(const CvmMesh& m, uint32_t corner) {
  Tuple t{m.positionIndices[corner], 0, 0, 0, 0, 0, 0};
  if (m.hasUvs) std::get<1>(t) = m.uvIndices[corner];
  if (m.hasNormals) {
    const EncodedNormal& n = m.normals[m.normalIndices[corner]];
    std::get<2>(t) = n.polar;
    std::get<3>(t) = n.azimuth;
  }
  if (!m.colors.empty()) {
    std::get<4>(t) = m.colors[corner].r;
    std::get<5>(t) = m.colors[corner].g;
    std::get<6>(t) = m.colors[corner].b;
  }
  return t;
}

// Checks every promise of BuildRenderMesh against the record it was built from.
void ExpectRenderMeshOf(const CvmMesh& m, const RenderMesh& r) {
  ASSERT_EQ(r.positions.size(), 3u * r.vertexCount);
  ASSERT_EQ(r.normals.size(), m.hasNormals ? 3u * r.vertexCount : 0u);
  ASSERT_EQ(r.uvs.size(), m.hasUvs ? 2u * r.vertexCount : 0u);
  ASSERT_EQ(r.colors.size(), m.colors.empty() ? 0u : 3u * r.vertexCount);
  EXPECT_EQ(FloatBits(r.pivot.x), FloatBits(m.pivot.x));
  EXPECT_EQ(FloatBits(r.pivot.z), FloatBits(m.pivot.z));
  ASSERT_EQ(r.groups.size(), m.groups.size());

  std::map<Tuple, uint32_t> vertexOfTuple;
  std::map<uint32_t, Tuple> tupleOfVertex;
  uint32_t nextIndex = 0;
  for (size_t g = 0; g < m.groups.size(); ++g) {
    const RenderFaceGroup& group = r.groups[g];
    EXPECT_EQ(group.materialIndex, m.groups[g].materialIndex) << "group " << g;
    EXPECT_EQ(group.firstIndex, nextIndex) << "group " << g;
    ASSERT_EQ(group.indexCount, 3 * m.groups[g].faces.size()) << "group " << g;
    nextIndex += group.indexCount;
    for (uint32_t k = 0; k < group.indexCount; ++k) {
      const uint32_t corner = m.groups[g].faces[k / 3][k % 3];
      const uint32_t v = r.indices.at(group.firstIndex + k);
      ASSERT_LT(v, r.vertexCount);
      const Vec3& p = m.positions[m.positionIndices[corner]];
      EXPECT_EQ(FloatBits(r.positions[3 * v]), FloatBits(p.x)) << "corner " << corner;
      EXPECT_EQ(FloatBits(r.positions[3 * v + 1]), FloatBits(p.y)) << "corner " << corner;
      EXPECT_EQ(FloatBits(r.positions[3 * v + 2]), FloatBits(p.z)) << "corner " << corner;
      if (m.hasNormals) {
        const EncodedNormal& n = m.normals[m.normalIndices[corner]];
        const Vec3 host = DecodeNormal(n.polar, n.azimuth);
        EXPECT_EQ(FloatBits(r.normals[3 * v]), FloatBits(host.x)) << "corner " << corner;
        EXPECT_EQ(FloatBits(r.normals[3 * v + 1]), FloatBits(host.z)) << "corner " << corner;
        EXPECT_EQ(FloatBits(r.normals[3 * v + 2]), FloatBits(host.y)) << "corner " << corner;
      }
      if (m.hasUvs) {
        const Vec2& uv = m.uvs[m.uvIndices[corner]];
        EXPECT_EQ(FloatBits(r.uvs[2 * v]), FloatBits(uv.u)) << "corner " << corner;
        EXPECT_EQ(FloatBits(r.uvs[2 * v + 1]), FloatBits(uv.v)) << "corner " << corner;
      }
      if (!m.colors.empty()) {
        EXPECT_EQ(r.colors[3 * v], m.colors[corner].r) << "corner " << corner;
        EXPECT_EQ(r.colors[3 * v + 1], m.colors[corner].g) << "corner " << corner;
        EXPECT_EQ(r.colors[3 * v + 2], m.colors[corner].b) << "corner " << corner;
      }
      // Equal tuples share one vertex, and a vertex stands for one tuple only.
      const Tuple tuple = TupleOf(m, corner);
      EXPECT_EQ(vertexOfTuple.emplace(tuple, v).first->second, v) << "corner " << corner;
      EXPECT_EQ(tupleOfVertex.emplace(v, tuple).first->second, tuple) << "corner " << corner;
    }
  }
  EXPECT_EQ(r.indices.size(), nextIndex);
  EXPECT_EQ(tupleOfVertex.size(), r.vertexCount) << "a vertex no index uses";
}

struct Case {
  const char* what;
  CvmMesh mesh;
  uint32_t vertexCount;
};

TEST(BuildRenderMesh, OneVertexPerDistinctCornerTuple) {
  CvmMesh coloured = Quad();
  coloured.colors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {7, 8, 9}, {4, 5, 6}, {10, 11, 12}};
  CvmMesh colourSplit = coloured;
  colourSplit.colors[3] = {7, 8, 10};
  CvmMesh apart = Quad();  // positions kept in corner order: equal values, six indices
  apart.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
  apart.positionIndices = {0, 1, 2, 3, 4, 5};
  CvmMesh groups = Quad();  // two groups; corner 3 unused, corner 2 used by both faces
  groups.groups = {{0, {{2, 1, 0}}}, {kNoMaterial, {{5, 4, 2}}}};
  CvmMesh everything = WithNormals(WithUvs(coloured, {0, 1, 2, 2, 1, 3}, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}),
                                   {0, 0, 0, 0, 0, 0}, {{0, 0}});

  const std::vector<Case> cases = {
      {"shared positions", Quad(), 4},
      {"a texture seam splits a position",
       WithUvs(Quad(), {0, 1, 2, 3, 1, 4}, {{0, 0}, {1, 0}, {0, 1}, {0.5f, 1}, {1, 1}}), 5},
      {"a texture coordinate shared by all corners splits nothing",
       WithUvs(Quad(), {0, 0, 0, 0, 0, 0}, {{0.5f, 0.5f}}), 4},
      {"a normal seam splits a position", WithNormals(Quad(), {0, 0, 0, 1, 1, 1}, {{0, 0}, {63, 0}}), 6},
      {"normals the exporter kept apart with the same bytes are one",
       WithNormals(Quad(), {0, 0, 0, 1, 1, 1}, {{63, 31}, {63, 31}}), 4},
      {"same colours share", coloured, 4},
      {"a colour splits a position", colourSplit, 5},
      {"equal positions at different indices stay apart", apart, 6},
      {"groups, a corner used twice and one never", groups, 4},
      {"every block", everything, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RenderMesh r = BuildRenderMesh(c.mesh);
    EXPECT_EQ(r.vertexCount, c.vertexCount);
    ExpectRenderMeshOf(c.mesh, r);
  }
}

TEST(BuildRenderMesh, VerticesInOrderOfFirstUse) {
  const RenderMesh r = BuildRenderMesh(Quad());
  // Face (2, 1, 0) at positions 2, 1, 0 makes vertices 0, 1, 2; face (5, 4, 3) at positions
  // 3, 1, 2 adds position 3 only.
  EXPECT_EQ(r.indices, (std::vector<uint32_t>{0, 1, 2, 3, 1, 0}));
  EXPECT_EQ(r.positions, (std::vector<float>{0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0}));
}

TEST(BuildRenderMesh, NormalsAreInTheFileFrame) {
  struct Row {
    EncodedNormal encoded;
    Vec3 file;  // the direction in the file's y-up frame
  };
  // Host +z is the file's +y; host +y (azimuth 63 of polar 63) the file's +z.
  const std::vector<Row> rows = {
      {{0, 0}, {0, 1, 0}}, {{128, 0}, {0, -1, 0}}, {{63, 0}, {1, 0, 0}}, {{63, 63}, {0, 0, 1}}};
  for (const Row& row : rows) {
    const RenderMesh r = BuildRenderMesh(WithNormals(Quad(), {0, 0, 0, 0, 0, 0}, {row.encoded}));
    SCOPED_TRACE(::testing::Message()
                 << "polar " << int{row.encoded.polar} << " azimuth " << int{row.encoded.azimuth});
    // One step of 360/255 degrees short of the axis at most.
    EXPECT_NEAR(r.normals[0], row.file.x, 0.025);
    EXPECT_NEAR(r.normals[1], row.file.y, 0.025);
    EXPECT_NEAR(r.normals[2], row.file.z, 0.025);
  }
}

TEST(BuildRenderMesh, MeshWithoutFacesHasNoVertices) {
  CvmMesh m = Quad();
  m.groups.clear();
  const RenderMesh r = BuildRenderMesh(m);
  EXPECT_EQ(r.vertexCount, 0u);
  EXPECT_TRUE(r.positions.empty());
  EXPECT_TRUE(r.indices.empty());
  EXPECT_TRUE(r.groups.empty());
}

}  // namespace
}  // namespace cvm::reader::test
