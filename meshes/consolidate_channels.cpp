#include "meshes/consolidate_channels.h"

#include "meshes/encode_normal.h"

namespace cvm {

void ConsolidateNormals(GatheredMesh& gathered, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, MeshChannels& channels) {
  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch, channels.normals);
  // The normals as the record stores them.
  const std::vector<Point3>& normals = channels.normals.values;
  channels.encodedNormals.resize(normals.size());
  for (size_t i = 0; i < normals.size(); ++i) channels.encodedNormals[i] = EncodeNormal(normals[i]);
}

SortedValues SortPositionValues(const GatheredMesh& gathered, const ExportOptions& options,
                                ConsolidationScratch& scratch) {
  const bool sorts = !options.preserveVertexOrdering || options.mergeVertices;
  return sorts ? SortChannelValues(gathered.positions, scratch) : SortedValues{};
}

void ConsolidatePositions(GatheredMesh& gathered, const ExportOptions& options,
                          ConsolidationProgress& progress, ConsolidationScratch& scratch,
                          MeshChannels& channels, const SortedValues* sorted) {
  if (options.preserveVertexOrdering && !options.mergeVertices) {
    ConsolidateInOrder(gathered.positions, false, progress, scratch, channels.positions);
    return;
  }
  const SortedValues own =
      sorted == nullptr ? SortPositionValues(gathered, options, scratch) : SortedValues{};
  const SortedValues& values = sorted == nullptr ? own : *sorted;
  if (options.preserveVertexOrdering) {
    ConsolidateInOrderMerged(gathered.positions, values, progress, scratch, channels.positions);
  } else {
    ConsolidateSorted(gathered.positions, values, kConsolidatingVerticesText, progress, scratch,
                      channels.positions);
  }
}

void ConsolidateTextureCoordinates(GatheredMesh& gathered, ConsolidationProgress& progress,
                                   ConsolidationScratch& scratch, MeshChannels& channels,
                                   const SortedValues* sorted) {
  if (sorted == nullptr) {
    ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                      channels.textureCoordinates);
  } else {
    ConsolidateSorted(gathered.textureCoordinates, *sorted, kConsolidatingUVsText, progress, scratch,
                      channels.textureCoordinates);
  }
}

void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ChannelScratch& scratch, MeshChannels& channels,
                         TaskRunner* runner) {
  if (runner == nullptr || gathered.positions.CornerCount() < kParallelSortCorners) {
    ConsolidateNormals(gathered, progress, scratch.here, channels);
    ConsolidatePositions(gathered, options, progress, scratch.here, channels);
    ConsolidateTextureCoordinates(gathered, progress, scratch.here, channels);
    return;
  }
  // A sort reads only its channel's values and writes only its scratch; the pass beside it
  // touches neither. The normal pass leaves its scratch free for the texture coordinates' sort.
  SortedValues positions;
  SortedValues textureCoordinates;
  runner->RunBeside([&] { positions = SortPositionValues(gathered, options, scratch.beside); },
                    [&] { ConsolidateNormals(gathered, progress, scratch.here, channels); });
  runner->RunBeside(
      [&] { textureCoordinates = SortChannelValues(gathered.textureCoordinates, scratch.here); },
      [&] { ConsolidatePositions(gathered, options, progress, scratch.beside, channels, &positions); });
  ConsolidateTextureCoordinates(gathered, progress, scratch.here, channels, &textureCoordinates);
}

}  // namespace cvm
