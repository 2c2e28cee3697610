// The mesh section: one mesh record per node of the mesh list, in list order.
#pragma once

#include "export_context/export_context.h"
#include "materials/material_list.h"

namespace cvm {

// WriteMeshNode for every node of ctx.lists.meshes, with ctx's options, progress window and
// runner; face groups look their materials up in materials. A node whose conversion now gives
// no mesh, or a mesh without faces, still gets a complete empty record, since the header
// already counts it. Refuses the export (ctx.Refuse, naming the node) when a mesh has more
// corners than a u32 can count or the host's mesh arrays are missing or hold an index out of
// range; no further node is written then.
void WriteMeshSection(ExportContext& ctx, const MaterialList& materials);

}  // namespace cvm
