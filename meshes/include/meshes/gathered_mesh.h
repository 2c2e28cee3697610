// The plain data of one mesh on its way to the file: the channels gathering leaves (the values
// met and the corners' ids), and the indexed channels that consolidation makes of them.
#pragma once

#include <cstdint>
#include <vector>

#include "format/binary_writer.h"
#include "format/records.h"
#include "host/geometry.h"
#include "host/host_scene.h"
#include "meshes/corner_ids.h"

namespace cvm {

// One channel's corners as gathering leaves them: the values met and the id of every corner's
// value. A corner's value depends only on the host entry it comes from, so it is computed once
// per entry and its id kept in the entry's slot (CornerIds): the channel holds the values met,
// not a record per corner. Different ids may hold the same value; consolidation merges them.
struct GatheredChannel {
  std::vector<Point3> values;  // by id, in the order met (ids count from 0)
  CornerIds ids;

  // A new id for value.
  uint32_t Add(const Point3& value) {
    values.push_back(value);
    return static_cast<uint32_t>(values.size() - 1);
  }
  // The next corner's id, in a channel whose slots are its corners (CornerIds::Slots::kCorner).
  void AddCornerId(uint32_t id) {
    ids.bySlot.push_back(id);
    ++ids.cornerCount;
  }
  // Corner c's value: the record of corner c is {CornerValue(c), c}.
  const Point3& CornerValue(uint32_t c) const { return values[ids.Of(c)]; }
  uint32_t CornerCount() const { return ids.cornerCount; }
  // Empties both (capacity is kept).
  void Clear() {
    values.clear();
    ids.Clear();
  }
};

// The colours of a record, one per corner as the record stores them (ColorToU16 of red, green
// and blue), read from the host's colour vertices when they are written: the record holds a
// colour per corner only when there are at least as many colour vertices as corners, so a copy
// would be as big as the host's own. Empty (no vertices) unless the record holds colours. The
// host's arrays outlive the record; every index was checked by gathering.
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

// Everything one mesh node contributes to its record. The faces' corner triples are not
// stored: face f is always (3f, 3f+1, 3f+2).
struct GatheredMesh {
  GatheredChannel positions;           // world orientation, relative to pivot
  GatheredChannel normals;             // empty unless exportNormals
  GatheredChannel textureCoordinates;  // (0, 0, 0) for every corner without hasUVs
  // The corners' colours, read from the host's colour channel as the record is written.
  CornerColours colours;
  // The host's faces, whose material ids choose their face groups.
  const MeshFace* faces = nullptr;
  uint32_t faceCount = 0;

  Point3 pivot;
  Matrix3 normalTransform;  // world transform with row 3 = (0, 0, 0)
  bool hasUVs = false;
  bool hasColours = false;

  uint32_t FaceCount() const { return faceCount; }
  uint32_t CornerCount() const { return 3 * FaceCount(); }
  // Empties every list (capacity is kept for the next node) and resets the other fields.
  void Clear();
};

// A channel of distinct values and, for every corner c, the position of its value in values:
// values[CornerIndex(c)] is the same value (float_key.h) as corner c's record; every value is
// used by at least one corner. The positions are kept in the slots of the gathered channel's
// ids.
struct IndexedChannel {
  std::vector<Point3> values;
  CornerIds indices;

  uint32_t CornerIndex(uint32_t c) const { return indices.Of(c); }
  uint32_t CornerCount() const { return indices.cornerCount; }
  // Every corner's index, in corner order.
  std::vector<uint32_t> CornerIndices() const;
};

// The three channels of one mesh. normals is empty without exportNormals; textureCoordinates
// is made for every mesh but written only with hasUVs.
struct MeshChannels {
  IndexedChannel positions;
  IndexedChannel textureCoordinates;
  IndexedChannel normals;
};

}  // namespace cvm
