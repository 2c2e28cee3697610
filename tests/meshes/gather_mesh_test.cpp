#include "meshes/gather_mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "meshes/consolidate_channels.h"
#include "meshes/face_groups.h"
#include "meshes/float_key.h"
#include "meshes/select_corner_normal.h"
#include "tests/support/corner_records.h"
#include "tests/support/fake_host.h"
#include "tests/support/float_bits.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_runners.h"

namespace cvm {
namespace {

using test::FloatBits;

bool SameBits(const Point3& a, const Point3& b) {
  return FloatBits(a.x) == FloatBits(b.x) && FloatBits(a.y) == FloatBits(b.y) &&
         FloatBits(a.z) == FloatBits(b.z);
}

// One fan of faces around vertex 0 with distinct face normals, so each rule's result is
// recognisable. Vertex 0 has two normals (smoothing groups 1, and 2 or 4), vertex 1 one normal,
// vertex 2 a specified normal, vertex 3 none.
class SelectCornerNormalTest : public testing::Test {
 protected:
  void SetUp() override {
    mesh.vertices.assign(4, Point3{});
    mesh.AddFace(0, 1, 2, 1);  // f0
    mesh.AddFace(0, 1, 2, 4);  // f1
    mesh.AddFace(0, 1, 2, 0);  // f2: no smoothing
    mesh.AddFace(0, 1, 3, 8);  // f3: a group no normal of vertex 0 serves
    mesh.faceNormals = {{0, 0, 10}, {0, 0, 11}, {0, 0, 12}, {0, 0, 13}};
    mesh.SetVertexNormals(0, {{{1, 0, 0}, 1}, {{2, 0, 0}, 2 | 4}});
    mesh.SetVertexNormals(1, {{{3, 0, 0}, 1}});
    mesh.SetVertexNormals(2, {{{4, 0, 0}, 1}}, true);
    mesh.buildNormals();
  }
  test::FakeMesh mesh;
};

TEST_F(SelectCornerNormalTest, RulesInOrder) {
  struct Case {
    const char* what;
    uint32_t face;
    uint32_t vertex;
    Point3 expected;
  };
  const Case cases[] = {
      {"first entry sharing a bit", 0, 0, {1, 0, 0}},
      {"a later entry sharing a bit", 1, 0, {2, 0, 0}},
      {"mask 0 gives the face normal", 2, 0, {0, 0, 12}},
      {"no entry shares a bit: the face normal", 3, 0, {0, 0, 13}},
      {"a single normal serves every group", 3, 1, {3, 0, 0}},
      {"a single normal, mask 0: face normal", 2, 1, {0, 0, 12}},
      {"specified normal, even with mask 0", 2, 2, {4, 0, 0}},
      {"no normal: the face normal", 3, 3, {0, 0, 13}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(SameBits(SelectCornerNormal(mesh, c.face, c.vertex), c.expected));
  }
}

class GatherMeshTest : public testing::Test {
 protected:
  void SetUp() override {
    ui.CreateProgressWindow();
    progress.ui = &ui;
  }
  bool Gather(test::FakeMesh& mesh, const Matrix3& world, bool exportNormals, const Point3& pivot = {},
              TaskRunner* runner = nullptr) {
    if (exportNormals) mesh.buildNormals();
    return GatherMesh(mesh, static_cast<uint32_t>(mesh.faces.size()), world, pivot, exportNormals, progress,
                      "Tri", runner, gathered, error);
  }

  test::RecordingUi ui;
  ProgressWindow progress;
  GatheredMesh gathered;
  std::string error;
};

TEST_F(GatherMeshTest, CornersInWorldOrientationRelativeToThePivot) {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  mesh.AddFace(0, 1, 2, 0, 5);
  mesh.AddFace(3, 2, 1, 0, 0x1234);
  mesh.tverts = {{0, 0, 0}, {1, 0, 0.5f}, {0, 1, 0}};
  mesh.tvFaces = {{{0, 1, 2}}, {{2, 1, 0}}};
  // As many colour vertices as corners: the record holds colours (only the first two are used).
  mesh.colours = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  mesh.colourFaces = {{{0, 1, 0}}, {{1, 1, 1}}};
  mesh.faceNormals = {{0, 0, 1}, {1, 0, 0}};
  Matrix3 world;  // rotate 90 degrees about z, scale 2, move to (10, 0, 0)
  world.SetRow(0, {0, 2, 0});
  world.SetRow(1, {-2, 0, 0});
  world.SetRow(2, {0, 0, 2});
  world.SetRow(3, {10, 0, 0});
  ASSERT_TRUE(Gather(mesh, world, true, {10, 0, 1})) << error;

  const Point3 positions[] = {{0, 0, -1}, {0, 2, -1}, {-2, 0, -1}, {0, 0, 1}, {-2, 0, -1}, {0, 2, -1}};
  const Point3 uvw[] = {{0, 0, 0}, {1, 0, 0.5f}, {0, 1, 0}, {0, 1, 0}, {1, 0, 0.5f}, {0, 0, 0}};
  const uint16_t colours[][3] = {{255, 0, 0}, {0, 255, 0}, {255, 0, 0},
                                 {0, 255, 0}, {0, 255, 0}, {0, 255, 0}};
  const Point3 normals[] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
  ASSERT_EQ(gathered.CornerCount(), 6u);
  ASSERT_EQ(gathered.positions.CornerCount(), 6u);
  ASSERT_EQ(gathered.textureCoordinates.CornerCount(), 6u);
  ASSERT_EQ(gathered.normals.CornerCount(), 6u);
  ASSERT_EQ(gathered.colours.size(), 6u);
  for (uint32_t c = 0; c < 6; ++c) {
    SCOPED_TRACE(c);
    EXPECT_TRUE(SamePoint(gathered.positions.CornerValue(c), positions[c]));
    EXPECT_TRUE(SameBits(gathered.textureCoordinates.CornerValue(c), uvw[c]));
    const format::Color16 colour = gathered.colours[c];
    EXPECT_EQ(colour.r, colours[c][0]);
    EXPECT_EQ(colour.g, colours[c][1]);
    EXPECT_EQ(colour.b, colours[c][2]);
    EXPECT_TRUE(SamePoint(gathered.normals.CornerValue(c), normals[c]));
  }
  ASSERT_EQ(gathered.FaceCount(), 2u);
  EXPECT_EQ(MaterialIdOf(gathered.faces[0]), 5u);
  EXPECT_EQ(MaterialIdOf(gathered.faces[1]), 0x1234u);

  // Fewer colour vertices than corners: the record holds no colours, so none are kept.
  mesh.colours.resize(5);
  ASSERT_TRUE(Gather(mesh, world, true, {10, 0, 1})) << error;
  EXPECT_TRUE(gathered.colours.empty());
}

TEST_F(GatherMeshTest, NormalTransformTurnsNegativeZeroIntoPositiveZero) {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.AddFace(0, 1, 2);
  mesh.faceNormals = {{0, 0, 1}};
  // Every product for x is -0; only the row-3 addition makes the sum +0.
  Matrix3 world;
  world.SetRow(0, {-1, 0, 0});
  world.SetRow(1, {-0.0f, -1, 0});
  world.SetRow(2, {-0.0f, -0.0f, 1});
  world.SetRow(3, {5, 5, 5});
  ASSERT_TRUE(Gather(mesh, world, true)) << error;
  ASSERT_EQ(gathered.normals.CornerCount(), 3u);
  for (uint32_t c = 0; c < 3; ++c) EXPECT_TRUE(SameBits(gathered.normals.CornerValue(c), {0, 0, 1}));
}

TEST_F(GatherMeshTest, WithoutNormalsOrUVsOrColours) {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.AddFace(0, 1, 2);
  ASSERT_TRUE(Gather(mesh, Matrix3{}, false)) << error;
  EXPECT_EQ(mesh.buildNormalsCalls, 0);
  EXPECT_EQ(gathered.normals.CornerCount(), 0u);
  EXPECT_TRUE(gathered.colours.empty());
  ASSERT_EQ(gathered.textureCoordinates.CornerCount(), 3u);
  for (uint32_t c = 0; c < 3; ++c)
    EXPECT_TRUE(SameBits(gathered.textureCoordinates.CornerValue(c), {0, 0, 0}));
}

// A host may make its face normals only when asked, so they are asked for once a corner takes
// one: never when every vertex has a normal of its own, and a refusal when they are missing then.
TEST_F(GatherMeshTest, FaceNormalsAreAskedForOnlyWhenACornerTakesOne) {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.AddFace(0, 1, 2, 0);
  mesh.AddFace(2, 1, 0, 0);
  for (uint32_t j = 0; j < 3; ++j) mesh.SetVertexNormals(j, {{{0, 0, 1}, 0}}, true);
  ASSERT_TRUE(Gather(mesh, Matrix3{}, true)) << error;
  EXPECT_EQ(mesh.faceNormalRequests, 0);
  EXPECT_TRUE(SameBits(gathered.normals.CornerValue(5), {0, 0, 1}));

  mesh.SetVertexNormals(1, {});  // vertex 1 takes its faces' normals, which are missing
  EXPECT_FALSE(Gather(mesh, Matrix3{}, true));
  EXPECT_EQ(error, "mesh node \"Tri\": the mesh's normals were not built");
  EXPECT_EQ(mesh.faceNormalRequests, 1);

  mesh.faceNormals = {{1, 0, 0}, {0, 1, 0}};
  mesh.faceNormalRequests = 0;
  ASSERT_TRUE(Gather(mesh, Matrix3{}, true)) << error;
  EXPECT_EQ(mesh.faceNormalRequests, 1);  // once, not per corner
  EXPECT_TRUE(SameBits(gathered.normals.CornerValue(1), {1, 0, 0}));
  EXPECT_TRUE(SameBits(gathered.normals.CornerValue(4), {0, 1, 0}));
}

TEST_F(GatherMeshTest, GatheringTextBeforeEveryFace) {
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (int f = 0; f < 3; ++f) mesh.AddFace(0, 1, 2);
  ASSERT_TRUE(Gather(mesh, Matrix3{}, false)) << error;
  EXPECT_EQ(ui.progressTexts,
            (std::vector<std::string>{"Exporting Tri - Gathering 0%\n", "Exporting Tri - Gathering 33%\n",
                                      "Exporting Tri - Gathering 66%\n"}));

  // Set for every face, also when the percentage stays (the texts are formatted only once).
  ui.progressTexts.clear();
  for (int f = 3; f < 200; ++f) mesh.AddFace(0, 1, 2);
  ASSERT_TRUE(Gather(mesh, Matrix3{}, false)) << error;
  ASSERT_EQ(ui.progressTexts.size(), 200u);
  for (uint32_t f = 0; f < 200; ++f) {
    EXPECT_EQ(ui.progressTexts[f],
              "Exporting Tri - Gathering " + std::to_string(ProgressPercent(f, 200)) + "%\n")
        << f;
  }
  EXPECT_EQ(ui.progressTexts[1], "Exporting Tri - Gathering 0%\n");
  EXPECT_EQ(ui.progressTexts[198], "Exporting Tri - Gathering 99%\n");
}

TEST_F(GatherMeshTest, RefusesIndicesOutsideTheHostArrays) {
  struct Case {
    const char* what;
    void (*spoil)(test::FakeMesh&);
    const char* message;
  };
  const Case cases[] = {
      {"vertex", [](test::FakeMesh& m) { m.faces[1].v[2] = 3; },
       "face 1 corner 2: vertex index 3 out of range (3)"},
      {"texture vertex", [](test::FakeMesh& m) { m.tvFaces[0].t[1] = 9; },
       "face 0 corner 1: texture vertex index 9 out of range (3)"},
      {"colour vertex", [](test::FakeMesh& m) { m.colourFaces[1].t[0] = 1; },
       "face 1 corner 0: colour vertex index 1 out of range (1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::FakeMesh mesh;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.AddFace(0, 1, 2);
    mesh.AddFace(0, 1, 2);
    mesh.tverts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.tvFaces = {{{0, 1, 2}}, {{0, 1, 2}}};
    mesh.colours = {{1, 1, 1}};
    mesh.colourFaces = {{{0, 0, 0}}, {{0, 0, 0}}};
    mesh.faceNormals = {{0, 0, 1}, {0, 0, 1}};
    c.spoil(mesh);
    EXPECT_FALSE(Gather(mesh, Matrix3{}, true));
    EXPECT_EQ(error, std::string("mesh node \"Tri\": ") + c.message);
  }
}

// Corners whose values come from every kind of host entry: shared vertices, a vertex's further
// normals, face normals, a specified normal, texture vertices, and entries whose value has a NaN
// (a vertex, a face normal, a texture vertex), which are a value of their own at every corner.
// Gathering keeps an id per entry, not per corner; read back per corner, the ids and the
// consolidated indices must be those of one record per corner.
TEST_F(GatherMeshTest, CornersReadTheirIdsFromTheEntriesTheyComeFrom) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  test::FakeMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 0, 0}, {nan, 0, 0}, {1, 0, 0}};
  mesh.AddFace(0, 1, 2, 1);
  mesh.AddFace(0, 2, 3, 2);
  mesh.AddFace(1, 2, 4, 0);  // face normals
  mesh.AddFace(3, 4, 5, 0);  // a face normal with a NaN, and the vertex with one
  mesh.AddFace(0, 1, 5, 1);
  mesh.AddFace(6, 0, 3, 2);  // vertex 6 holds vertex 1's position
  mesh.faceNormals = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {nan, 0, 1}, {1, 0, 0}, {0, -0.0f, 1}};
  mesh.SetVertexNormals(0, {{{1, 0, 0}, 1}, {{0, 1, 0}, 2}});  // further normals
  mesh.SetVertexNormals(1, {{{0, 0, 1}, 1}});
  mesh.SetVertexNormals(2, {{{0, 1, 1}, 1}}, true);
  mesh.SetVertexNormals(3, {{{-0.0f, 0, 1}, 2}, {{0, 0, 1}, 4}});
  mesh.SetVertexNormals(6, {{{0, 0, 1}, 2}});
  mesh.tverts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {nan, 1, 0}, {1, 0, 0}};
  mesh.tvFaces = {{{0, 1, 2}}, {{0, 2, 3}}, {{1, 2, 4}}, {{3, 4, 0}}, {{0, 1, 3}}, {{4, 0, 3}}};
  ASSERT_TRUE(Gather(mesh, Matrix3{}, true)) << error;

  const uint32_t corners = 3 * static_cast<uint32_t>(mesh.faces.size());
  std::vector<CornerRecord> positions, uvs, normals;
  for (uint32_t c = 0; c < corners; ++c) {
    const uint32_t f = c / 3, j = mesh.faces[f].v[c % 3];
    // The transform turns a vertex with a NaN into NaNs and a normal's -0 into +0.
    positions.push_back({TransformPoint(Matrix3{}, mesh.vertices[j]), c});
    uvs.push_back({mesh.tverts[mesh.tvFaces[f].t[c % 3]], c});
    normals.push_back(
        {Normalize(TransformPoint(gathered.normalTransform, SelectCornerNormal(mesh, f, j))), c});
  }
  // Consolidated too, as the passes over one record per corner give them.
  ExportOptions options;
  ConsolidationProgress passes;
  ConsolidationScratch scratch;
  MeshChannels consolidated;
  GatheredMesh copy = gathered;
  ConsolidateChannels(copy, options, passes, scratch, consolidated);
  ConsolidationScratch referenceScratch;
  const auto expectSameIndexed = [&](const IndexedChannel& actual, const IndexedChannel& expected) {
    EXPECT_EQ(actual.CornerIndices(), expected.CornerIndices());
    ASSERT_EQ(actual.values.size(), expected.values.size());
    for (size_t i = 0; i < expected.values.size(); ++i)
      EXPECT_TRUE(SameBits(actual.values[i], expected.values[i])) << i;
  };

  const struct {
    const char* name;
    const GatheredChannel& gathered;
    const IndexedChannel& indexed;
    const std::vector<CornerRecord>& records;
  } channels[] = {{"positions", gathered.positions, consolidated.positions, positions},
                  {"texture coordinates", gathered.textureCoordinates, consolidated.textureCoordinates, uvs},
                  {"normals", gathered.normals, consolidated.normals, normals}};
  for (const auto& channel : channels) {
    SCOPED_TRACE(channel.name);
    ASSERT_EQ(channel.gathered.CornerCount(), corners);
    EXPECT_LT(channel.gathered.values.size(), corners);  // entries are met once, not per corner
    for (uint32_t c = 0; c < corners; ++c) {
      SCOPED_TRACE(c);
      EXPECT_TRUE(SameBits(channel.gathered.CornerValue(c), channel.records[c].value));
      // A value with a NaN has an id no other corner has.
      for (uint32_t d = 0; d < corners && PointHasNaN(channel.records[c].value); ++d)
        EXPECT_TRUE(d == c || channel.gathered.ids.Of(d) != channel.gathered.ids.Of(c)) << d;
    }
    IndexedChannel expected;
    ConsolidateSorted(channel.records, kConsolidatingVerticesText, passes, referenceScratch, expected);
    expectSameIndexed(channel.indexed, expected);
  }
  const bool merges[] = {true, false};
  for (const bool merge : merges) {
    SCOPED_TRACE(merge ? "in corner order, merged" : "in corner order, not merged");
    options.preserveVertexOrdering = true;
    options.mergeVertices = merge;
    copy = gathered;
    ConsolidatePositions(copy, options, passes, scratch, consolidated);
    IndexedChannel expected;
    ConsolidateInOrder(positions, merge, passes, referenceScratch, expected);
    expectSameIndexed(consolidated.positions, expected);
  }
}

