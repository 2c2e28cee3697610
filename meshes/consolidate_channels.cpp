#include "meshes/consolidate_channels.h"

namespace cvm {

void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options, ConsolidationProgress& progress,
                         ConsolidationScratch& scratch, MeshChannels& channels) {
  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch, channels.normals);
  if (options.preserveVertexOrdering) {
    ConsolidateInOrder(gathered.positions, options.mergeVertices != 0, progress, scratch, channels.positions);
  } else {
    ConsolidateSorted(gathered.positions, kConsolidatingVerticesText, progress, scratch, channels.positions);
  }
  ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                    channels.textureCoordinates);
}

}  // namespace cvm
