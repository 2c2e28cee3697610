#include "materials/material_section.h"

#include <string>

#include "format/record_writer.h"
#include "materials/material_record.h"
#include "materials/texture_names.h"

namespace cvm {

void WriteMaterialSection(ExportContext& ctx, MaterialList& materials, TextureNameTable& textures) {
  MaterialGathering gathering = GatherMaterials(ctx.nodes, ctx.lists.meshes);
  materials = std::move(gathering.materials);
  textures = std::move(gathering.textures);
  if (materials.size() > kMaxMaterials) {
    ctx.Refuse("the mesh nodes use " + std::to_string(materials.size()) +
               " materials, but a face group can refer to at most " + std::to_string(kMaxMaterials));
    return;
  }

  format::WriteRecord(ctx.stream, format::MaterialSectionCounts{static_cast<uint32_t>(materials.size()),
                                                                static_cast<uint32_t>(textures.size())});
  for (size_t i = 0; i < textures.size(); ++i)
    format::WriteRecord(ctx.stream, format::CvmTexture{textures[i], static_cast<uint32_t>(i)});
  for (size_t i = 0; i < materials.size(); ++i)
    WriteMaterialRecord(ctx.stream, *materials[i], static_cast<uint32_t>(i), textures);
}

}  // namespace cvm
