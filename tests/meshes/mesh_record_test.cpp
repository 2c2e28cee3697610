// Whole mesh records from host meshes, byte for byte.
#include "meshes/mesh_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "export_context/export_options.h"
#include "format/byte_sink.h"
#include "meshes/consolidate_channels.h"
#include "meshes/gather_mesh.h"
#include "tests/support/fake_host.h"
#include "tests/support/float_bits.h"

namespace cvm {
namespace {

// The expected bytes, built field by field.
struct Bytes {
  std::vector<uint8_t> data;
  Bytes& U8(uint8_t v) {
    data.push_back(v);
    return *this;
  }
  Bytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& F32(float f) { return U32(test::FloatBits(f)); }
};

// Gathers, consolidates and writes mesh the way the mesh section does; the record after its
// pivot, which is (0, 0, 0) here.
std::vector<uint8_t> Record(test::FakeMesh& mesh, const ExportOptions& options,
                            HostMaterial* material = nullptr, const MaterialList& materials = {}) {
  GatheredMesh gathered;
  if (options.exportNormals) mesh.buildNormals();
  std::string error;
  EXPECT_TRUE(GatherMesh(mesh, static_cast<uint32_t>(mesh.faces.size()), Matrix3{}, Point3{},
                         options.exportNormals, ProgressWindow{}, "m", nullptr, gathered, error))
      << error;
  MeshChannels channels;
  ConsolidationScratch scratch;
  ConsolidationProgress progress;
  ConsolidateChannels(gathered, options, progress, scratch, channels);
  MemorySink sink;
  {
    OutputStream stream(sink);
    WriteMeshRecord(gathered, channels, material, options.exportNormals, materials, ProgressWindow{}, "m",
                    stream);
    stream.Flush();
  }
  const std::vector<uint8_t> pivot(12, 0);
  EXPECT_TRUE(sink.bytes.size() >= 12 && std::equal(pivot.begin(), pivot.end(), sink.bytes.begin()));
  return std::vector<uint8_t>(sink.bytes.begin() + std::min<size_t>(12, sink.bytes.size()), sink.bytes.end());
}

test::FakeMesh OneFace() {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.AddFace(0, 1, 2);
  mesh.faceNormals = {{0, 0, 1}};
  return mesh;
}

TEST(MeshRecord, OneFaceWithDefaultOptions) {
  test::FakeMesh mesh = OneFace();
  Bytes expected;
  expected.U32(3).U32(2).U32(0).U32(1);  // corners, position indices
  expected.U32(3).F32(1).F32(0).F32(0).F32(0).F32(0).F32(1).F32(0).F32(0).F32(0);  // positions as x, z, y
  expected.U16(0);                                                                 // no texture coordinates
  expected.U16(1).U32(0).U32(0).U32(0).U32(1).U8(0).U8(0);                         // normals: straight up
  expected.U32(0);                                                                 // no colours
  expected.U32(1).U32(1).U16(0xFFFF).U32(1).U32(2).U32(1).U32(0);                  // faces, one group
  EXPECT_EQ(Record(mesh, ExportOptions{}), expected.data);
}

TEST(MeshRecord, TextureCoordinatesDifferingOnlyInWAreTwoValues) {
  test::FakeMesh mesh = OneFace();
  mesh.tverts = {{0.25f, 0.5f, 0}, {0.25f, 0.5f, 1}};
  mesh.tvFaces = {{{0, 1, 0}}};
  ExportOptions options;
  options.exportNormals = false;
  Bytes expected;
  expected.U32(3).U32(2).U32(0).U32(1);
  expected.U32(3).F32(1).F32(0).F32(0).F32(0).F32(0).F32(1).F32(0).F32(0).F32(0);
  expected.U16(1).U32(1).U32(0).U32(1).U32(2).F32(0.25f).F32(0.5f).F32(0.25f).F32(0.5f);
  expected.U16(0);
  expected.U32(0);
  expected.U32(1).U32(1).U16(0xFFFF).U32(1).U32(2).U32(1).U32(0);
  EXPECT_EQ(Record(mesh, options), expected.data);
}

TEST(MeshRecord, ColoursOnlyWhenThereAreAtLeastAsManyAsCorners) {
  struct Case {
    size_t colourVertices;
    bool written;
  };
  for (const Case c : {Case{2, false}, Case{3, true}, Case{4, true}}) {
    SCOPED_TRACE(c.colourVertices);
    test::FakeMesh mesh = OneFace();
    mesh.colours.assign(c.colourVertices, Point3{0, 0, 0});
    mesh.colours[0] = {1.5f, -0.5f, 0.5f};
    mesh.colours[1] = {1, 0, 0};
    mesh.colourFaces = {{{1, 0, 1}}};
    ExportOptions options;
    options.exportNormals = false;
    const std::vector<uint8_t> bytes = Record(mesh, options);
    Bytes tail;  // colour count and colours, then the faces
    if (c.written) {
      tail.U32(3).U16(255).U16(0).U16(0).U16(383).U16(65409).U16(128).U16(255).U16(0).U16(0);
    } else {
      tail.U32(0);
    }
    tail.U32(1).U32(1).U16(0xFFFF).U32(1).U32(2).U32(1).U32(0);
    ASSERT_GE(bytes.size(), tail.data.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - static_cast<long>(tail.data.size()), bytes.end()),
              tail.data);
    const size_t head = 4 + 12 + 4 + 36 + 2 + 2;
    EXPECT_EQ(bytes.size(), head + tail.data.size());
  }
}

TEST(MeshRecord, FacesAreWrittenPerGroupInReversedCornerOrder) {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.AddFace(0, 1, 2, 0, 2);
  mesh.AddFace(0, 1, 2, 0, 0);
  mesh.AddFace(0, 1, 2, 0, 5);  // 5 mod 3 = 2
  test::FakeMaterial a, b, multi;
  multi.isMulti = true;
  multi.subs = {&a, nullptr, &b};
  ExportOptions options;
  options.exportNormals = false;
  const std::vector<uint8_t> bytes = Record(mesh, options, &multi, MaterialList{&b, &a});
  Bytes tail;
  tail.U32(3).U32(2);
  tail.U16(1).U32(1).U32(5).U32(4).U32(3);
  tail.U16(0).U32(2).U32(2).U32(1).U32(0).U32(8).U32(7).U32(6);
  ASSERT_GE(bytes.size(), tail.data.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - static_cast<long>(tail.data.size()), bytes.end()), tail.data);
}

}  // namespace
}  // namespace cvm
