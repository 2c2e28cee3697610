#include "meshes/gather_mesh.h"

#include <algorithm>

#include "format/binary_writer.h"
#include "meshes/float_key.h"
#include "meshes/progress_text_cache.h"
#include "meshes/select_corner_normal.h"

namespace cvm {
namespace {

bool Fail(std::string& error, const char* nodeName, const std::string& what) {
  error = "mesh node \"" + std::string(nodeName) + "\": " + what;
  return false;
}

std::string IndexOutOfRange(uint32_t f, int corner, const char* kind, uint32_t index, int32_t count) {
  return "face " + std::to_string(f) + " corner " + std::to_string(corner) + ": " + kind + " index " +
         std::to_string(index) + " out of range (" + std::to_string(count < 0 ? 0 : count) + ")";
}

constexpr const char* kNormalsNotBuilt = "the mesh's normals were not built";

bool InRange(uint32_t index, int32_t count) {
  return count > 0 && index < static_cast<uint32_t>(count);
}

// Gives corner its value's id: the one in the slot of the host entry it comes from, else a new
// one for value(), kept in the slot unless the value has a NaN (such a value is one of its own
// at every corner).
template <typename Value>
inline void GatherCorner(GatheredChannel& channel, uint32_t& slot, uint32_t corner, Value value) {
  if (slot != kNoId) return;
  const Point3 v = value();
  const uint32_t id = channel.Add(v);
  if (!PointHasNaN(v)) {
    slot = id;
  } else {
    channel.ids.ownIds.push_back({corner, id});
  }
}

// Room for cornerCount corners whose slots are slotCount host entries, and, without moving,
// for expectedValues values (the values met are bounded by the host entries they come from;
// more only grow the list).
void StartChannel(GatheredChannel& channel, uint32_t cornerCount, CornerIds::Slots slots, int32_t slotCount,
                  const MeshFace* faces, size_t expectedValues) {
  channel.values.clear();
  channel.values.reserve(std::min<size_t>(cornerCount, expectedValues));
  channel.ids.Clear();
  channel.ids.slots = slots;
  channel.ids.cornerCount = cornerCount;
  channel.ids.faces = faces;
  channel.ids.bySlot.assign(slotCount > 0 ? static_cast<size_t>(slotCount) : 0, kNoId);
}

// The slot of the normal that choice names for corner's face f and vertex j. The face and
// further slots are made when a corner first needs them.
uint32_t& NormalSlot(CornerIds& ids, const NormalChoice& choice, uint32_t f, uint32_t j, uint32_t faceCount,
                     int32_t vertexCount) {
  switch (choice.source) {
    case NormalSource::kVertex:
      return ids.bySlot[j];
    case NormalSource::kFace:
      if (ids.byFace.empty()) ids.byFace.assign(faceCount, kNoId);
      return ids.byFace[f];
    case NormalSource::kFurther:
      break;
  }
  if (ids.furtherStart.empty()) ids.furtherStart.assign(static_cast<size_t>(vertexCount), kNoId);
  uint32_t& start = ids.furtherStart[j];
  if (start == kNoId) {
    start = static_cast<uint32_t>(ids.byFurther.size());
    ids.byFurther.resize(ids.byFurther.size() + (ids.renderNormals[j].rFlags & kRVertexNormalCountMask),
                         kNoId);
  }
  return ids.byFurther[start + choice.further];
}

}  // namespace

bool GatherMesh(const HostMesh& mesh, uint32_t faceCount, const Matrix3& worldTransform, const Point3& pivot,
                bool exportNormals, const ProgressWindow& progress, const char* nodeName, TaskRunner* runner,
                GatheredMesh& gathered, std::string& error) {
  gathered.Clear();
  gathered.pivot = pivot;
  gathered.normalTransform = worldTransform;
  gathered.normalTransform.SetRow(3, Point3{0.0f, 0.0f, 0.0f});
  gathered.hasUVs = mesh.MeshTVertCount() > 0;
  gathered.hasColours = mesh.getNumMapVerts(0) > 0;
  if (faceCount == 0) return true;
  const MeshFace* faces = mesh.MeshFaces();
  const Point3* vertices = mesh.MeshVertices();
  const int32_t vertexCount = mesh.MeshVertexCount();
  if (faces == nullptr || vertices == nullptr)
    return Fail(error, nodeName, "the mesh has no face or vertex array");

  const Point3* tverts = nullptr;
  const TVFace* tvFaces = nullptr;
  const int32_t tvertCount = mesh.MeshTVertCount();
  // Faces that the host says are the vertex faces are read from there (their indices are
  // still checked against their own vertices).
  const bool uvsByVertex = gathered.hasUVs && mesh.MeshTVFacesAreVertexFaces();
  if (gathered.hasUVs) {
    tverts = mesh.MeshTVerts();
    tvFaces = uvsByVertex ? nullptr : mesh.MeshTVFaces();
    if (tverts == nullptr || (tvFaces == nullptr && !uvsByVertex))
      return Fail(error, nodeName, "the mesh's texture vertices are missing");
  }
  const Point3* mapVerts = nullptr;
  const TVFace* mapFaces = nullptr;
  const int32_t mapVertCount = mesh.getNumMapVerts(0);
  const bool coloursByVertex = gathered.hasColours && mesh.mapFacesAreVertexFaces(0);
  if (gathered.hasColours) {
    mapVerts = mesh.mapVerts(0);
    mapFaces = coloursByVertex ? nullptr : mesh.mapFaces(0);
    if (mapVerts == nullptr || (mapFaces == nullptr && !coloursByVertex))
      return Fail(error, nodeName, "the mesh's colour channel is missing");
  }
  // The face normals are asked for when a corner first takes one: a host may make them only
  // then, and a mesh whose every vertex has a normal of its own needs none.
  const Point3* faceNormals = nullptr;
  const RVertex* renderNormals = exportNormals ? mesh.MeshRenderNormals() : nullptr;
  if (exportNormals && renderNormals == nullptr) return Fail(error, nodeName, kNormalsNotBuilt);

  // The texture and colour vertex of corner i of face f.
  const auto textureVertexOf = [&](uint32_t f, int i) { return ChannelVertexOf(tvFaces, faces, f, i); };
  const auto colourVertexOf = [&](uint32_t f, int i) { return ChannelVertexOf(mapFaces, faces, f, i); };

  const uint32_t cornerCount = 3 * faceCount;
  const size_t hostVertices = vertexCount > 0 ? static_cast<size_t>(vertexCount) : 0;
  // The record holds colours only when there are at least as many colour vertices as corners;
  // they are then read from the host as it is written (CornerColours). Their indices are
  // checked either way.
  const bool keepColours = gathered.hasColours && static_cast<uint32_t>(mapVertCount) >= cornerCount;

  // Texture coordinates: beside the rest when there is a runner. Every index is
  // checked by the part gathered here, in the order of one walk over the corners, so that the
  // refusal and the progress texts are those of that walk; this part only stops at a bad index.
  const auto gatherBeside = [&] {
    GatheredChannel& uvs = gathered.textureCoordinates;
    if (!gathered.hasUVs) {
      // Every corner's (0, 0, 0).
      StartChannel(uvs, cornerCount, CornerIds::Slots::kOne, 1, faces, 1);
      uvs.ids.bySlot[0] = uvs.Add(Point3{});
    } else {
      StartChannel(uvs, cornerCount, CornerIds::Slots::kChannelVertex, tvertCount, faces,
                   static_cast<size_t>(tvertCount));
      uvs.ids.channelFaces = tvFaces;
      uint32_t* slots = uvs.ids.bySlot.data();
      for (uint32_t f = 0, c = 0; f < faceCount; ++f) {
        for (int i = 0; i < 3; ++i, ++c) {
          const uint32_t t = textureVertexOf(f, i);
          if (!InRange(t, tvertCount)) return;
          GatherCorner(uvs, slots[t], c, [&] { return tverts[t]; });
        }
      }
    }
  };

  bool gatheredHere = true;
  const auto gatherHere = [&] {
    GatheredChannel& positions = gathered.positions;
    GatheredChannel& normals = gathered.normals;
    StartChannel(positions, cornerCount, CornerIds::Slots::kVertex, vertexCount, faces, hostVertices);
    if (exportNormals) {
      // A vertex's own normals, and the face normals of faces with no smoothing group.
      StartChannel(normals, cornerCount, CornerIds::Slots::kNormal, vertexCount, faces,
                   hostVertices + faceCount);
      normals.ids.renderNormals = renderNormals;
    }
    gathered.faces = faces;
    gathered.faceCount = faceCount;
    uint32_t* positionSlots = positions.ids.bySlot.data();
    const Matrix3& normalTransform = gathered.normalTransform;

    ProgressTextCache text;
    uint32_t cornerSerial = 0;
    for (uint32_t f = 0; f < faceCount; ++f) {
      text.Show(progress, "Exporting %s - Gathering %d%%\n", nodeName, ProgressPercent(f, faceCount));
      const MeshFace& face = faces[f];
      for (int i = 0; i < 3; ++i) {
        const uint32_t j = face.v[i];
        if (!InRange(j, vertexCount)) {
          gatheredHere = Fail(error, nodeName, IndexOutOfRange(f, i, "vertex", j, vertexCount));
          return;
        }
        if (gathered.hasUVs) {
          const uint32_t t = textureVertexOf(f, i);
          if (!InRange(t, tvertCount)) {
            gatheredHere = Fail(error, nodeName, IndexOutOfRange(f, i, "texture vertex", t, tvertCount));
            return;
          }
        }
        if (gathered.hasColours) {
          const uint32_t m = colourVertexOf(f, i);
          if (!InRange(m, mapVertCount)) {
            gatheredHere = Fail(error, nodeName, IndexOutOfRange(f, i, "colour vertex", m, mapVertCount));
            return;
          }
        }
        GatherCorner(positions, positionSlots[j], cornerSerial,
                     [&] { return TransformPoint(worldTransform, vertices[j]) - pivot; });

        if (exportNormals) {
          const RVertex& rv = renderNormals[j];
          const NormalChoice choice = ChooseCornerNormal(rv, face.smGroup);
          if (choice.source == NormalSource::kFace && faceNormals == nullptr) {
            faceNormals = mesh.MeshFaceNormals();
            if (faceNormals == nullptr) {
              gatheredHere = Fail(error, nodeName, kNormalsNotBuilt);
              return;
            }
          }
          uint32_t& slot = NormalSlot(normals.ids, choice, f, j, faceCount, vertexCount);
          GatherCorner(normals, slot, cornerSerial, [&] {
            const Point3* faceNormal = choice.source == NormalSource::kFace ? &faceNormals[f] : nullptr;
            return Normalize(TransformPoint(normalTransform, ChosenNormal(rv, choice, faceNormal)));
          });
        }
        ++cornerSerial;
      }
    }
  };

  if (keepColours) gathered.colours = {mapVerts, mapFaces, faces, cornerCount};
  if (runner != nullptr && faceCount >= kGatherBesideFaces) {
    runner->RunBeside(gatherBeside, gatherHere);
  } else {
    gatherHere();
    if (gatheredHere) gatherBeside();
  }
  return gatheredHere;
}

}  // namespace cvm
