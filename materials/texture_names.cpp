#include "materials/texture_names.h"

namespace cvm {

namespace {
// The host copies the bitmap's path into a buffer of this size before cutting it.
constexpr size_t kPathBufferSize = 512;
}  // namespace

std::string GetTextureFileName(const HostTexmap* map) {
  if (map == nullptr || map->ObjectClassId() != kBitmapTexClassId) return std::string();
  const char* path = map->TexmapFileName();
  size_t length = 0;
  while (length < kPathBufferSize - 1 && path[length] != '\0') ++length;
  std::string name(path, length);
  // Forward slashes first, then backslashes: "dir\sub/x.tga" and "a/b\c.tga" both lose
  // their directories whichever separator comes last.
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t backslash = name.rfind('\\');
  if (backslash != std::string::npos) name.erase(0, backslash + 1);
  return name;
}

uint32_t FindTextureName(const TextureNameTable& table, const std::string& name) {
  return name.empty() ? kNoReference : table.Find(name);
}

}  // namespace cvm
