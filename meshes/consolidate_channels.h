// The three consolidation passes of one mesh, in the order their progress texts appear:
// normals, positions, texture coordinates.
#pragma once

#include "export/export_options.h"
#include "meshes/consolidate.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Fills channels from gathered's channels, which are empty afterwards: ConsolidateSorted of the
// normals, ConsolidateSorted of the positions (ConsolidateInOrder with options.mergeVertices
// when options.preserveVertexOrdering), ConsolidateSorted of the texture coordinates. Shows
// the progress texts of the three passes through progress, in that order.
void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options, ConsolidationProgress& progress,
                         ConsolidationScratch& scratch, MeshChannels& channels);

}  // namespace cvm
