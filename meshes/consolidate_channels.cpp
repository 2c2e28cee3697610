#include "meshes/consolidate_channels.h"

#if CVM_PARALLEL_CONSOLIDATION
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#endif

namespace cvm {
namespace {

void ConsolidatePositions(const GatheredMesh& gathered, const ExportOptions& options,
                          ConsolidationProgress& progress, ConsolidationScratch& scratch,
                          IndexedChannel& channel) {
  if (options.preserveVertexOrdering) {
    ConsolidateInOrder(gathered.positions, options.mergeVertices != 0, progress, scratch, channel);
  } else {
    ConsolidateSorted(gathered.positions, kConsolidatingVerticesText, progress, scratch, channel);
  }
}

void ConsolidateInTurn(const GatheredMesh& gathered, const ExportOptions& options,
                       ConsolidationProgress& progress, ConsolidationScratch& scratch,
                       MeshChannels& channels) {
  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch, channels.normals);
  ConsolidatePositions(gathered, options, progress, scratch, channels.positions);
  ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                    channels.textureCoordinates);
}

#if CVM_PARALLEL_CONSOLIDATION
// Returns false when no second thread could be started (nothing has been done then).
bool ConsolidateOnTwoThreads(const GatheredMesh& gathered, const ExportOptions& options,
                             ConsolidationProgress& progress, ChannelScratch& scratch,
                             MeshChannels& channels) {
  // The passes that run silently: their own progress, without a window.
  ConsolidationProgress silent;
  ConsolidationProgress silentUVs;
  std::atomic<bool> uvsTaken{false};
  const auto uvPass = [&](ConsolidationScratch& s) {
    if (uvsTaken.exchange(true)) return;
    ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, silentUVs, s,
                      channels.textureCoordinates);
  };
  std::exception_ptr helperFailure;
  std::thread helper;
  try {
    helper = std::thread([&] {
      try {
        ConsolidatePositions(gathered, options, silent, scratch.helper, channels.positions);
        uvPass(scratch.helper);
      } catch (...) {
        helperFailure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  try {
    ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch.main, channels.normals);
    uvPass(scratch.main);
  } catch (...) {
    helper.join();
    throw;
  }
  helper.join();
  if (helperFailure) std::rethrow_exception(helperFailure);

  progress.ShowPass(kConsolidatingVerticesText, static_cast<uint32_t>(gathered.positions.size()));
  progress.ShowPass(kConsolidatingUVsText, static_cast<uint32_t>(gathered.textureCoordinates.size()));
  return true;
}
#endif

}  // namespace

void ConsolidateChannels(const GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ChannelScratch& scratch, MeshChannels& channels) {
#if CVM_PARALLEL_CONSOLIDATION
  if (gathered.CornerCount() >= kParallelConsolidationCorners &&
      ConsolidateOnTwoThreads(gathered, options, progress, scratch, channels))
    return;
#endif
  ConsolidateInTurn(gathered, options, progress, scratch.main, channels);
}

}  // namespace cvm
