// The material section: material and texture counts, the texture records and one material
// record per entry of the MaterialList.
#pragma once

#include "export/export_context.h"
#include "materials/material_list.h"

namespace cvm {

// Gathers the MaterialList and TextureNameTable from the mesh nodes of ctx (both are
// filled here and owned by the caller) and writes the whole section. Refuses the export
// (ctx.Refuse) when there are more materials than a u16 material index can address.
void WriteMaterialSection(ExportContext& ctx, MaterialList& materials, TextureNameTable& textures);

}  // namespace cvm
