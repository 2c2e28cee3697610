#include "meshes/gathered_mesh.h"

namespace cvm {

void GatheredMesh::Clear() {
  positions.Clear();
  normals.Clear();
  textureCoordinates.Clear();
  colours = CornerColours();
  faceMaterialIds.clear();
  pivot = Point3{};
  normalTransform = Matrix3{};
  hasUVs = false;
  hasColours = false;
}

}  // namespace cvm
