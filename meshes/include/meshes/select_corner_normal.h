// Which of the host's normals a face corner gets.
#pragma once

#include <cstdint>

#include "host/host_scene.h"

namespace cvm {

// The normal of a face corner, in the host's object space (not transformed), from rv, the
// render normals of the corner's vertex, smoothing, the face's smoothing mask, and the face's
// normal. Rules, in order: the specified normal (0x4000) when set; the face normal when rv has
// no normal or smoothing is 0; rv's only normal when it has one; else the first further normal
// that shares a smoothing bit with smoothing, and the face normal when none does.
inline const Point3& SelectCornerNormal(const RVertex& rv, uint32_t smoothing, const Point3& faceNormal) {
  if (rv.rFlags & kRVertexSpecifiedNormal) return rv.primaryNormal;
  const uint32_t count = rv.rFlags & kRVertexNormalCountMask;
  if (count == 0 || smoothing == 0) return faceNormal;
  if (count == 1) return rv.primaryNormal;
  if (rv.ern != nullptr) {
    for (uint32_t k = 0; k < count; ++k)
      if (rv.ern[k].smGroup & smoothing) return rv.ern[k].normal;
  }
  // No normal of this vertex serves the face's smoothing groups: the face is flat here.
  return faceNormal;
}

// The same for face f's corner at vertex j of mesh. Needs the mesh's face and render normals
// (after buildNormals), f < face count and j < vertex count.
Point3 SelectCornerNormal(const HostMesh& mesh, uint32_t f, uint32_t j);

}  // namespace cvm
