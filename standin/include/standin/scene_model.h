// The plain data of a scene document: what the stand-in host serves through the host access
// layer. The loader fills it from JSON, importers and benchmarks build it directly, and the
// writer turns it back into JSON. Field names follow the document's keys.
//
// References are indices: material and texmap indices into SceneModel::materials and
// SceneModel::texmaps, -1 for none. Optional values that have a computed default
// (pivot, isMulti, the class overrides of an object) are std::optional so that code building
// a model directly gets the same defaults as a document that leaves the key out.
//
// A model handed to StandinScene must pass ValidateSceneModel (scene_model_validate.h):
// indices in range, counts that match, no sub-material cycle.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm::standin {

constexpr int kMaterialMapSlotCount = 12;
constexpr uint32_t kMultiMaterialClassA = 0x200;

// ---- Objects ----------------------------------------------------------------------------

// Explicit normals of a mesh: one face normal per face (or none: the faces' own normals, as
// buildNormals computes them from the vertices; an importer whose every vertex has a specified
// normal leaves them out, since no corner takes them), and the render normals of every vertex, kept in one
// list for all vertices (an imported mesh has hundreds of thousands of vertices of one normal each). Vertex
// v's entries are entries[entryStart[v]] up to entries[entryStart[v + 1]], in order (the first is the primary
// normal); specified[v] (0 or 1) sets the 0x4000 bit and needs at least one entry. At most 255 entries per
// vertex.
struct ExplicitNormalsModel {
  std::vector<Point3> faceNormals;
  std::vector<RNormalEntry> entries;
  std::vector<uint32_t> entryStart{0};  // one more than the vertices, from 0 to entries.size()
  std::vector<uint8_t> specified;       // one per vertex

  size_t VertexCount() const { return specified.size(); }
  size_t EntryCount(size_t v) const { return entryStart[v + 1] - entryStart[v]; }
  const RNormalEntry* VertexEntries(size_t v) const { return entries.data() + entryStart[v]; }
  // Appends a vertex without entries; AddEntry appends an entry to the last vertex.
  void AddVertex(bool isSpecified) {
    specified.push_back(isSpecified ? 1 : 0);
    entryStart.push_back(entryStart.back());
  }
  void AddEntry(const RNormalEntry& entry) {
    entries.push_back(entry);
    ++entryStart.back();
  }
};

// Map channel 0 (vertex colours): the colour vertices and one index triple per face. With
// facesAreVertexFaces, faces is empty and every face's colour indices are its vertex indices
// (one colour vertex per vertex).
struct ColorChannelModel {
  std::vector<Point3> verts;
  std::vector<TVFace> faces;
  bool facesAreVertexFaces = false;
};

// A triangle mesh. Each face carries its smoothing mask in smGroup and its material id in the
// high 16 bits of flags (the low 16 bits have no place in a document and are written as 0).
// tvFaces has one entry per face when tverts is not empty, and is empty otherwise. With
// tvFacesAreVertexFaces, tvFaces is empty and every face's texture-vertex indices are its
// vertex indices (one texture vertex per vertex): an importer whose texture coordinates run
// parallel to the vertices keeps no copy of the faces.
struct MeshModel {
  std::vector<Point3> vertices;
  std::vector<MeshFace> faces;
  std::vector<Point3> tverts;  // (u, v, w); a 2-number document entry has w = 0
  std::vector<TVFace> tvFaces;
  bool tvFacesAreVertexFaces = false;
  std::optional<ColorChannelModel> colors;
  std::optional<ExplicitNormalsModel> normals;  // none: buildNormals computes them
};

struct SplineModel {
  bool closed = false;
  std::vector<Point3> knots;
};

struct LightModel {
  int32_t lightType = 0;
  Point3 color{1.0f, 1.0f, 1.0f};
  float intensity = 1.0f;
};

enum class ObjectKind { kMesh, kShape, kLight, kHelper, kCamera };

