// The three consolidation passes of one mesh, one function per channel, in the order their
// progress texts appear: normals, positions, texture coordinates.
#pragma once

#include <cstdint>

#include "export_context/export_options.h"
#include "export_context/task_runner.h"
#include "meshes/consolidate.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Working memory of the passes of a mesh, kept from one mesh to the next. Passes run one after
// the other in the first; with a runner, a sort runs beside a pass in the second, so the memory
// of two passes is ever in use, not that of three.
struct ChannelScratch {
  ConsolidationScratch here;
  ConsolidationScratch beside;
};

// The normal channel, sorted (ConsolidateSorted), and the encodings of its values.
void ConsolidateNormals(GatheredMesh& gathered, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, MeshChannels& channels);
// The position channel: sorted, or with options.preserveVertexOrdering in corner order, merged
// (options.mergeVertices) or not. sorted, when given, holds the positions' values already
// sorted by SortPositionValues.
void ConsolidatePositions(GatheredMesh& gathered, const ExportOptions& options,
                          ConsolidationProgress& progress, ConsolidationScratch& scratch,
                          MeshChannels& channels, const SortedValues* sorted = nullptr);
// The texture-coordinate channel, sorted; sorted as for ConsolidatePositions.
void ConsolidateTextureCoordinates(GatheredMesh& gathered, ConsolidationProgress& progress,
                                   ConsolidationScratch& scratch, MeshChannels& channels,
                                   const SortedValues* sorted = nullptr);

// The sort that ConsolidatePositions needs under options (none in corner order without merging).
SortedValues SortPositionValues(const GatheredMesh& gathered, const ExportOptions& options,
                                ConsolidationScratch& scratch);

// The three passes in turn; gathered's channels are empty afterwards. With a runner and a mesh of
// at least kParallelSortCorners corners, the position values are sorted beside the normal pass
// and the texture-coordinate values beside the position pass; every pass is finished on the
// calling thread, in order, so the texts and the channels are those of the passes run one after
// the other.
void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ChannelScratch& scratch, MeshChannels& channels,
                         TaskRunner* runner = nullptr);

// Below this, handing work out costs more than it saves.
constexpr uint32_t kParallelSortCorners = 1u << 16;

}  // namespace cvm