// A grid of faces enough to be gathered beside the rest: shared vertices with two normals each,
// texture faces with a seam, a colour per corner (or, by vertex, per vertex), smoothing groups
// and material ids.
test::FakeMesh GridMesh(bool byVertex) {
  constexpr uint32_t kCells = 92;  // 2 x 92 x 92 faces
  static_assert(2 * kCells * kCells >= kGatherBesideFaces);
  constexpr uint32_t kSide = kCells + 1;
  test::FakeMesh mesh;
  for (uint32_t y = 0; y < kSide; ++y)
    for (uint32_t x = 0; x < kSide; ++x) mesh.vertices.push_back({float(x), float(y), float((x * y) % 7)});
  mesh.tverts.assign(mesh.vertices.size(), Point3{});
  for (uint32_t j = 0; j < mesh.vertices.size(); ++j) mesh.tverts[j] = {float(j % kSide) / kCells, 0.5f, 0};
  const uint32_t seam = static_cast<uint32_t>(mesh.tverts.size());
  for (uint32_t y = 0; y < kSide; ++y) mesh.tverts.push_back({1, float(y) / kCells, 0});
  for (uint32_t y = 0; y < kCells; ++y) {
    for (uint32_t x = 0; x < kCells; ++x) {
      const uint32_t a = y * kSide + x, b = a + 1, c = a + kSide, d = c + 1;
      for (const auto& t : {std::array<uint32_t, 3>{a, b, d}, std::array<uint32_t, 3>{a, d, c}}) {
        const uint32_t f = static_cast<uint32_t>(mesh.faces.size());
        mesh.AddFace(t[0], t[1], t[2], f % 4 == 0 ? 0 : 1u << (f % 3), static_cast<uint16_t>(f % 5));
        // The cells of the last column take the seam's texture vertices on their left side.
        TVFace tv{{t[0], t[1], t[2]}};
        if (x == kCells - 1)
          for (uint32_t& i : tv.t)
            if (i % kSide == 0) i = seam + i / kSide;
        mesh.tvFaces.push_back(tv);
        mesh.faceNormals.push_back(Normalize(Point3{float(f % 3), 1, float(f % 7)}));
        for (int i = 0; i < 3; ++i) {
          const float shade = float(mesh.colours.size() % 256) / 255;
          if (!byVertex) mesh.colourFaces.push_back({{uint32_t(mesh.colours.size()), 0, 0}});
          if (!byVertex) mesh.colours.push_back({shade, 1 - shade, 0.25f});
        }
      }
    }
  }
  if (byVertex) {
    mesh.colours.assign(mesh.vertices.size(), Point3{0.5f, 0.25f, 1});
  } else {
    // One colour face per face: corner i of face f has colour vertex 3f + i.
    std::vector<TVFace> perFace;
    for (uint32_t f = 0; f < mesh.faces.size(); ++f) perFace.push_back({{3 * f, 3 * f + 1, 3 * f + 2}});
    mesh.colourFaces = perFace;
  }
  mesh.tvFacesAreVertexFaces = byVertex;
  mesh.colourFacesAreVertexFaces = byVertex;
  if (byVertex) mesh.tverts.resize(mesh.vertices.size());
  for (uint32_t j = 0; j < mesh.vertices.size(); ++j)
    mesh.SetVertexNormals(j, {{{0, 0, 1}, 1 | 4}, {Normalize(Point3{1, float(j % 5), 1}), 2}});
  return mesh;
}

