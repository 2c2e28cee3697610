// The material section: material and texture counts, the texture records and one material
// record per entry of the MaterialList.
#pragma once

#include <cstddef>

#include "export_context/export_context.h"
#include "materials/material_list.h"

namespace cvm {

// Face groups store a material index as a u16 in which 0xFFFF means "no material", so only
// this many materials can be told apart.
constexpr size_t kMaxMaterials = 65535;

// Gathers the MaterialList and TextureNameTable from the mesh nodes of ctx (both are
// filled here and owned by the caller) and writes the whole section. Refuses the export
// (ctx.Refuse, nothing written) when there are more than kMaxMaterials materials.
void WriteMaterialSection(ExportContext& ctx, MaterialList& materials, TextureNameTable& textures);

}  // namespace cvm
