#include "meshes/gathered_mesh.h"

namespace cvm {

std::vector<uint32_t> IndexedChannel::CornerIndices() const {
  std::vector<uint32_t> list(CornerCount());
  for (uint32_t c = 0; c < list.size(); ++c) list[c] = CornerIndex(c);
  return list;
}

void GatheredMesh::Clear() {
  positions.Clear();
  normals.Clear();
  textureCoordinates.Clear();
  colours = CornerColours();
  faces = nullptr;
  faceCount = 0;
  pivot = Point3{};
  normalTransform = Matrix3{};
  hasUVs = false;
  hasColours = false;
}

}  // namespace cvm