template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool SameColours(const CornerColours& a, const CornerColours& b) {
  if (a.size() != b.size()) return false;
  for (size_t c = 0; c < a.size(); ++c) {
    const format::Color16 x = a[c];
    const format::Color16 y = b[c];
    if (x.r != y.r || x.g != y.g || x.b != y.b) return false;
  }
  return true;
}

bool SameChannel(const GatheredChannel& a, const GatheredChannel& b) {
  if (!SameBytes(a.values, b.values) || a.CornerCount() != b.CornerCount()) return false;
  for (uint32_t c = 0; c < a.CornerCount(); ++c)
    if (a.ids.Of(c) != b.ids.Of(c)) return false;
  return true;
}

TEST_F(GatherMeshTest, ARunnerGivesTheSameChannelsTextsAndRefusals) {
  struct Case {
    const char* what;
    bool byVertex;
    void (*spoil)(test::FakeMesh&);
    const char* message;  // empty: gathered
  };
  const Case cases[] = {
      {"whole", false, [](test::FakeMesh&) {}, ""},
      {"by vertex", true, [](test::FakeMesh&) {}, ""},
      {"a late vertex", false, [](test::FakeMesh& m) { m.faces[12000].v[1] = 1u << 20; },
       "face 12000 corner 1: vertex index 1048576 out of range (8649)"},
      {"a texture vertex before a vertex", false,
       [](test::FakeMesh& m) {
         m.tvFaces[9000].t[2] = 1u << 20;
         m.faces[12000].v[0] = 1u << 20;
       },
       "face 9000 corner 2: texture vertex index 1048576 out of range (8742)"},
      {"a colour vertex after a texture vertex at the same corner", false,
       [](test::FakeMesh& m) {
         m.colourFaces[15000].t[0] = 1u << 20;
         m.tvFaces[15000].t[0] = 1u << 21;
       },
       "face 15000 corner 0: texture vertex index 2097152 out of range (8742)"},
      {"a colour vertex", false, [](test::FakeMesh& m) { m.colourFaces[16000].t[1] = 1u << 20; },
       "face 16000 corner 1: colour vertex index 1048576 out of range (50784)"},
      {"a texture vertex by vertex", true, [](test::FakeMesh& m) { m.tverts.resize(100); },
       "face 12 corner 2: texture vertex index 100 out of range (100)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::FakeMesh mesh = GridMesh(c.byVertex);
    c.spoil(mesh);
    ui.progressTexts.clear();
    const bool gatheredAlone = Gather(mesh, Matrix3{}, true);
    EXPECT_EQ(gatheredAlone, *c.message == '\0');
    if (*c.message != '\0') {
      EXPECT_EQ(error, std::string("mesh node \"Tri\": ") + c.message);
    }
    const GatheredMesh alone = gathered;
    const std::vector<std::string> textsAlone = ui.progressTexts;
    const std::string errorAlone = error;

    test::OrderedRunner besideFirst(true), hereFirst(false);
    test::ThreadedRunner threaded;
    const struct {
      const char* name;
      TaskRunner* runner;
      int* calls;
    } runners[] = {{"beside first", &besideFirst, &besideFirst.calls},
                   {"here first", &hereFirst, &hereFirst.calls},
                   {"two threads", &threaded, &threaded.calls}};
    for (const auto& r : runners) {
      SCOPED_TRACE(r.name);
      ui.progressTexts.clear();
      error.clear();
      EXPECT_EQ(Gather(mesh, Matrix3{}, true, {}, r.runner), gatheredAlone);
      EXPECT_EQ(*r.calls, 1);
      EXPECT_EQ(error, errorAlone);
      EXPECT_EQ(ui.progressTexts, textsAlone);
      if (!gatheredAlone) continue;
      EXPECT_TRUE(SameChannel(gathered.positions, alone.positions));
      EXPECT_TRUE(SameChannel(gathered.normals, alone.normals));
      EXPECT_TRUE(SameChannel(gathered.textureCoordinates, alone.textureCoordinates));
      EXPECT_TRUE(SameColours(gathered.colours, alone.colours));
      EXPECT_EQ(gathered.FaceCount(), alone.FaceCount());
    }
    if (gatheredAlone) {
      EXPECT_EQ(alone.colours.size(), c.byVertex ? 0u : alone.CornerCount());
      EXPECT_GT(alone.textureCoordinates.values.size(), 8000u);
    }
  }
}

}  // namespace
}  // namespace cvm
