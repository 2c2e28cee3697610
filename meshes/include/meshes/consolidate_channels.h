// The three consolidation passes of one mesh, one function per channel, in the order their
// progress texts appear: normals, positions, texture coordinates.
#pragma once

#include <cstdint>

#include "export_context/export_options.h"
#include "meshes/consolidate.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// The normal channel, sorted (ConsolidateSorted).
void ConsolidateNormals(GatheredMesh& gathered, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, MeshChannels& channels);
// The position channel: sorted, or with options.preserveVertexOrdering in corner order, merged
// (options.mergeVertices) or not.
void ConsolidatePositions(GatheredMesh& gathered, const ExportOptions& options,
                          ConsolidationProgress& progress, ConsolidationScratch& scratch,
                          MeshChannels& channels);
// The texture-coordinate channel, sorted.
void ConsolidateTextureCoordinates(GatheredMesh& gathered, ConsolidationProgress& progress,
                                   ConsolidationScratch& scratch, MeshChannels& channels);

// The three passes in turn, on one scratch: a pass's sort items are as many as the values its
// channel met, and only one pass's are ever held. gathered's channels are empty afterwards.
void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ConsolidationScratch& scratch,
                         MeshChannels& channels);

}  // namespace cvm
