#include "meshes/consolidate.h"

#include <algorithm>
#include <array>

namespace cvm {
namespace {

using Cell = ConsolidationScratch::Cell;

// Asks for the cache line of a table slot that a lookup a few records later will touch, so the
// table's misses overlap instead of queueing one behind the other. A hint only: without the
// builtin nothing changes but the speed.
inline void Prefetch(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// How many records ahead the table slots are prefetched: enough to cover a memory access,
// few enough that the lines are still there when their turn comes.
constexpr uint32_t kPrefetchDistance = 8;

constexpr size_t kFirstTableSize = 1024;

bool CellHoldsKey(const Cell& cell, const PointKey& key) {
  return cell.word[0] == key.x && cell.word[1] == key.y && cell.word[2] == key.z;
}

// Linear probing; the table is at most half full, so a probe always ends at an empty slot.
// The key sits in the slot, so a lookup touches one place in memory, not two.
Cell* FindSlot(std::vector<Cell>& cells, const PointKey& key, uint64_t hash) {
  const size_t mask = cells.size() - 1;
  size_t slot = static_cast<size_t>(hash) & mask;
  while (cells[slot].word[3] != 0 && !CellHoldsKey(cells[slot], key)) slot = (slot + 1) & mask;
  return &cells[slot];
}

// Doubles the table and enters every NaN-free distinct value again, taking the keys from the
// values' first records (the old table's memory is reused, so it cannot be read meanwhile).
// The records are read out of order, so they are prefetched a few values ahead.
void GrowTable(ConsolidationScratch& s, const std::vector<CornerRecord>& records) {
  s.cells.assign(s.cells.size() * 2, Cell{{0, 0, 0, 0}});
  const auto count = static_cast<uint32_t>(s.firstRecord.size());
  for (uint32_t id = 0; id < count; ++id) {
    if (id + kPrefetchDistance < count) Prefetch(&records[s.firstRecord[id + kPrefetchDistance]]);
    const PointKey key = MakePointKey(records[s.firstRecord[id]].value);
    if (PointKeyHasNaN(key)) continue;
    *FindSlot(s.cells, key, HashPointKey(key)) = Cell{{key.x, key.y, key.z, id + 1}};
  }
}

// The table a pass starts with: as large as the previous pass's grew (the passes of a mesh
// mostly have alike numbers of values, and every doubling on the way costs a rehash of all
// values so far), but never more than count records can fill to half.
size_t FirstTableSize(size_t previousSize, uint32_t count) {
  size_t bound = kFirstTableSize;
  while (bound < size_t{2} * count) bound *= 2;
  return std::max(kFirstTableSize, std::min(previousSize, bound));
}

struct DistinctValues {
  uint32_t count = 0;     // distinct ids, NaN ones included
  uint32_t nanCount = 0;  // ids of values with a NaN (each such record has one of its own)
};

// Gives every record the id of its distinct value, written to ids[record's corner]; ids are
// handed out in record order and s.firstRecord keeps the first record of each. A record with
// a NaN gets an id of its own and is never entered in the table. With format, steps progress
// per record. Leaves the table (s.cells) holding exactly the NaN-free values.
DistinctValues Deduplicate(const std::vector<CornerRecord>& records, ConsolidationScratch& s, uint32_t* ids,
                           ConsolidationProgress* progress, const char* format) {
  const auto count = static_cast<uint32_t>(records.size());
  DistinctValues found;
  s.firstRecord.clear();
  // Doubled as values arrive, so the table stays proportional to the values it holds.
  s.cells.assign(FirstTableSize(s.cells.size(), count), Cell{{0, 0, 0, 0}});
  size_t tableEntries = 0;

  // Hashes of the next records, computed when their slots were prefetched.
  uint64_t ahead[kPrefetchDistance];
  const uint32_t primed = std::min(count, kPrefetchDistance);
  for (uint32_t k = 0; k < primed; ++k) {
    ahead[k] = HashPointKey(MakePointKey(records[k].value));
    Prefetch(&s.cells[static_cast<size_t>(ahead[k]) & (s.cells.size() - 1)]);
  }

  PointKey lastKey{0, 0, 0};  // the last NaN-free value looked up, and its id
  uint32_t lastId = 0;
  bool haveLast = false;
  for (uint32_t i = 0; i < count; ++i) {
    if (progress != nullptr) progress->Step(format, i, count);
    const PointKey key = MakePointKey(records[i].value);
    const uint64_t hash = ahead[i % kPrefetchDistance];
    if (i + kPrefetchDistance < count) {
      const uint64_t next = HashPointKey(MakePointKey(records[i + kPrefetchDistance].value));
      ahead[i % kPrefetchDistance] = next;
      Prefetch(&s.cells[static_cast<size_t>(next) & (s.cells.size() - 1)]);
    }
    uint32_t& id = ids[records[i].corner];
    if (PointKeyHasNaN(key)) {
      id = found.count++;
      ++found.nanCount;
      s.firstRecord.push_back(i);
      continue;
    }
    // The corners of a face often repeat the value just seen (a flat face's normal): no
    // lookup for those.
    if (haveLast && PointKeysEqual(key, lastKey)) {
      id = lastId;
      continue;
    }
    lastKey = key;
    haveLast = true;
    Cell* slot = FindSlot(s.cells, key, hash);
    if (slot->word[3] != 0) {
      id = lastId = slot->word[3] - 1;
      continue;
    }
    id = lastId = found.count++;
    s.firstRecord.push_back(i);
    *slot = Cell{{key.x, key.y, key.z, id + 1}};
    if (++tableEntries * 2 > s.cells.size()) GrowTable(s, records);
  }
  return found;
}

bool ItemLess(const Cell& a, const Cell& b) {
  if (a.word[0] != b.word[0]) return a.word[0] < b.word[0];
  if (a.word[1] != b.word[1]) return a.word[1] < b.word[1];
  return a.word[2] < b.word[2];
}

// Sorts the count items at items ascending by (word 0, word 1, word 2), using swap (room for
// count items) as the second buffer; returns where the sorted items are (items or swap). The
// keys of different items differ, so the result does not depend on the method. LSD radix
// sort, 11-bit digits, least significant first; a digit that is the same for every item is
// skipped.
Cell* SortItems(Cell* items, Cell* swap, size_t count) {
  if (count <= 64) {
    std::sort(items, items + count, ItemLess);
    return items;
  }
  constexpr int kDigitBits = 11;
  constexpr size_t kBuckets = size_t{1} << kDigitBits;
  constexpr int kDigits = 9;  // 3 keys x (11 + 11 + 10 bits), least significant first
  struct Digit {
    int word;
    int shift;
  };
  static constexpr std::array<Digit, kDigits> kOrder = {
      {{2, 0}, {2, 11}, {2, 22}, {1, 0}, {1, 11}, {1, 22}, {0, 0}, {0, 11}, {0, 22}}};
  std::vector<std::array<uint32_t, kBuckets>> histograms(kDigits);
  for (auto& h : histograms) h.fill(0);
  for (size_t i = 0; i < count; ++i)
    for (int d = 0; d < kDigits; ++d)
      ++histograms[d][(items[i].word[kOrder[d].word] >> kOrder[d].shift) & (kBuckets - 1)];

  for (int d = 0; d < kDigits; ++d) {
    auto& h = histograms[d];
    const uint32_t firstDigit = (items[0].word[kOrder[d].word] >> kOrder[d].shift) & (kBuckets - 1);
    if (h[firstDigit] == count) continue;
    uint32_t sum = 0;
    for (uint32_t& bucket : h) {
      const uint32_t n = bucket;
      bucket = sum;
      sum += n;
    }
    for (size_t i = 0; i < count; ++i)
      swap[h[(items[i].word[kOrder[d].word] >> kOrder[d].shift) & (kBuckets - 1)]++] = items[i];
    std::swap(items, swap);
  }
  return items;
}

// The key under which ascending order is descending float order.
uint32_t DescendingKey(uint32_t canonicalBits) {
  return ~FloatOrderKey(canonicalBits);
}

}  // namespace

void ConsolidationProgress::Update(const char* format, uint32_t i, uint32_t count) {
  const int percent = ProgressPercent(i, count);
  if (percent != lastPercent) {
    lastPercent = percent;
    SetProgressText(window, format, name, percent);
  }
  uint32_t low = i + 1;
  uint32_t high = count;
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    if (ProgressPercent(middle, count) != percent) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  nextCheck = low;
}

void ConsolidationProgress::ShowPass(const char* format, uint32_t count) {
  // Step would let every step before nextCheck pass without a text, so only those are visited.
  for (uint32_t i = 0; i < count; i = nextCheck) Update(format, i, count);
}

bool CornerRecordGreater(const CornerRecord& a, const CornerRecord& b) {
  const Point3& p = a.value;
  const Point3& q = b.value;
  if (p.x == q.x && p.y == q.y && p.z == q.z) return false;
  if (p.x > q.x) return true;
  if (p.x < q.x) return false;
  if (p.y > q.y) return true;
  if (p.y < q.y) return false;
  return p.z > q.z;
}

void ConsolidateSorted(const std::vector<CornerRecord>& records, const char* format,
                       ConsolidationProgress& progress, ConsolidationScratch& scratch,
                       IndexedChannel& channel) {
  const auto count = static_cast<uint32_t>(records.size());
  channel.cornerIndices.resize(count);
  if (count == 0) {
    channel.values.clear();
    return;
  }
  uint32_t* indices = channel.cornerIndices.data();
  const DistinctValues distinct = Deduplicate(records, scratch, indices, nullptr, nullptr);
  std::vector<Cell>& cells = scratch.cells;
  std::vector<uint32_t>& firstRecord = scratch.firstRecord;
  channel.values.resize(distinct.count);

  // The table's values, moved to its front as sort items (never ahead of the slot read).
  size_t items = 0;
  for (const Cell& slot : cells) {
    if (slot.word[3] == 0) continue;
    cells[items++] = Cell{{DescendingKey(slot.word[0]), DescendingKey(slot.word[1]),
                           DescendingKey(slot.word[2]), slot.word[3] - 1}};
  }
  const Cell* sorted = SortItems(cells.data(), cells.data() + items, items);

  // Values with a NaN follow all others, in record order. Their positions are given first,
  // while every firstRecord entry still names a record.
  if (distinct.nanCount > 0) {
    auto position = static_cast<uint32_t>(items);
    for (uint32_t id = 0; id < distinct.count; ++id) {
      const Point3& value = records[firstRecord[id]].value;
      if (!PointHasNaN(value)) continue;
      channel.values[position] = value;
      firstRecord[id] = position++;
    }
  }
  // The first records are read out of order: fetched a few values ahead, in two steps (the
  // record's number, then the record).
  for (uint32_t position = 0; position < items; ++position) {
    if (position + 2 * kPrefetchDistance < items)
      Prefetch(&firstRecord[sorted[position + 2 * kPrefetchDistance].word[3]]);
    if (position + kPrefetchDistance < items)
      Prefetch(&records[firstRecord[sorted[position + kPrefetchDistance].word[3]]]);
    const uint32_t id = sorted[position].word[3];
    channel.values[position] = records[firstRecord[id]].value;
    firstRecord[id] = position;
  }
  for (uint32_t c = 0; c < count; ++c) {
    progress.Step(format, c, count);
    indices[c] = firstRecord[indices[c]];
  }
}

void ConsolidateInOrder(const std::vector<CornerRecord>& records, bool mergeVertices,
                        ConsolidationProgress& progress, ConsolidationScratch& scratch,
                        IndexedChannel& channel) {
  const auto count = static_cast<uint32_t>(records.size());
  channel.cornerIndices.resize(count);
  if (count == 0) {
    channel.values.clear();
    return;
  }
  if (mergeVertices) {
    const DistinctValues distinct =
        Deduplicate(records, scratch, channel.cornerIndices.data(), &progress, kConsolidatingVerticesText);
    channel.values.resize(distinct.count);
    for (uint32_t id = 0; id < distinct.count; ++id)
      channel.values[id] = records[scratch.firstRecord[id]].value;
    return;
  }
  channel.values.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    progress.Step(kConsolidatingVerticesText, i, count);
    channel.values[i] = records[i].value;
    channel.cornerIndices[records[i].corner] = i;
  }
}

}  // namespace cvm
