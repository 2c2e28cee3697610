#include "meshes/select_corner_normal.h"

namespace cvm {

Point3 SelectCornerNormal(const HostMesh& mesh, uint32_t f, uint32_t j) {
  return SelectCornerNormal(mesh.MeshRenderNormals()[j], mesh.MeshFaces()[f].smGroup,
                            mesh.MeshFaceNormals()[f]);
}

}  // namespace cvm
