// The mesh section: one mesh record per node of the mesh list, in list order.
#pragma once

#include "export/export_context.h"
#include "materials/material_list.h"

namespace cvm {

// Gathers, consolidates and writes every mesh node of ctx.lists.meshes. Face groups look
// their materials up in materials.
void WriteMeshSection(ExportContext& ctx, const MaterialList& materials);

}  // namespace cvm
