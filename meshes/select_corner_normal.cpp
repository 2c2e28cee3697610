#include "meshes/select_corner_normal.h"

namespace cvm {

Point3 SelectCornerNormal(const HostMesh& mesh, uint32_t f, uint32_t j) {
  const RVertex& rv = mesh.MeshRenderNormals()[j];
  if (rv.rFlags & kRVertexSpecifiedNormal) return rv.primaryNormal;
  const uint32_t count = rv.rFlags & kRVertexNormalCountMask;
  const uint32_t smoothing = mesh.MeshFaces()[f].smGroup;
  const Point3& faceNormal = mesh.MeshFaceNormals()[f];
  if (count == 0 || smoothing == 0) return faceNormal;
  if (count == 1) return rv.primaryNormal;
  if (rv.ern != nullptr) {
    for (uint32_t k = 0; k < count; ++k)
      if (rv.ern[k].smGroup & smoothing) return rv.ern[k].normal;
  }
  // No normal of this vertex serves the face's smoothing groups: the face is flat here.
  return faceNormal;
}

}  // namespace cvm
