#include "meshes/face_groups.h"

#include <algorithm>

namespace cvm {

int32_t SubMaterialCount(const HostMaterial* nodeMaterial) {
  if (nodeMaterial == nullptr || !nodeMaterial->MaterialIsMulti()) return 1;
  return std::max<int32_t>(nodeMaterial->MaterialSubCount(), 1);
}

void BuildFaceGroups(const MeshFace* faces, uint32_t faceCount, HostMaterial* nodeMaterial,
                     const MaterialList& materials, std::vector<FaceGroup>& groups,
                     std::vector<uint32_t>& faceOrder) {
  groups.clear();
  faceOrder.clear();
  const int32_t m = SubMaterialCount(nodeMaterial);
  // Material ids are 16-bit, so no exported id reaches 65536 whatever M is.
  const auto subCount = static_cast<uint32_t>(m);
  const uint32_t idRange = std::min<uint32_t>(subCount, 0x10000u);
  std::vector<uint32_t> start(idRange + 1, 0);
  for (uint32_t f = 0; f < faceCount; ++f) ++start[MaterialIdOf(faces[f]) % subCount + 1];

  for (uint32_t s = 0; s < idRange; ++s) {
    const uint32_t count = start[s + 1];
    if (count == 0) continue;
    const HostMaterial* material =
        subCount > 1 ? nodeMaterial->MaterialSub(static_cast<int32_t>(s)) : nodeMaterial;
    groups.push_back({static_cast<int32_t>(s), FindMaterial(materials, material), count});
  }
  if (groups.size() <= 1) return;  // every face, in ascending order: nothing to list
  for (uint32_t s = 0; s < idRange; ++s) start[s + 1] += start[s];
  faceOrder.resize(faceCount);
  for (uint32_t f = 0; f < faceCount; ++f) faceOrder[start[MaterialIdOf(faces[f]) % subCount]++] = f;
}

}  // namespace cvm
