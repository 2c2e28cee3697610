#include "meshes/consolidate_channels.h"

namespace cvm {

void ConsolidateNormals(GatheredMesh& gathered, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, MeshChannels& channels) {
  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch, channels.normals);
}

void ConsolidatePositions(GatheredMesh& gathered, const ExportOptions& options,
                          ConsolidationProgress& progress, ConsolidationScratch& scratch,
                          MeshChannels& channels) {
  if (options.preserveVertexOrdering) {
    ConsolidateInOrder(gathered.positions, options.mergeVertices, progress, scratch, channels.positions);
  } else {
    ConsolidateSorted(gathered.positions, kConsolidatingVerticesText, progress, scratch, channels.positions);
  }
}

void ConsolidateTextureCoordinates(GatheredMesh& gathered, ConsolidationProgress& progress,
                                   ConsolidationScratch& scratch, MeshChannels& channels) {
  ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                    channels.textureCoordinates);
}

void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ConsolidationScratch& scratch,
                         MeshChannels& channels) {
  ConsolidateNormals(gathered, progress, scratch, channels);
  ConsolidatePositions(gathered, options, progress, scratch, channels);
  ConsolidateTextureCoordinates(gathered, progress, scratch, channels);
}

}  // namespace cvm
