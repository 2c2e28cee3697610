// The three consolidation passes of one mesh, in the order their progress texts appear:
// normals, positions, texture coordinates.
#pragma once

#include "export/export_options.h"
#include "meshes/consolidate.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Working memory of the passes of a mesh, kept from one mesh to the next. helper is used only
// by the pass that runs on a second thread.
struct ChannelScratch {
  ConsolidationScratch main;
  ConsolidationScratch helper;
};

// Fills channels from gathered: ConsolidateSorted of the normals, ConsolidateSorted of the
// positions (ConsolidateInOrder with options.mergeVertices when
// options.preserveVertexOrdering), ConsolidateSorted of the texture coordinates. Shows the
// progress texts of the three passes through progress, in that order, exactly as running
// them one after the other would.
//
// A mesh with at least kParallelConsolidationCorners corners has its passes spread over the
// calling thread and one more (when the build has threads and one can be started): the
// normals run here with their texts shown as they go; the positions run on the other thread;
// the texture coordinates on whichever is free first. The texts of the passes that ran
// elsewhere are shown once all are done. Only the calling thread touches progress and the
// window. The channels are the same either way.
void ConsolidateChannels(const GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ChannelScratch& scratch, MeshChannels& channels);

// Below this, a second thread costs more than it saves.
constexpr uint32_t kParallelConsolidationCorners = 1u << 15;

}  // namespace cvm
