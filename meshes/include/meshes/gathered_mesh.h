// The plain data of one mesh on its way to the file: the channels gathering leaves (an id per
// corner and the values met), and the indexed channels that consolidation makes of them.
#pragma once

#include <cstdint>
#include <vector>

#include "format/binary_writer.h"
#include "format/records.h"
#include "host/geometry.h"
#include "host/host_scene.h"

namespace cvm {

// No id yet (for the ids gathering keeps per host vertex).
constexpr uint32_t kNoId = 0xFFFFFFFFu;

// One channel's corners as gathering leaves them. A corner's value depends only on the host
// entry it comes from (a vertex, a texture vertex, a face's normal, ...), so it is computed
// once per entry and its id given to every corner of that entry: the channel holds an id per
// corner and the values met, not a record per corner. Different ids may hold the same value;
// consolidation merges them.
struct GatheredChannel {
  std::vector<Point3> values;  // by id, in the order met (ids count from 0)
  std::vector<uint32_t> ids;   // per corner: the id of its value

  // A new id for value.
  uint32_t Add(const Point3& value) {
    values.push_back(value);
    return static_cast<uint32_t>(values.size() - 1);
  }
  // Corner c's value: the record of corner c is {CornerValue(c), c}.
  const Point3& CornerValue(uint32_t c) const { return values[ids[c]]; }
  uint32_t CornerCount() const { return static_cast<uint32_t>(ids.size()); }
  // Empties both lists (capacity is kept).
  void Clear() {
    values.clear();
    ids.clear();
  }
};

// The colours of a record, one per corner as the record stores them (ColorToU16 of red, green
// and blue), read from the host's colour vertices when they are written: the record holds a
// colour per corner only when there are at least as many colour vertices as corners, so a copy
// would be as big as the host's own. Empty (no vertices) unless the record holds colours. The
// host's arrays outlive the record; every index was checked by gathering.
// The vertex of corner i of face f in a channel whose faces are own, or the vertex faces when
// own is null (texture and colour vertices that run parallel to the vertices).
inline uint32_t ChannelVertexOf(const TVFace* own, const MeshFace* vertexFaces, size_t f, size_t i) {
  return own != nullptr ? own[f].t[i] : vertexFaces[f].v[i];
}

struct CornerColours {
  const Point3* verts = nullptr;
  const TVFace* faces = nullptr;  // the colour faces; null when they are the vertex faces
  const MeshFace* vertexFaces = nullptr;
  uint32_t count = 0;  // corners; 0 when the record holds no colours

  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  format::Color16 operator[](size_t c) const {
    const Point3& colour = verts[ChannelVertexOf(faces, vertexFaces, c / 3, c % 3)];
    return {ColorToU16(colour.x), ColorToU16(colour.y), ColorToU16(colour.z)};
  }
};

// Everything one mesh node contributes to its record. Per-corner lists hold the entry of
// corner c at position c. The faces' corner triples are not stored: face f is always
// (3f, 3f+1, 3f+2).
struct GatheredMesh {
  GatheredChannel positions;           // world orientation, relative to pivot
  GatheredChannel normals;             // empty unless exportNormals
  GatheredChannel textureCoordinates;  // (0, 0, 0) for every corner without hasUVs
  // The corners' colours, read from the host's colour channel as the record is written.
  CornerColours colours;
  std::vector<uint16_t> faceMaterialIds;  // high 16 bits of each face's flags word

  Point3 pivot;
  Matrix3 normalTransform;  // world transform with row 3 = (0, 0, 0)
  bool hasUVs = false;
  bool hasColours = false;

  // Gathering's working memory: per host vertex, the id its position and its own normal got
  // (kNoId until met); per texture vertex, the id of its coordinate.
  std::vector<uint32_t> positionIdOfVertex;
  std::vector<uint32_t> normalIdOfVertex;
  std::vector<uint32_t> uvIdOfTextureVertex;

  uint32_t FaceCount() const { return static_cast<uint32_t>(faceMaterialIds.size()); }
  uint32_t CornerCount() const { return 3 * FaceCount(); }
  // Empties every list (capacity is kept for the next node) and resets the other fields.
  void Clear();
};

// A channel of distinct values and, for every corner c, the position of its value in values.
// values[cornerIndices[c]] is the same value (float_key.h) as corner c's record; every value
// is used by at least one corner.
struct IndexedChannel {
  std::vector<Point3> values;
  std::vector<uint32_t> cornerIndices;
};

// The three channels of one mesh. normals is empty without exportNormals; textureCoordinates
// is made for every mesh but written only with hasUVs. encodedNormals holds EncodeNormal of
// each normal value, as the record stores them.
struct MeshChannels {
  IndexedChannel positions;
  IndexedChannel textureCoordinates;
  IndexedChannel normals;
  std::vector<format::EncodedNormal> encodedNormals;
};

}  // namespace cvm
