#include "meshes/consolidate_channels.h"

#if CVM_HAVE_STD_THREAD
#include <exception>
#include <future>
#include <system_error>
#include <thread>
#endif

namespace cvm {
namespace {

// The normals as the record stores them, once their channel is made.
void EncodeNormals(MeshChannels& channels) {
  const std::vector<Point3>& normals = channels.normals.values;
  channels.encodedNormals.resize(normals.size());
  for (size_t i = 0; i < normals.size(); ++i) channels.encodedNormals[i] = EncodeNormal(normals[i]);
}

bool SortsPositions(const ExportOptions& options) {
  return !options.preserveVertexOrdering || options.mergeVertices != 0;
}

// The position pass, its values sorted when SortsPositions.
void FinishPositions(GatheredMesh& gathered, const ExportOptions& options, const SortedValues& sorted,
                     ConsolidationProgress& progress, ConsolidationScratch& scratch,
                     IndexedChannel& channel) {
  if (!options.preserveVertexOrdering) {
    ConsolidateSorted(gathered.positions, sorted, kConsolidatingVerticesText, progress, scratch, channel);
  } else if (options.mergeVertices != 0) {
    ConsolidateInOrderMerged(gathered.positions, sorted, progress, scratch, channel);
  } else {
    ConsolidateInOrder(gathered.positions, false, progress, scratch, channel);
  }
}

SortedValues SortPositions(const GatheredMesh& gathered, const ExportOptions& options,
                           ConsolidationScratch& scratch) {
  return SortsPositions(options) ? SortChannelValues(gathered.positions, scratch) : SortedValues{};
}

void ConsolidateInTurn(GatheredMesh& gathered, const ExportOptions& options, ConsolidationProgress& progress,
                       ChannelScratch& scratch, MeshChannels& channels) {
  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch.normals, channels.normals);
  EncodeNormals(channels);
  FinishPositions(gathered, options, SortPositions(gathered, options, scratch.positions), progress,
                  scratch.positions, channels.positions);
  ConsolidateSorted(gathered.textureCoordinates, kConsolidatingUVsText, progress, scratch.textureCoordinates,
                    channels.textureCoordinates);
}

#if CVM_HAVE_STD_THREAD
// Returns false when no second thread could be started (nothing has been done then).
bool ConsolidateOnTwoThreads(GatheredMesh& gathered, const ExportOptions& options,
                             ConsolidationProgress& progress, ChannelScratch& scratch,
                             MeshChannels& channels) {
  // The helper reads only the position and texture-coordinate values and writes only their
  // scratches; this thread touches those channels only once their sorts are handed over.
  std::promise<SortedValues> positionsSorted;
  std::promise<SortedValues> uvsSorted;
  std::future<SortedValues> positions = positionsSorted.get_future();
  std::future<SortedValues> uvs = uvsSorted.get_future();
  const auto sortInto = [](std::promise<SortedValues>& result, auto sort) {
    try {
      result.set_value(sort());
    } catch (...) {
      result.set_exception(std::current_exception());
    }
  };
  std::thread helper;
  try {
    helper = std::thread([&] {
      sortInto(positionsSorted, [&] { return SortPositions(gathered, options, scratch.positions); });
      sortInto(uvsSorted,
               [&] { return SortChannelValues(gathered.textureCoordinates, scratch.textureCoordinates); });
    });
  } catch (const std::system_error&) {
    return false;
  }
  // Joined on every way out, a failure of a pass here included.
  struct Joiner {
    std::thread& thread;
    ~Joiner() { thread.join(); }
  } joiner{helper};

  ConsolidateSorted(gathered.normals, kConsolidatingNormalsText, progress, scratch.normals, channels.normals);
  EncodeNormals(channels);  // while the helper still sorts
  FinishPositions(gathered, options, positions.get(), progress, scratch.positions, channels.positions);
  ConsolidateSorted(gathered.textureCoordinates, uvs.get(), kConsolidatingUVsText, progress,
                    scratch.textureCoordinates, channels.textureCoordinates);
  return true;
}
#endif

}  // namespace

void ConsolidateChannels(GatheredMesh& gathered, const ExportOptions& options,
                         ConsolidationProgress& progress, ChannelScratch& scratch, MeshChannels& channels) {
#if CVM_HAVE_STD_THREAD
  if (gathered.CornerCount() >= kParallelSortCorners &&
      ConsolidateOnTwoThreads(gathered, options, progress, scratch, channels))
    return;
#endif
  ConsolidateInTurn(gathered, options, progress, scratch, channels);
}

}  // namespace cvm
