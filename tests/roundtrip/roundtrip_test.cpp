// Whole-file property test: random scenes of every kind go through the real driver, the
// reader decodes the bytes, and every field read back is compared with the scene itself.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "reader/cvm_reader.h"
#include "reader/render_mesh.h"
#include "standin/standin_scene.h"
#include "tests/roundtrip/expected_file.h"
#include "tests/roundtrip/random_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/float_bits.h"
#include "tests/support/recording_ui.h"

namespace cvm::test {
namespace {

using standin::MaterialModel;
using standin::NodeModel;
using standin::SceneModel;

constexpr uint32_t kFirstSeed = 1;
constexpr uint32_t kSeedCount = 1500;

bool SameBits(float a, float b) {
  return FloatBits(a) == FloatBits(b);
}

// Host point in the file's order (x, z, y), compared bit for bit.
::testing::AssertionResult SameFileVector(const reader::Vec3& read, const Point3& host) {
  if (SameBits(read.x, host.x) && SameBits(read.y, host.z) && SameBits(read.z, host.y)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "read (" << read.x << ", " << read.y << ", " << read.z << ") but the scene gives (" << host.x
         << ", " << host.z << ", " << host.y << ") in file order";
}

::testing::AssertionResult SameUserText(const std::optional<std::string>& read, const std::string& scene) {
  if (scene.empty() ? !read.has_value() : (read.has_value() && *read == scene))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "user text read as " << (read ? "'" + *read + "'" : "absent")
                                       << ", scene holds '" << scene << "'";
}

bool SameColor(const reader::Color16& a, const reader::Color16& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The scene's nodes as the host hands them out, in document order (hidden ones included).
class AllNodes final : public HostSceneEnumCallback {
 public:
  int32_t callback(HostNode* node) override {
    nodes.push_back(node);
    return 0;
  }
  std::vector<HostNode*> nodes;
};

// The normal a corner must carry, in world orientation, worked out from the host mesh's
// face and render normals (after buildNormals) by the smoothing-group rules.
Point3 ExpectedCornerNormal(const HostMesh& mesh, const Matrix3& world, size_t f, uint32_t j) {
  const MeshFace& face = mesh.MeshFaces()[f];
  const RVertex& rv = mesh.MeshRenderNormals()[j];
  const uint32_t count = rv.rFlags & kRVertexNormalCountMask;
  Point3 n = mesh.MeshFaceNormals()[f];
  if (rv.rFlags & kRVertexSpecifiedNormal) {
    n = rv.primaryNormal;
  } else if (count == 1 && face.smGroup != 0) {
    n = rv.primaryNormal;
  } else if (count > 1 && face.smGroup != 0) {
    // None sharing a bit: the face normal stands in.
    for (uint32_t e = 0; e < count; ++e) {
      if (rv.ern[e].smGroup & face.smGroup) {
        n = rv.ern[e].normal;
        break;
      }
    }
  }
  Matrix3 rotation = world;
  rotation.SetRow(3, Point3{0, 0, 0});
  return Normalize(TransformPoint(rotation, n));
}

// The encoder truncates both angles by up to one step of 360/255 degrees.
::testing::AssertionResult NormalMatches(const reader::EncodedNormal& stored, const Point3& expected) {
  if (expected.x == 0.0f && expected.y == 0.0f) {
    const uint8_t polar = expected.z > 0.0f ? 0 : 128;
    if (stored.polar == polar && stored.azimuth == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "normal (0, 0, " << expected.z << ") stored as "
                                         << int(stored.polar) << ", " << int(stored.azimuth);
  }
  const reader::Vec3 d = reader::DecodeNormal(stored.polar, stored.azimuth);
  const double dot = static_cast<double>(d.x) * expected.x + static_cast<double>(d.y) * expected.y +
                     static_cast<double>(d.z) * expected.z;
  const double length =
      std::sqrt(static_cast<double>(expected.x) * expected.x + static_cast<double>(expected.y) * expected.y +
                static_cast<double>(expected.z) * expected.z);
  const double angle = std::acos(std::fmin(1.0, dot / length)) * 180.0 / 3.14159265358979323846;
  if (angle <= 2.1) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "normal (" << expected.x << ", " << expected.y << ", " << expected.z << ") stored as "
         << int(stored.polar) << ", " << int(stored.azimuth) << ": " << angle << " degrees apart";
}

void CheckMaterials(const SceneModel& model, const ExpectedMaterials& expected, const reader::CvmFile& file) {
  ASSERT_EQ(file.textures.size(), expected.textures.size());
  for (size_t t = 0; t < expected.textures.size(); ++t) {
    EXPECT_EQ(file.textures[t].name, expected.textures[t]) << "texture " << t;
  }
  ASSERT_EQ(file.materials.size(), expected.materials.size());
  for (size_t i = 0; i < expected.materials.size(); ++i) {
    SCOPED_TRACE("material record " + std::to_string(i));
    const MaterialModel& m = model.materials[static_cast<size_t>(expected.materials[i])];
    const reader::CvmMaterial& r = file.materials[i];
    EXPECT_EQ(r.name, m.name);
    EXPECT_EQ(r.twoSided, m.twoSided);
    const reader::CvmEngineSettings e = ExpectedEngineSettings(m);
    EXPECT_EQ(r.engine.collideable, e.collideable);
    EXPECT_EQ(r.engine.visible, e.visible);
    EXPECT_EQ(r.engine.dataId, e.dataId);
    ASSERT_EQ(r.engine.colorKey.has_value(), e.colorKey.has_value());
    if (e.colorKey) {
      EXPECT_TRUE(SameColor(*r.engine.colorKey, *e.colorKey));
    }
    ASSERT_EQ(r.engine.uv1.has_value(), e.uv1.has_value());
    if (e.uv1) {
      EXPECT_TRUE(SameBits(r.engine.uv1->u, e.uv1->u) && SameBits(r.engine.uv1->v, e.uv1->v));
    }
    ASSERT_EQ(r.engine.frames1.has_value(), e.frames1.has_value());
    if (e.frames1) {
      EXPECT_EQ(r.engine.frames1->hf, e.frames1->hf);
      EXPECT_EQ(r.engine.frames1->vf, e.frames1->vf);
      EXPECT_TRUE(SameBits(r.engine.frames1->time, e.frames1->time));
    }
    ASSERT_EQ(r.engine.uv2.has_value(), e.uv2.has_value());
    if (e.uv2) {
      EXPECT_TRUE(SameBits(r.engine.uv2->u, e.uv2->u) && SameBits(r.engine.uv2->v, e.uv2->v));
    }
    ASSERT_EQ(r.engine.frames2.has_value(), e.frames2.has_value());
    if (e.frames2) {
      EXPECT_EQ(r.engine.frames2->hf, e.frames2->hf);
      EXPECT_EQ(r.engine.frames2->vf, e.frames2->vf);
      EXPECT_TRUE(SameBits(r.engine.frames2->time, e.frames2->time));
    }
    EXPECT_EQ(r.engine.renderLast, e.renderLast);
    EXPECT_EQ(r.engine.renderFirst, e.renderFirst);
    EXPECT_TRUE(SameColor(r.diffuse, ExpectedColor(m.diffuse)));
    EXPECT_TRUE(SameColor(r.ambient, ExpectedColor(m.ambient)));
    EXPECT_TRUE(SameColor(r.specular, ExpectedColor(m.specular)));
    EXPECT_TRUE(SameColor(r.selfIllum, ExpectedColor(m.selfIllum)));
    EXPECT_TRUE(SameBits(r.shininess, m.shininess));
    EXPECT_TRUE(SameBits(r.shininessStrength, m.shininessStrength));
    for (size_t k = 0; k < reader::kTextureRefSlots.size(); ++k) {
      const standin::MapSlotModel& slot = m.maps[static_cast<size_t>(reader::kTextureRefSlots[k])];
      const std::string name = ExpectedTextureName(model, slot.texmap);
      uint32_t ref = reader::kNoTexture;
      if (slot.enabled && !name.empty()) {
        for (size_t t = 0; t < expected.textures.size(); ++t) {
          if (expected.textures[t] == name) {
            ref = static_cast<uint32_t>(t);
            break;
          }
        }
      }
      EXPECT_EQ(r.textureRefs[k], ref) << "slot " << reader::kTextureRefSlots[k];
    }
  }
}

void CheckMesh(const SceneModel& model, const ExpectedMaterials& materials, const NodeModel& node,
               HostNode& host, const reader::CvmMesh& r) {
  const standin::MeshModel& mesh = node.object.mesh;
  const Matrix3& world = node.transform;
  const Point3 pivot = standin::EffectivePivot(node).row[3];
  EXPECT_TRUE(SameFileVector(r.pivot, pivot)) << "pivot";
  const size_t faces = mesh.faces.size();
  ASSERT_EQ(r.cornerCount, 3 * faces);
  ASSERT_EQ(r.faceCount, faces);

  // The host's own face and render normals, built the way the export asked for them.
  const TriObjectResult tri = host.ConvertNodeToTriangleObject(0);
  ASSERT_NE(tri.triObject, nullptr);
  HostMesh* hostMesh = tri.triObject->TriObjectMesh();
  ASSERT_NE(hostMesh, nullptr);
  hostMesh->buildNormals();

  const bool hasUvs = !mesh.tverts.empty();
  const bool hasColors = mesh.colors && mesh.colors->verts.size() >= 3 * faces;
  EXPECT_EQ(r.hasUvs, hasUvs);
  ASSERT_TRUE(r.hasNormals);
  ASSERT_EQ(r.colors.size(), hasColors ? 3 * faces : 0u);
  for (size_t f = 0; f < faces; ++f) {
    for (size_t i = 0; i < 3; ++i) {
      const size_t c = 3 * f + i;
      SCOPED_TRACE("corner " + std::to_string(c));
      const uint32_t j = mesh.faces[f].v[i];
      // Merging may keep either sign of a zero, so positions compare as values.
      const Point3 p = TransformPoint(world, mesh.vertices[j]) - pivot;
      const reader::Vec3& rp = r.positions.at(r.positionIndices.at(c));
      EXPECT_TRUE(rp.x == p.x && rp.y == p.z && rp.z == p.y)
          << "position (" << rp.x << ", " << rp.y << ", " << rp.z << ") expected (" << p.x << ", " << p.z
          << ", " << p.y << ")";
      if (hasUvs) {
        const Point3& uvw = mesh.tverts[mesh.tvFaces[f].t[i]];
        const reader::Vec2& uv = r.uvs.at(r.uvIndices.at(c));
        EXPECT_TRUE(uv.u == uvw.x && uv.v == uvw.y) << "uv (" << uv.u << ", " << uv.v << ")";
      }
      EXPECT_TRUE(
          NormalMatches(r.normals.at(r.normalIndices.at(c)), ExpectedCornerNormal(*hostMesh, world, f, j)));
      if (hasColors) {
        const Point3& color = mesh.colors->verts[mesh.colors->faces[f].t[i]];
        EXPECT_TRUE(SameColor(r.colors[c], ExpectedColor(color)));
      }
    }
  }
  if (tri.isTemporary) tri.triObject->ReleaseTemporaryObject();

  // Face groups by sub-material number, faces written as corners 2, 1, 0.
  uint32_t subCount = 1;
  const MaterialModel* material =
      node.material >= 0 ? &model.materials[static_cast<size_t>(node.material)] : nullptr;
  if (material != nullptr && standin::EffectiveIsMulti(*material)) {
    subCount = static_cast<uint32_t>(material->subMaterials.size());
  }
  size_t g = 0;
  for (uint32_t s = 0; s < subCount; ++s) {
    std::vector<std::array<uint32_t, 3>> groupFaces;
    for (size_t f = 0; f < faces; ++f) {
      if (standin::FaceMaterialId(mesh.faces[f]) % subCount == s) {
        const uint32_t base = static_cast<uint32_t>(3 * f);
        groupFaces.push_back({base + 2, base + 1, base});
      }
    }
    if (groupFaces.empty()) continue;
    SCOPED_TRACE("group of sub-material " + std::to_string(s));
    ASSERT_LT(g, r.groups.size());
    const int32_t groupMaterial = subCount > 1 ? material->subMaterials[s] : node.material;
    EXPECT_EQ(r.groups[g].materialIndex,
              static_cast<uint16_t>(ExpectedMaterialIndex(materials, groupMaterial)));
    EXPECT_EQ(r.groups[g].faces, groupFaces);
    ++g;
  }
  EXPECT_EQ(g, r.groups.size());
}

void CheckRoundTrip(uint32_t seed, bool selectedOnly) {
  const SceneModel model = RandomScene(seed);
  std::string sceneError;
  std::unique_ptr<standin::StandinScene> scene = standin::MakeStandinScene(model, sceneError);
  ASSERT_NE(scene, nullptr) << sceneError;
  const ExpectedKinds kinds = ExpectedSections(model, selectedOnly);

  CountingHost host(*scene);
  RecordingUi ui;
  MemoryTarget target;
  ExportOptions options;
  const ExportOutcome outcome = RunExport(target, host, ui, options, selectedOnly ? 1 : 0, true);
  ASSERT_EQ(outcome.result, kExportDone) << outcome.error;
  EXPECT_EQ(host.TemporariesMade(), host.TemporariesReleased());
  EXPECT_EQ(host.InvalidReleases(), 0);
  EXPECT_EQ(host.ReleasedObjectUses(), 0);
  if (kinds.collected == 0) {
    EXPECT_TRUE(outcome.noData);
    EXPECT_TRUE(target.Bytes().empty());
    return;
  }

  reader::CvmFile file;
  reader::ReadError error;
  ASSERT_TRUE(reader::ReadCvm(target.Bytes().data(), target.Bytes().size(), file, error))
      << reader::FormatReadError(error);
  EXPECT_TRUE(SameBits(file.header.scale, 1.0f));
  ASSERT_EQ(file.meshes.size(), kinds.meshes.size());
  ASSERT_EQ(file.lights.size(), kinds.lights.size());
  ASSERT_EQ(file.helpers.size(), kinds.helpers.size());
  ASSERT_EQ(file.splines.size(), kinds.splines.size());

  const ExpectedMaterials materials = ExpectedMaterialSection(model, kinds.meshes);
  CheckMaterials(model, materials, file);

  AllNodes all;
  scene->EnumerateSceneNodes(all);
  ASSERT_EQ(all.nodes.size(), model.nodes.size());
  for (size_t k = 0; k < kinds.meshes.size(); ++k) {
    SCOPED_TRACE("mesh record " + std::to_string(k) + " (node " + std::to_string(kinds.meshes[k]) + ")");
    CheckMesh(model, materials, model.nodes[kinds.meshes[k]], *all.nodes[kinds.meshes[k]], file.meshes[k]);
  }

  for (size_t k = 0; k < kinds.lights.size(); ++k) {
    SCOPED_TRACE("light record " + std::to_string(k));
    const NodeModel& node = model.nodes[kinds.lights[k]];
    const reader::CvmLight& r = file.lights[k];
    const standin::LightModel& light = node.object.light;
    const Matrix3& m = node.transform;
    EXPECT_EQ(r.name, node.name);
    EXPECT_EQ(r.typeCode, light.lightType >= 0 && light.lightType <= 4 ? light.lightType : 0);
    EXPECT_TRUE(SameFileVector(r.position, m.row[3]));
    EXPECT_TRUE(SameFileVector(r.axisX, Normalize(m.row[0])));
    EXPECT_TRUE(SameFileVector(r.axisY, Normalize(m.row[1])));
    EXPECT_TRUE(SameFileVector(r.axisZNegated, -Normalize(m.row[2])));
    EXPECT_TRUE(SameBits(r.color.x, light.color.x) && SameBits(r.color.y, light.color.y) &&
                SameBits(r.color.z, light.color.z));
    EXPECT_TRUE(SameBits(r.intensity, light.intensity));
    EXPECT_TRUE(SameUserText(r.userText, node.userText));
  }

  for (size_t k = 0; k < kinds.helpers.size(); ++k) {
    SCOPED_TRACE("helper record " + std::to_string(k));
    const NodeModel& node = model.nodes[kinds.helpers[k]];
    const reader::CvmHelper& r = file.helpers[k];
    const Matrix3& m = node.transform;
    EXPECT_EQ(r.name, node.name);
    EXPECT_TRUE(SameFileVector(r.position, m.row[3]));
    EXPECT_TRUE(SameFileVector(r.axisX, Normalize(m.row[0])));
    EXPECT_TRUE(SameFileVector(r.axisZ, Normalize(m.row[2])));
    EXPECT_TRUE(SameFileVector(r.axisY, Normalize(m.row[1])));
    EXPECT_TRUE(SameUserText(r.userText, node.userText));
  }

  for (size_t k = 0; k < kinds.splines.size(); ++k) {
    SCOPED_TRACE("spline record " + std::to_string(k));
    const NodeModel& node = model.nodes[kinds.splines[k]];
    const reader::CvmSplineObject& r = file.splines[k];
    Matrix3 offsets = node.transform;
    offsets.SetRow(3, Point3{0, 0, 0});
    EXPECT_EQ(r.name, node.name);
    EXPECT_TRUE(SameFileVector(r.position, node.transform.row[3]));
    ASSERT_EQ(r.splines.size(), node.object.splines.size());
    for (size_t s = 0; s < r.splines.size(); ++s) {
      const standin::SplineModel& spline = node.object.splines[s];
      EXPECT_EQ(r.splines[s].closed, spline.closed);
      ASSERT_EQ(r.splines[s].knots.size(), spline.knots.size());
      for (size_t n = 0; n < spline.knots.size(); ++n) {
        EXPECT_TRUE(SameFileVector(r.splines[s].knots[n], TransformPoint(offsets, spline.knots[n])))
            << "spline " << s << " knot " << n;
      }
    }
    EXPECT_TRUE(SameUserText(r.userText, node.userText));
  }

  // The same scene exported again, now without the counting host, gives the same bytes.
  RecordingUi again;
  MemoryTarget second;
  ExportOptions secondOptions;
  RunExport(second, *scene, again, secondOptions, selectedOnly ? 1 : 0, true);
  EXPECT_EQ(second.Bytes(), target.Bytes());
}

TEST(RoundTrip, RandomScenesReadBackAsTheSceneHoldsThem) {
  for (uint32_t seed = kFirstSeed; seed < kFirstSeed + kSeedCount; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CheckRoundTrip(seed, false);
    if (::testing::Test::HasFailure()) return;  // the first failing seed is the one to look at
  }
}

TEST(RoundTrip, SelectedOnlyExportsReadBackAsTheSelection) {
  for (uint32_t seed = kFirstSeed; seed < kFirstSeed + kSeedCount / 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CheckRoundTrip(seed, true);
    if (::testing::Test::HasFailure()) return;
  }
}

// Exports model with the default options and reads the bytes back into file.
::testing::AssertionResult ExportAndRead(const SceneModel& model, reader::CvmFile& file) {
  std::string sceneError;
  std::unique_ptr<standin::StandinScene> scene = standin::MakeStandinScene(model, sceneError);
  if (scene == nullptr) return ::testing::AssertionFailure() << sceneError;
  RecordingUi ui;
  MemoryTarget target;
  ExportOptions options;
  const ExportOutcome outcome = RunExport(target, *scene, ui, options, 0, true);
  if (outcome.result != kExportDone) return ::testing::AssertionFailure() << "export: " << outcome.error;
  reader::ReadError error;
  if (!reader::ReadCvm(target.Bytes().data(), target.Bytes().size(), file, error))
    return ::testing::AssertionFailure() << reader::FormatReadError(error);
  return ::testing::AssertionSuccess();
}

// A multi-material without sub-materials leaves no sub-material number for the faces; they
// must still reach the file, and the file must stay readable.
TEST(RoundTrip, MeshUnderEmptyMultiMaterialKeepsItsFaces) {
  SceneModel model;
  standin::MaterialModel multi;
  multi.name = "EmptyMulti";
  multi.classId = ClassId{standin::kMultiMaterialClassA, 0};
  model.materials.push_back(multi);
  NodeModel node;
  node.name = "Tri";
  node.material = 0;
  node.object.kind = standin::ObjectKind::kMesh;
  node.object.mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  node.object.mesh.faces = {MeshFace{{0, 1, 2}, 1, 0}};
  model.nodes.push_back(node);
  reader::CvmFile file;
  ASSERT_TRUE(ExportAndRead(model, file));
  ASSERT_EQ(file.meshes.size(), 1u);
  size_t written = 0;
  for (const reader::CvmFaceGroup& group : file.meshes[0].groups) written += group.faces.size();
  EXPECT_EQ(written, 1u);
}

// A box of faces wound counter-clockwise seen from outside, as the host winds them.
SceneModel BoxUnder(const Matrix3& transform) {
  NodeModel node;
  node.name = "Box";
  node.transform = transform;
  node.object.kind = standin::ObjectKind::kMesh;
  for (uint32_t i = 0; i < 8; ++i)
    node.object.mesh.vertices.push_back({i & 1 ? 1.0f : -1.0f, i & 2 ? 2.0f : -2.0f, i & 4 ? 3.0f : -3.0f});
  for (uint32_t axis = 0; axis < 3; ++axis) {
    for (const bool positive : {false, true}) {
      const uint32_t u = 1u << (axis + 1) % 3, v = 1u << (axis + 2) % 3, fixed = positive ? 1u << axis : 0;
      uint32_t loop[4] = {fixed, fixed | u, fixed | u | v, fixed | v};
      if (!positive) std::swap(loop[1], loop[3]);
      node.object.mesh.faces.push_back(MeshFace{{loop[0], loop[1], loop[2]}, 0, 0});
      node.object.mesh.faces.push_back(MeshFace{{loop[0], loop[2], loop[3]}, 0, 0});
    }
  }
  SceneModel model;
  model.nodes.push_back(node);
  return model;
}

// The render-ready mesh's promise: in the file frame (v1 - v0) x (v2 - v0) points where the
// face's normals point, for a node that does not mirror; a mirroring one is passed on as it is,
// its winding turned against its normals.
TEST(RoundTrip, RenderMeshFacesAreWoundTowardsTheirNormals) {
  Matrix3 turned;  // a quarter turn about z, moved away from the origin
  turned.SetRow(0, {0, 1, 0});
  turned.SetRow(1, {-1, 0, 0});
  turned.SetRow(3, {5, -2, 7});
  Matrix3 mirrored;
  mirrored.SetRow(0, {-1, 0, 0});
  struct Case {
    const char* what;
    Matrix3 transform;
    bool alongNormals;
  };
  for (const Case& c : {Case{"unmoved", Matrix3(), true}, Case{"turned and moved", turned, true},
                        Case{"mirrored", mirrored, false}}) {
    SCOPED_TRACE(c.what);
    reader::CvmFile file;
    ASSERT_TRUE(ExportAndRead(BoxUnder(c.transform), file));
    ASSERT_EQ(file.meshes.size(), 1u);
    const reader::RenderMesh mesh = reader::BuildRenderMesh(file.meshes[0]);
    ASSERT_EQ(mesh.indices.size(), 36u);
    for (size_t i = 0; i < mesh.indices.size(); i += 3) {
      const auto at = [&](size_t k, int axis) {
        return double{mesh.positions[3 * mesh.indices[i + k] + axis]};
      };
      const double a[3] = {at(1, 0) - at(0, 0), at(1, 1) - at(0, 1), at(1, 2) - at(0, 2)};
      const double b[3] = {at(2, 0) - at(0, 0), at(2, 1) - at(0, 1), at(2, 2) - at(0, 2)};
      const double cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                               a[0] * b[1] - a[1] * b[0]};
      for (size_t k = 0; k < 3; ++k) {
        const float* n = &mesh.normals[3 * mesh.indices[i + k]];
        const double along = cross[0] * n[0] + cross[1] * n[1] + cross[2] * n[2];
        EXPECT_EQ(along > 0, c.alongNormals) << "face " << i / 3 << " corner " << k << ": " << along;
      }
    }
  }
}

}  // namespace
}  // namespace cvm::test
