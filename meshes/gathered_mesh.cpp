#include "meshes/gathered_mesh.h"

namespace cvm {

void GatheredMesh::Clear() {
  positions.clear();
  normals.clear();
  textureCoordinates.clear();
  colours.clear();
  faceMaterialIds.clear();
  pivot = Point3{};
  normalTransform = Matrix3{};
  material = nullptr;
  hasUVs = false;
  hasColours = false;
  colourVertexCount = 0;
}

}  // namespace cvm
