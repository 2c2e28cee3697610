// The plain form of gathering and consolidation: one record per face corner, holding the
// corner's value and its serial. The exporter keeps an id per corner and the values met
// instead (meshes/gathered_mesh.h); the tests and the benchmark's literal baseline use these
// records to state what the passes must give.
#pragma once

#include <cstdint>
#include <vector>

#include "host/geometry.h"
#include "meshes/consolidate.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// One corner's position, normal or texture coordinate (u, v, w), and the cornerSerial of the
// corner that produced it. Face f's corners 0, 1, 2 have the serials 3f, 3f+1, 3f+2.
struct CornerRecord {
  Point3 value;
  uint32_t corner;
};

// The order of the sorted passes: true exactly when a's value is lexicographically greater
// than b's in (x, y, z) by float comparison; corner fields are ignored. It is not a strict weak
// ordering once a NaN takes part.
bool CornerRecordGreater(const CornerRecord& a, const CornerRecord& b);

// The channel that lists records (record.corner < records.size(), each corner once): every
// record's value has an id of its own, in record order.
GatheredChannel ChannelOfRecords(const std::vector<CornerRecord>& records);

// The exporter's passes over a list of per-corner records.
void ConsolidateSorted(const std::vector<CornerRecord>& records, const char* format,
                       ConsolidationProgress& progress, ConsolidationScratch& scratch,
                       IndexedChannel& channel);
void ConsolidateInOrder(const std::vector<CornerRecord>& records, bool mergeVertices,
                        ConsolidationProgress& progress, ConsolidationScratch& scratch,
                        IndexedChannel& channel);

}  // namespace cvm
