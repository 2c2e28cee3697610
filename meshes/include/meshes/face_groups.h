// Faces grouped by the sub-material they use.
#pragma once

#include <cstdint>
#include <vector>

#include "host/host_scene.h"
#include "materials/material_list.h"

namespace cvm {

struct FaceGroup {
  int32_t subMaterial;     // 0 .. M - 1
  uint32_t materialIndex;  // position in the MaterialList, or kNoReference
  uint32_t faceCount;      // at least 1
};

// Number of sub-materials M a node's faces are spread over: 1 without a material or with one
// that is not a multi-material, else its sub-material count. A multi-material without
// sub-materials also gives 1: its faces would otherwise belong to no group and be lost from
// the record, whose face count still counts them.
int32_t SubMaterialCount(const HostMaterial* nodeMaterial);

// A face's material id: the high 16 bits of its flags word.
inline uint16_t MaterialIdOf(const MeshFace& face) {
  return static_cast<uint16_t>(face.flags >> 16);
}

// Groups the faceCount faces at faces by exported id = material id (MaterialIdOf) modulo M, in ascending id;
// ids that no face uses get no group. A group's material index is FindMaterial of the node's sub-material
// with that number when M > 1, of the node's material itself when M is 1. Gives groups and faceOrder: the
// faces of the first group in ascending order, then those of the next, and so on; every face is in exactly
// one group. With one group (or none), faceOrder is left empty: the group's faces are all faces in ascending
// order. Linear in the faces plus min(M, 65536).
void BuildFaceGroups(const MeshFace* faces, uint32_t faceCount, HostMaterial* nodeMaterial,
                     const MaterialList& materials, std::vector<FaceGroup>& groups,
                     std::vector<uint32_t>& faceOrder);

}  // namespace cvm
