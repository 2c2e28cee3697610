#include "materials/material_section.h"

namespace cvm {

uint32_t FindMaterial(const MaterialList& materials, const HostMaterial* material) {
  if (material == nullptr) return kNoReference;
  for (size_t i = 0; i < materials.size(); ++i)
    if (materials[i] == material) return static_cast<uint32_t>(i);
  return kNoReference;
}

void WriteMaterialSection(ExportContext& ctx, MaterialList& materials, TextureNameTable& textures) {
  // Gathering comes with the materials work; until then the section is that of an empty list.
  materials.clear();
  textures.clear();
  WriteU32(0, ctx.stream);
  WriteU32(0, ctx.stream);
}

}  // namespace cvm
