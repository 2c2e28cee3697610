// Bitmap file names as the texture-name table holds them, and lookups into the table.
#pragma once

#include <cstdint>
#include <string>

#include "host/host_scene.h"
#include "materials/material_list.h"

namespace cvm {

// The file name of a bitmap texture (class (0x240, 0)) without its directories; the empty
// string for null, another class of map, no file name, or a path ending in a separator.
// Only the first 511 characters of the path count, as the host's 512-byte path buffer holds
// no more; then everything up to the last '/' goes, and after that everything up to the
// last '\'. Case and extension are kept.
std::string GetTextureFileName(const HostTexmap* map);

// The first position of name in table (exact, case-sensitive), or kNoReference; the empty
// name is never found.
uint32_t FindTextureName(const TextureNameTable& table, const std::string& name);

}  // namespace cvm
