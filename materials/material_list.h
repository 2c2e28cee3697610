// The MaterialList and the TextureNameTable: the positions that material and texture
// references in the file point to. Gathered once from the mesh nodes at the start of the
// material section and read until the export ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm {

// Distinct leaf materials (identity decides), in the order the collection first reached
// them. Borrowed from the host. A material's position is its material index.
using MaterialList = std::vector<HostMaterial*>;
// Bitmap file names without directories, one per collected material slot that uses one
// (not de-duplicated, never empty). A name's first position is its texture index.
using TextureNameTable = std::vector<std::string>;

constexpr uint32_t kNoReference = 0xFFFFFFFF;

// Position of material in the list by identity, or kNoReference (also for null).
uint32_t FindMaterial(const MaterialList& materials, const HostMaterial* material);

}  // namespace cvm
