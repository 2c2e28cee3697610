// Consolidation: a list of per-corner records turned into an IndexedChannel, merging values
// that are the same (float_key.h: exact float equality, -0 equals +0, NaN equals nothing).
//
// Every pass is linear in the number of records apart from one sort of the distinct values:
// equal values are found through a hash of their keys, never by searching the values found
// so far. All working memory lives in a ConsolidationScratch that the caller keeps from one
// pass and one mesh to the next, so a pass allocates nothing once the scratch has grown.
// Passes on different scratches and channels share nothing and may run at the same time on
// different threads, each with a ConsolidationProgress of its own (see ShowPass).
#pragma once

#include <cstdint>
#include <vector>

#include "export/progress_text.h"
#include "meshes/float_key.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

constexpr const char* kConsolidatingNormalsText = "%s - Consolidating Normals %d%%\n";
constexpr const char* kConsolidatingVerticesText = "%s - Consolidating Vertices %d%%\n";
constexpr const char* kConsolidatingUVsText = "%s - Consolidating UVs %d%%\n";

// The progress of one mesh's consolidation. The last percentage shown is shared by the
// mesh's passes (it starts at -1 and is not reset between them): a pass sets its text only
// when its percentage differs from the last one shown, whichever pass showed it.
struct ConsolidationProgress {
  ProgressWindow window;
  const char* name = "";
  int lastPercent = -1;

  // Before step i of a pass over count records (i counts from 0 within each pass).
  void Step(const char* format, uint32_t i, uint32_t count) {
    if (i != 0 && i < nextCheck) return;
    Update(format, i, count);
  }
  // Shows, in order, the texts a pass over count records would have shown through this
  // progress: for a pass that ran elsewhere without a window, replayed where its texts belong.
  void ShowPass(const char* format, uint32_t count);

 private:
  // Shows the text when the percentage changed and finds the next step whose percentage
  // differs (percentages never decrease along a pass), so most steps cost one comparison.
  void Update(const char* format, uint32_t i, uint32_t count);
  uint32_t nextCheck = 0;
};

// Working memory of the passes; its contents mean nothing between calls. Kept small on
// purpose, since it lives beside a mesh's gathered data and channels: about 36 to 68 bytes
// per distinct value, nothing per record.
struct ConsolidationScratch {
  // Four words that serve twice: first as a slot of the open-addressing table of the NaN-free
  // distinct values (the value's key x, y, z and its id + 1, 0 for an empty slot), then, once
  // every value is found, as a sort item (descending-order keys of x, y, z and the id). The
  // table is at least twice as large as the values in it, so the same memory holds the sort
  // items and the radix sort's second buffer.
  struct Cell {
    uint32_t word[4];
  };
  std::vector<Cell> cells;
  // Per distinct id: the first record holding its value; once the values are placed, the
  // channel position of the id.
  std::vector<uint32_t> firstRecord;
};

// The order the channels are sorted in: true exactly when a's value is lexicographically
// greater than b's in (x, y, z) by float comparison; corner fields are ignored. It is not a
// strict weak ordering once a NaN takes part, so it is never handed to a sort here.
bool CornerRecordGreater(const CornerRecord& a, const CornerRecord& b);

// Merges the records' same values into channel, whose values come out in descending
// lexicographic (x, y, z) order, exactly as sorting the records with CornerRecordGreater
// and walking them would give. A value that contains a NaN is the same as nothing: each such
// record becomes a value of its own, placed after all others, in corner order. Of values that
// differ only in the sign of a zero, the bits of the first record in corner order are kept.
// records hold each corner's record (record.corner < records.size(), each corner once);
// they are not changed. Sets format (one of the kConsolidating...Text) through progress.
void ConsolidateSorted(const std::vector<CornerRecord>& records, const char* format,
                       ConsolidationProgress& progress, ConsolidationScratch& scratch,
                       IndexedChannel& channel);

// Positions in corner order. With mergeVertices, a record whose value is the same as an
// earlier one's gets that value's index, and values are the distinct values in order of
// first occurrence (first-met bits kept); without it every record gets a value of its own,
// so values are the records' values and the corner indices 0, 1, 2, ... Same preconditions
// as ConsolidateSorted; sets the "Consolidating Vertices" text.
void ConsolidateInOrder(const std::vector<CornerRecord>& records, bool mergeVertices,
                        ConsolidationProgress& progress, ConsolidationScratch& scratch,
                        IndexedChannel& channel);

}  // namespace cvm
