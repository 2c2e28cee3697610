// The plain data of one mesh on its way to the file: per-corner records from gathering, and
// the indexed channels that consolidation makes of them.
#pragma once

#include <cstdint>
#include <vector>

#include "host/geometry.h"
#include "host/host_scene.h"

namespace cvm {

// One corner's position, normal or texture coordinate (u, v, w), and the cornerSerial of the
// corner that produced it. Face f's corners 0, 1, 2 have the serials 3f, 3f+1, 3f+2.
struct CornerRecord {
  Point3 value;
  uint32_t corner;
};

// Everything one mesh node contributes to its record. Per-corner lists hold the entry of
// corner c at position c. The faces' corner triples are not stored: face f is always
// (3f, 3f+1, 3f+2).
struct GatheredMesh {
  std::vector<CornerRecord> positions;           // world orientation, relative to pivot
  std::vector<CornerRecord> normals;             // empty unless exportNormals
  std::vector<CornerRecord> textureCoordinates;  // (0, 0, 0) for every corner without hasUVs
  std::vector<Point3> colours;                   // empty unless hasColours
  std::vector<uint16_t> faceMaterialIds;         // high 16 bits of each face's flags word

  Point3 pivot;
  Matrix3 normalTransform;  // world transform with row 3 = (0, 0, 0)
  HostMaterial* material = nullptr;  // the node's material, borrowed; may be null
  bool hasUVs = false;
  bool hasColours = false;
  int32_t colourVertexCount = 0;  // getNumMapVerts(0), for the colour rule of the record

  uint32_t FaceCount() const { return static_cast<uint32_t>(faceMaterialIds.size()); }
  uint32_t CornerCount() const { return static_cast<uint32_t>(positions.size()); }
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
// is made for every mesh but written only with hasUVs.
struct MeshChannels {
  IndexedChannel positions;
  IndexedChannel textureCoordinates;
  IndexedChannel normals;
};

}  // namespace cvm
