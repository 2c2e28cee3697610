#include "meshes/consolidate.h"

#include <algorithm>
#include <array>

namespace cvm {
namespace {

using SortItem = ConsolidationScratch::SortItem;

uint32_t AddDistinct(ConsolidationScratch& s, const PointKey& key, const Point3& value, bool nan) {
  const auto id = static_cast<uint32_t>(s.keys.size());
  s.keys.push_back(key);
  s.firstValues.push_back(value);
  s.hasNaN.push_back(nan ? 1 : 0);
  return id;
}

using Slot = ConsolidationScratch::Slot;

// Linear probing; the table is at most half full, so a probe always ends at an empty slot.
// The key sits in the slot, so a lookup touches one place in memory, not two.
Slot* FindSlot(std::vector<Slot>& slots, const PointKey& key) {
  const size_t mask = slots.size() - 1;
  size_t slot = static_cast<size_t>(HashPointKey(key)) & mask;
  while (slots[slot].idPlusOne != 0 && !PointKeysEqual(slots[slot].key, key)) slot = (slot + 1) & mask;
  return &slots[slot];
}

void GrowTable(ConsolidationScratch& s) {
  s.slots.assign(s.slots.size() * 2, Slot{{0, 0, 0}, 0});
  for (uint32_t id = 0; id < s.keys.size(); ++id)
    if (!s.hasNaN[id]) *FindSlot(s.slots, s.keys[id]) = Slot{s.keys[id], id + 1};
}

// Gives every record the id of its distinct value (distinctOf); ids are handed out in order
// of first occurrence and each id remembers the first value met. A record with a NaN gets an
// id of its own and is never entered in the table. With format, steps progress per record.
void Deduplicate(const std::vector<CornerRecord>& records, ConsolidationScratch& s, ConsolidationProgress* progress,
                 const char* format) {
  const auto count = static_cast<uint32_t>(records.size());
  s.keys.clear();
  s.firstValues.clear();
  s.hasNaN.clear();
  s.distinctOf.resize(count);
  // Small to start and doubled as values arrive: the table stays proportional to the distinct
  // values, so a channel of few values (the normals of a flat-shaded mesh) stays in cache.
  s.slots.assign(1024, Slot{{0, 0, 0}, 0});
  size_t tableEntries = 0;

  for (uint32_t i = 0; i < count; ++i) {
    if (progress != nullptr) progress->Step(format, i, count);
    const Point3& value = records[i].value;
    const PointKey key = MakePointKey(value);
    if (PointKeyHasNaN(key)) {
      s.distinctOf[i] = AddDistinct(s, key, value, true);
      continue;
    }
    Slot* slot = FindSlot(s.slots, key);
    if (slot->idPlusOne != 0) {
      s.distinctOf[i] = slot->idPlusOne - 1;
      continue;
    }
    const uint32_t id = AddDistinct(s, key, value, false);
    *slot = Slot{key, id + 1};
    s.distinctOf[i] = id;
    if (++tableEntries * 2 > s.slots.size()) GrowTable(s);
  }
}

bool ItemLess(const SortItem& a, const SortItem& b) {
  if (a.key[0] != b.key[0]) return a.key[0] < b.key[0];
  if (a.key[1] != b.key[1]) return a.key[1] < b.key[1];
  return a.key[2] < b.key[2];
}

// Sorts items ascending by (key[0], key[1], key[2]); the keys of different items differ, so
// the result does not depend on the method. LSD radix sort, 11-bit digits, least
// significant first; a digit that is the same for every item is skipped.
void SortItems(std::vector<SortItem>& items, std::vector<SortItem>& swap) {
  const size_t count = items.size();
  if (count <= 64) {
    std::sort(items.begin(), items.end(), ItemLess);
    return;
  }
  constexpr int kDigitBits = 11;
  constexpr size_t kBuckets = size_t{1} << kDigitBits;
  constexpr int kDigits = 9;  // 3 keys x (11 + 11 + 10 bits), least significant first
  struct Digit {
    int key;
    int shift;
  };
  static constexpr std::array<Digit, kDigits> kOrder = {
      {{2, 0}, {2, 11}, {2, 22}, {1, 0}, {1, 11}, {1, 22}, {0, 0}, {0, 11}, {0, 22}}};
  std::vector<std::array<uint32_t, kBuckets>> histograms(kDigits);
  for (auto& h : histograms) h.fill(0);
  for (const SortItem& item : items)
    for (int d = 0; d < kDigits; ++d) ++histograms[d][(item.key[kOrder[d].key] >> kOrder[d].shift) & (kBuckets - 1)];

  swap.resize(count);
  for (int d = 0; d < kDigits; ++d) {
    auto& h = histograms[d];
    const uint32_t firstDigit = (items[0].key[kOrder[d].key] >> kOrder[d].shift) & (kBuckets - 1);
    if (h[firstDigit] == count) continue;
    uint32_t sum = 0;
    for (uint32_t& bucket : h) {
      const uint32_t n = bucket;
      bucket = sum;
      sum += n;
    }
    for (const SortItem& item : items) swap[h[(item.key[kOrder[d].key] >> kOrder[d].shift) & (kBuckets - 1)]++] = item;
    items.swap(swap);
  }
}

// The key under which ascending order is descending float order.
uint32_t DescendingKey(uint32_t canonicalBits) { return ~FloatOrderKey(canonicalBits); }

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

void ConsolidateSorted(const std::vector<CornerRecord>& records, const char* format, ConsolidationProgress& progress,
                       ConsolidationScratch& scratch, IndexedChannel& channel) {
  const auto count = static_cast<uint32_t>(records.size());
  Deduplicate(records, scratch, nullptr, nullptr);
  const auto distinct = static_cast<uint32_t>(scratch.keys.size());

  scratch.items.clear();
  for (uint32_t id = 0; id < distinct; ++id) {
    if (scratch.hasNaN[id]) continue;
    const PointKey& k = scratch.keys[id];
    scratch.items.push_back({{DescendingKey(k.x), DescendingKey(k.y), DescendingKey(k.z)}, id});
  }
  SortItems(scratch.items, scratch.itemsSwap);

  // Values with a NaN follow all others; their ids already run in corner order.
  scratch.rank.resize(distinct);
  uint32_t position = 0;
  for (const SortItem& item : scratch.items) scratch.rank[item.id] = position++;
  for (uint32_t id = 0; id < distinct; ++id)
    if (scratch.hasNaN[id]) scratch.rank[id] = position++;

  channel.values.resize(distinct);
  for (uint32_t id = 0; id < distinct; ++id) channel.values[scratch.rank[id]] = scratch.firstValues[id];
  channel.cornerIndices.assign(count, 0);
  for (uint32_t i = 0; i < count; ++i) {
    progress.Step(format, i, count);
    channel.cornerIndices[records[i].corner] = scratch.rank[scratch.distinctOf[i]];
  }
}

void ConsolidateInOrder(const std::vector<CornerRecord>& records, bool mergeVertices, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, IndexedChannel& channel) {
  const auto count = static_cast<uint32_t>(records.size());
  channel.cornerIndices.assign(count, 0);
  if (mergeVertices) {
    Deduplicate(records, scratch, &progress, kConsolidatingVerticesText);
    channel.values.assign(scratch.firstValues.begin(), scratch.firstValues.end());
    for (uint32_t i = 0; i < count; ++i) channel.cornerIndices[records[i].corner] = scratch.distinctOf[i];
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
