// The MaterialList and the TextureNameTable: the positions that material and texture
// references in the file point to. Gathered once from the mesh nodes at the start of the
// material section and read until the export ends.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/host_scene.h"
#include "materials/indexed_list.h"

namespace cvm {

// Distinct leaf materials (identity decides), in the order the collection first reached
// them. Borrowed from the host. A material's position is its material index.
using MaterialList = IndexedList<HostMaterial*>;
// Bitmap file names without directories, one per collected material slot that uses one
// (not de-duplicated, never empty). A name's first position is its texture index.
using TextureNameTable = IndexedList<std::string>;

// Texture-map slots whose bitmap names are added to the table, in this order (diffuse,
// opacity, self-illumination, reflection, bump, refraction, filter colour).
constexpr std::array<int32_t, 7> TEXTURE_SLOTS_COLLECT = {1, 6, 5, 9, 8, 10, 7};

// Position of material in the list by identity, or kNoReference (also for null).
uint32_t FindMaterial(const MaterialList& materials, const HostMaterial* material);

// The lists being gathered, with the multi-materials already opened, whose leaves need no
// second visit. Only `materials` and `textures` order anything.
struct MaterialGathering {
  MaterialList materials;
  TextureNameTable textures;
  std::unordered_set<const HostMaterial*> openedMultis;
};

// Adds material (null is skipped) to the gathering: a leaf is appended once with the bitmap
// names of its TEXTURE_SLOTS_COLLECT slots; a multi-material (MaterialIsMulti) is never
// listed itself but its sub-materials are collected depth-first in index order, nesting
// without limit. Walks with its own stack, not recursion, and opens each multi-material at
// most once, so a material that is its own sub-material (directly or through others) ends
// the walk instead of looping; for scenes without such cycles the result is the same as
// reopening it, since its leaves were all listed the first time.
void CollectMaterial(HostMaterial* material, MaterialGathering& gathering);

// Gathers the materials of the mesh nodes (meshList holds positions into nodes), in list
// order: a node's own material of class (0x255, 0) is replaced by its sub-materials (whether
// or not it says it is a multi-material); any other node material is collected as it is.
MaterialGathering GatherMaterials(const std::vector<HostNode*>& nodes, const std::vector<uint32_t>& meshList);

}  // namespace cvm
