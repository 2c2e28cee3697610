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
  if (name.empty()) return kNoReference;
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i] == name) return static_cast<uint32_t>(i);
  return kNoReference;
}

TextureNameIndex IndexTextureNames(const TextureNameTable& table) {
  TextureNameIndex index;
  index.reserve(table.size());
  // emplace keeps the first position of a repeated name, the only one ever referred to.
  for (size_t i = 0; i < table.size(); ++i) index.emplace(table[i], static_cast<uint32_t>(i));
  return index;
}

uint32_t FindTextureName(const TextureNameIndex& index, const std::string& name) {
  if (name.empty()) return kNoReference;
  const auto found = index.find(name);
  return found == index.end() ? kNoReference : found->second;
}

}  // namespace cvm
