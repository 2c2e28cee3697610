// Which of the host's normals a face corner gets.
#pragma once

#include <cstdint>

#include "host/host_scene.h"

namespace cvm {

// The normal of face f's corner at vertex j, in the host's object space (not transformed).
// Needs the mesh's face and render normals (after buildNormals), f < face count and j < vertex
// count. Rules, in order, with rv the render normals of j and sm the face's smoothing mask:
// the specified normal (0x4000) when set; the face normal when rv has no normal or sm is 0;
// rv's only normal when it has one; else the first further normal that shares a smoothing
// bit with sm, and the face normal when none does.
Point3 SelectCornerNormal(const HostMesh& mesh, uint32_t f, uint32_t j);

}  // namespace cvm
