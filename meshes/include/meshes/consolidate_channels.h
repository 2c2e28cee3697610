// The three consolidation passes of one mesh, in the order their progress texts appear:
// normals, positions, texture coordinates.
#pragma once

#include "export_context/export_options.h"
#include "meshes/consolidate.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Working memory of the passes of a mesh, one per channel (their sorts may run at the same
// time), kept from one mesh to the next.
struct ChannelScratch {
  ConsolidationScratch normals;
  ConsolidationScratch positions;
  ConsolidationScratch textureCoordinates;
};

// Fills channels from gathered's channels, which are empty afterwards: ConsolidateSorted of the
// normals, ConsolidateSorted of the positions (ConsolidateInOrder with options.mergeVertices
// when options.preserveVertexOrdering), ConsolidateSorted of the texture coordinates, and the
// normals' encodings. Shows the progress texts of the three passes through progress, in that
// order.
//
// A mesh of at least kParallelSortCorners corners, in a build with threads, has its position
// and texture-coordinate values sorted on a second thread while this one sorts and finishes
// the normals; every pass is finished here, in order, so the texts and the channels are those
// of the passes run one after the other. Without a second thread the passes run in turn.
void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ChannelScratch& scratch, MeshChannels& channels);

// Below this, starting a thread costs more than it saves.
constexpr uint32_t kParallelSortCorners = 1u << 16;

}  // namespace cvm
