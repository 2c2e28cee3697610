// Consolidation: a channel's corners turned into an IndexedChannel, whose values are the
// distinct values (float_key.h: exact float equality, -0 equals +0, NaN equals nothing) in the
// channel's order, and whose corner indices say which value each corner has. The results are
// those of the plain way, one record per corner sorted by value and walked (the tests hold the
// passes to that).
//
// Gathering leaves each channel as the values it met (one per host entry, far fewer than the
// corners) and the corners' ids, kept per host entry (GatheredChannel). A pass sorts the values
// met with a radix sort over keys that order like the floats, merges the same values, which the
// sort has made neighbours, and turns the ids into channel positions where they are kept:
// linear in the values and the host entries, with no search and no table of values. Its working memory lives
// in a ConsolidationScratch that the caller keeps from one pass and one mesh to the next.
#pragma once

#include <cstdint>
#include <vector>

#include "export_context/progress_text.h"
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
  // Step i's text (when its percentage differs from the last one shown); returns the next step
  // whose percentage differs from step i's, or count.
  uint32_t Show(const char* format, uint32_t i, uint32_t count);

 private:
  // Shows the text when the percentage changed and finds the next step whose percentage
  // differs (percentages never decrease along a pass), so most steps cost one comparison.
  void Update(const char* format, uint32_t i, uint32_t count);
  uint32_t nextCheck = 0;
};

// Working memory of the passes; its contents mean nothing between calls.
struct ConsolidationScratch {
  // Sort items: the id of a value met and the descending-order key of one of its components
  // (z, then y, then x, as the sort goes); twice as many as the values met, the second half
  // being the radix sort's other buffer.
  struct Cell {
    Cell() {}  // left as it is: every item is written before it is read
    Cell(uint32_t sortKey, uint32_t valueId) : key(sortKey), id(valueId) {}
    uint32_t key;
    uint32_t id;
  };
  std::vector<Cell> cells;
  // Per id: the channel position of its value.
  std::vector<uint32_t> positionOfId;
};

// Makes channel of gathered's corners: the distinct values in descending lexicographic
// (x, y, z) order, exactly as sorting the corners' records by their values and walking them
// would give. A value that contains a NaN is the same as nothing: each id holding one
// (gathering gives such a value an id per corner) is a value of its own, placed after all
// others, in id order. Of the same values under different ids (they may differ in the sign of
// a zero), the bits of the lowest id, the first met, are kept. gathered's ids move into
// channel (gathered is empty afterwards). Sets format (one of the kConsolidating...Text)
// through progress.
void ConsolidateSorted(GatheredChannel& gathered, const char* format, ConsolidationProgress& progress,
                       ConsolidationScratch& scratch, IndexedChannel& channel);

// Positions in corner order. With mergeVertices, the same values share one, and values are the
// distinct values in order of first occurrence (first-met bits kept); without it every corner
// has a value of its own, so values are the corners' values and the corner indices 0, 1, 2, ...
// gathered is empty afterwards. Sets the "Consolidating Vertices" text.
void ConsolidateInOrder(GatheredChannel& gathered, bool mergeVertices, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, IndexedChannel& channel);
}  // namespace cvm
