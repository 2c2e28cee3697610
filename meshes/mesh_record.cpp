#include "meshes/mesh_record.h"

#include <functional>
#include <vector>

#include "export_context/file_axes.h"
#include "format/record_writer.h"
#include "meshes/encode_normal.h"
#include "meshes/face_groups.h"

namespace cvm {
namespace {

// A channel's corner indices, read from its slots.
struct CornerIndexList {
  const CornerIds* ids = nullptr;
  size_t size() const { return ids != nullptr ? ids->cornerCount : 0; }
  uint32_t operator[](size_t c) const { return ids->Of(static_cast<uint32_t>(c)); }
};

// Positions in the file's axes (x, z, y).
struct FilePositions {
  const Point3* points = nullptr;
  size_t count = 0;
  size_t size() const { return count; }
  format::Vec3 operator[](size_t i) const { return ToFileAxes(points[i]); }
};

// Normals as the record stores them.
struct EncodedNormals {
  const Point3* normals = nullptr;
  size_t count = 0;
  size_t size() const { return count; }
  format::EncodedNormal operator[](size_t i) const { return EncodeNormal(normals[i]); }
};

// Texture coordinates without their w.
struct TextureCoordinates {
  const Point3* points = nullptr;
  size_t count = 0;
  size_t size() const { return count; }
  format::Vec2 operator[](size_t i) const { return {points[i].x, points[i].y}; }
};

// The faces of a group in ascending order, each with its corners reversed; faces null: the
// faces 0, 1, 2, ... (a mesh's only group).
struct ReversedFaces {
  const uint32_t* faces = nullptr;
  size_t count = 0;
  size_t size() const { return count; }
  format::Triangle operator[](size_t i) const {
    const uint32_t first = 3 * (faces != nullptr ? faces[i] : static_cast<uint32_t>(i));
    return {first + 2, first + 1, first};
  }
};

struct GroupView {
  uint32_t materialIndex = kNoReference;  // its low 16 bits are written
  ReversedFaces faces;
};

struct MeshRecordView {
  format::Vec3 pivot;
  uint32_t cornerCount = 0;
  CornerIndexList positionIndices;
  FilePositions positions;
  bool hasUvs = false;
  CornerIndexList uvIndices;
  TextureCoordinates uvs;
  bool hasNormals = false;
  CornerIndexList normalIndices;
  EncodedNormals normals;
  CornerColours colors;
  uint32_t faceCount = 0;
  std::vector<GroupView> groups;
};

}  // namespace

void WriteMeshRecord(const GatheredMesh& gathered, const MeshChannels& channels, HostMaterial* nodeMaterial,
                     bool exportNormals, const MaterialList& materials, const ProgressWindow& progress,
                     const char* nodeName, OutputStream& stream) {
  MeshRecordView view;
  view.pivot = ToFileAxes(gathered.pivot);
  view.cornerCount = gathered.CornerCount();
  view.positionIndices = {&channels.positions.indices};
  view.positions = {channels.positions.values.data(), channels.positions.values.size()};
  view.hasUvs = gathered.hasUVs;
  if (view.hasUvs) {
    view.uvIndices = {&channels.textureCoordinates.indices};
    view.uvs = {channels.textureCoordinates.values.data(), channels.textureCoordinates.values.size()};
  }
  view.hasNormals = exportNormals;
  if (view.hasNormals) {
    view.normalIndices = {&channels.normals.indices};
    view.normals = {channels.normals.values.data(), channels.normals.values.size()};
  }
  view.colors = gathered.colours;  // empty unless the record holds colours (gathering decides)
  view.faceCount = gathered.FaceCount();

  std::vector<FaceGroup> groups;
  std::vector<uint32_t> faceOrder;
  BuildFaceGroups(gathered.faces, gathered.FaceCount(), nodeMaterial, materials, groups, faceOrder);
  size_t next = 0;
  for (const FaceGroup& group : groups) {
    const uint32_t* faces = faceOrder.empty() ? nullptr : faceOrder.data() + next;
    view.groups.push_back({group.materialIndex, {faces, group.faceCount}});
    next += group.faceCount;
  }

  const std::function<void(format::Landmark)> texts = [&progress, nodeName](format::Landmark landmark) {
    static const char* const kBlockTexts[] = {"Exporting %s - Vertices...\n", "Exporting %s - UVs...\n",
                                              "Exporting %s - Normals...\n", "Exporting %s - Colors...\n",
                                              "Exporting %s - Faces...\n"};
    SetProgressText(progress, kBlockTexts[static_cast<int>(landmark)], nodeName);
  };
  format::WriteMeshRecord(stream, view, texts);
}

}  // namespace cvm