// An evaluated object. Only the members of its kind are meaningful (and written): mesh for
// kMesh, splines and alsoMesh for kShape, light for kLight; native for kMesh and kShape.
struct ObjectModel {
  ObjectKind kind = ObjectKind::kMesh;
  std::optional<uint32_t> superClassId;  // none: the kind's default
  std::optional<ClassId> classId;        // none: the kind's default
  bool native = true;
  bool alsoMesh = false;
  MeshModel mesh;
  std::vector<SplineModel> splines;
  LightModel light;
};

// ---- Nodes ------------------------------------------------------------------------------

struct NodeModel {
  std::string name;
  std::string userText;
  bool selected = false;
  bool hidden = false;
  Matrix3 transform;
  std::optional<Matrix3> pivot;  // none: same as transform
  int32_t material = -1;
  ObjectModel object;
};

// ---- Materials and texture maps ---------------------------------------------------------

enum class ParamType { kInt, kFloat, kPoint3 };

// One parameter of a custom attribute's block; the value member of its type is meaningful.
struct ParamModel {
  std::string name;
  uint32_t id = 0;
  ParamType type = ParamType::kInt;
  int32_t intValue = 0;
  float floatValue = 0.0f;
  Point3 point3Value;
};

// paramBlock false: the attribute has no block at index 0 and its params are not served.
struct CustAttribModel {
  std::string className;
  bool paramBlock = true;
  std::vector<ParamModel> params;  // at most 65535
};

// A map slot: the texmap index (-1 none) and its switch. An unlisted slot is {-1, false}.
struct MapSlotModel {
  int32_t texmap = -1;
  bool enabled = false;
};

struct MaterialModel {
  std::string name;
  ClassId classId{2, 0};
  std::optional<bool> isMulti;        // none: true exactly for class (0x200, 0)
  std::vector<int32_t> subMaterials;  // material indices, -1 for an empty slot
  bool twoSided = false;
  Point3 diffuse{0.5f, 0.5f, 0.5f};
  Point3 ambient{0.5f, 0.5f, 0.5f};
  Point3 specular{0.9f, 0.9f, 0.9f};
  Point3 selfIllum{0.0f, 0.0f, 0.0f};
  float shininess = 0.25f;
  float shininessStrength = 0.05f;
  std::array<MapSlotModel, kMaterialMapSlotCount> maps;
  std::optional<std::vector<CustAttribModel>> customAttributes;  // none: no container
};

struct TexmapModel {
  ClassId classId = kBitmapTexClassId;
  std::string fileName;
};

// ---- The scene --------------------------------------------------------------------------

struct SceneModel {
  std::vector<NodeModel> nodes;  // in enumeration order
  std::vector<MaterialModel> materials;
  std::vector<TexmapModel> texmaps;
};

// Defaults of the object kinds: super class and class id (native and not native).
uint32_t DefaultSuperClassId(ObjectKind kind);
ClassId DefaultClassId(ObjectKind kind, bool native);

inline uint32_t EffectiveSuperClassId(const ObjectModel& object) {
  return object.superClassId ? *object.superClassId : DefaultSuperClassId(object.kind);
}
inline ClassId EffectiveClassId(const ObjectModel& object) {
  return object.classId ? *object.classId : DefaultClassId(object.kind, object.native);
}
inline bool EffectiveIsMulti(const MaterialModel& material) {
  return material.isMulti ? *material.isMulti : material.classId == ClassId{kMultiMaterialClassA, 0};
}
inline const Matrix3& EffectivePivot(const NodeModel& node) {
  return node.pivot ? *node.pivot : node.transform;
}

// The material id stored in a face's flags, and a flags word holding one.
inline uint16_t FaceMaterialId(const MeshFace& face) {
  return static_cast<uint16_t>(face.flags >> 16);
}
inline uint32_t FlagsWithMaterialId(uint16_t id) {
  return static_cast<uint32_t>(id) << 16;
}

}  // namespace cvm::standin
