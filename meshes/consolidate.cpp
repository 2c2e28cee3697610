#include "meshes/consolidate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace cvm {
namespace {

using Cell = ConsolidationScratch::Cell;
static_assert(std::is_trivially_copyable_v<Point3>);

// The values a channel met, sorted: items are the NaN-free values' sort items in descending
// lexicographic (x, y, z) order of their values, the same values next to each other in id
// order. They live in the second half of the scratch's items until its next sort, which
// leaves the bytes before them free for the pass.
struct SortedValues {
  const Cell* items = nullptr;
  uint32_t count = 0;
  bool anyNaN = false;
};

// The key under which ascending order is descending float order.
uint32_t DescendingKey(uint32_t canonicalBits) {
  return ~FloatOrderKey(canonicalBits);
}

// The descending-order keys of a NaN-free value's components.
struct DescendingKeys {
  uint32_t of[3];  // x, y, z
};
DescendingKeys KeysOf(const Point3& value) {
  const PointKey key = MakePointKey(value);
  return {{DescendingKey(key.x), DescendingKey(key.y), DescendingKey(key.z)}};
}

constexpr int kDigitBits = 11;
constexpr uint32_t kBuckets = uint32_t{1} << kDigitBits;
constexpr int kDigits = 3;  // 11 + 11 + 10 bits of a key
using Histograms = std::array<std::array<uint32_t, kBuckets>, kDigits>;

// Digit D of an item's key, least significant first.
template <int D>
inline uint32_t DigitOf(const Cell& item) {
  return (item.key >> (kDigitBits * D)) & (kBuckets - 1);
}

template <int... D>
inline void CountDigits(const Cell& item, Histograms& histograms, std::integer_sequence<int, D...>) {
  (++histograms[D][DigitOf<D>(item)], ...);
}

// One pass of the radix sort: items to swap by digit D, in order within each bucket. Returns
// false (and moves nothing) when every item has the same digit.
template <int D>
bool ScatterByDigit(const Cell* items, Cell* swap, size_t count, std::array<uint32_t, kBuckets>& histogram) {
  if (histogram[DigitOf<D>(items[0])] == count) return false;
  uint32_t sum = 0;
  for (uint32_t& bucket : histogram) {
    const uint32_t n = bucket;
    bucket = sum;
    sum += n;
  }
  for (size_t i = 0; i < count; ++i) {
    const Cell item = items[i];
    swap[histogram[DigitOf<D>(item)]++] = item;
  }
  return true;
}

template <int... D>
Cell* ScatterAll(Cell* items, Cell* swap, size_t count, Histograms& histograms,
                 std::integer_sequence<int, D...>) {
  ((ScatterByDigit<D>(items, swap, count, histograms[D]) ? (std::swap(items, swap), 0) : 0), ...);
  return items;
}

// Sorts the count items at items ascending by key, stably, using swap (room for count items)
// as the second buffer; returns where the sorted items are (items or swap). LSD radix sort,
// 11-bit digits, least significant first; a digit that is the same for every item is skipped.
Cell* SortByKey(Cell* items, Cell* swap, size_t count) {
  const auto digits = std::make_integer_sequence<int, kDigits>();
  auto histograms = std::make_unique<Histograms>();
  for (size_t i = 0; i < count; ++i) CountDigits(items[i], *histograms, digits);
  return ScatterAll(items, swap, count, *histograms, digits);
}

// Sorts the count items at first (ids of values, in id order, keyed by their z) descending by
// value and then ascending by id, into second (room for count items; first is the other
// buffer). Stable sorts by z, then y, then x give that order; few items go through std::sort.
void SortItems(const std::vector<Point3>& values, Cell* first, Cell* second, size_t count) {
  if (count <= 64) {
    std::sort(first, first + count, [&values](const Cell& a, const Cell& b) {
      const DescendingKeys ka = KeysOf(values[a.id]);
      const DescendingKeys kb = KeysOf(values[b.id]);
      for (int d = 0; d < 3; ++d)
        if (ka.of[d] != kb.of[d]) return ka.of[d] < kb.of[d];
      return a.id < b.id;
    });
    std::copy(first, first + count, second);
    return;
  }
  Cell* items = SortByKey(first, second, count);
  for (int d = 1; d >= 0; --d) {
    const float Point3::*component = d == 1 ? &Point3::y : &Point3::x;
    for (size_t i = 0; i < count; ++i)
      items[i].key = DescendingKey(CanonicalFloatBits(values[items[i].id].*component));
    Cell* other = items == first ? second : first;
    items = SortByKey(items, other, count);
  }
  if (items != second) std::copy(items, items + count, second);
}

// Walks the sorted items in order, calling visit(id, startsNewValue) for each; a value is new
// when it differs from the one before it (the first is new).
template <typename Visit>
void WalkSorted(const SortedValues& sorted, const std::vector<Point3>& values, Visit visit) {
  PointKey last{};
  for (uint32_t i = 0; i < sorted.count; ++i) {
    const uint32_t id = sorted.items[i].id;
    const PointKey key = MakePointKey(values[id]);
    visit(id, i == 0 || !PointKeysEqual(key, last));
    last = key;
  }
}

// Turns every id of ids (the slots and the corners' own ids) into the position positionOfId
// gives it. The texts of format are those of a walk over the corners: each is set when the
// share of the ids mapped reaches that of the corners at which the walk would set it.
void MapIds(CornerIds& ids, const std::vector<uint32_t>& positionOfId, const char* format,
            ConsolidationProgress& progress) {
  const uint32_t* position = positionOfId.data();
  const auto mapSlots = [position](std::vector<uint32_t>& slots, size_t& from, size_t& to) {
    const size_t end = std::min(to, slots.size());
    for (size_t i = from; i < end; ++i)
      if (slots[i] != kNoId) slots[i] = position[slots[i]];
    from = from > slots.size() ? from - slots.size() : 0;
    to -= end;
  };
  std::vector<uint32_t>* const lists[] = {&ids.bySlot, &ids.byFace, &ids.byFurther};
  const uint64_t total = ids.IdCount();
  const uint32_t corners = ids.cornerCount;
  uint64_t done = 0;
  for (uint32_t c = 0; c < corners;) {
    const uint32_t next = progress.Show(format, c, corners);
    const uint64_t upTo = total * next / corners;
    // The ids from done to upTo, in the order of the lists and then the own ids.
    size_t from = done;
    size_t to = upTo;
    for (std::vector<uint32_t>* list : lists) mapSlots(*list, from, to);
    for (size_t i = from; i < to; ++i) ids.ownIds[i].id = position[ids.ownIds[i].id];
    done = upTo;
    c = next;
  }
}

SortedValues SortChannelValues(const GatheredChannel& gathered, ConsolidationScratch& scratch) {
  const std::vector<Point3>& values = gathered.values;
  const auto met = static_cast<uint32_t>(values.size());
  std::vector<Cell>& cells = scratch.cells;
  cells.clear();  // nothing to keep: growing it then moves nothing
  cells.resize(size_t{2} * met);
  SortedValues sorted;
  for (uint32_t id = 0; id < met; ++id) {
    const PointKey key = MakePointKey(values[id]);
    if (PointKeyHasNaN(key)) {
      sorted.anyNaN = true;
      continue;
    }
    cells[sorted.count++] = Cell(DescendingKey(key.z), id);
  }
  Cell* const second = cells.data() + met;
  SortItems(values, cells.data(), second, sorted.count);
  sorted.items = second;
  return sorted;
}

void ConsolidateSortedValues(GatheredChannel& gathered, const SortedValues& sorted, const char* format,
                             ConsolidationProgress& progress, ConsolidationScratch& scratch,
                             IndexedChannel& channel) {
  std::swap(channel.indices, gathered.ids);  // ids, turned into positions at the end
  channel.values.clear();
  if (channel.indices.cornerCount != 0) {
    std::vector<Point3>& met = gathered.values;
    std::vector<uint32_t>& positionOfId = scratch.positionOfId;
    positionOfId.resize(met.size());
    // The distinct values are laid out from the start of the sort items, ahead of the sorted
    // items still to be read (a value is 12 bytes, an item 8, and the sorted items start after
    // as many items as values met), then copied over the values met, whose list becomes the
    // channel's: the channel needs no list of its own.
    auto* const staged = reinterpret_cast<unsigned char*>(scratch.cells.data());
    uint32_t distinct = 0;
    WalkSorted(sorted, met, [&](uint32_t id, bool startsNewValue) {
      // The first of the same values has the lowest id: its bits are kept.
      if (startsNewValue) std::memcpy(staged + sizeof(Point3) * distinct++, &met[id], sizeof(Point3));
      positionOfId[id] = distinct - 1;
    });
    // Values with a NaN follow all others, in id order.
    std::vector<Point3> withNaN;
    for (uint32_t id = 0; sorted.anyNaN && id < met.size(); ++id) {
      if (!PointHasNaN(met[id])) continue;
      positionOfId[id] = distinct + static_cast<uint32_t>(withNaN.size());
      withNaN.push_back(met[id]);
    }
    MapIds(channel.indices, positionOfId, format, progress);
    std::memcpy(met.data(), staged, sizeof(Point3) * distinct);
    met.resize(distinct);
    met.insert(met.end(), withNaN.begin(), withNaN.end());
    channel.values.swap(met);
  }
  gathered.Clear();
}

void ConsolidateInOrderMerged(GatheredChannel& gathered, const SortedValues& sorted,
                              ConsolidationProgress& progress, ConsolidationScratch& scratch,
                              IndexedChannel& channel) {
  std::vector<Point3>& met = gathered.values;
  channel.values.clear();
  std::swap(channel.indices, gathered.ids);
  if (channel.indices.cornerCount != 0) {
    // Each id's leader: the lowest id of the same value (the id itself for a value with a NaN).
    // In id order, a leader takes the next position and every other id its leader's, so the
    // values come in order of first occurrence.
    std::vector<uint32_t>& positionOfId = scratch.positionOfId;
    positionOfId.resize(met.size());
    uint32_t leader = 0;
    WalkSorted(sorted, met, [&](uint32_t id, bool startsNewValue) {
      if (startsNewValue) leader = id;
      positionOfId[id] = leader;
    });
    for (uint32_t id = 0; sorted.anyNaN && id < met.size(); ++id)
      if (PointHasNaN(met[id])) positionOfId[id] = id;
    // The leaders' values move forward over the values met (a leader's position is at most its
    // id), whose list becomes the channel's.
    uint32_t next = 0;
    for (uint32_t id = 0; id < met.size(); ++id) {
      const uint32_t lead = positionOfId[id];
      if (lead == id) {
        positionOfId[id] = next;
        met[next++] = met[id];
      } else {
        positionOfId[id] = positionOfId[lead];  // lead < id: already a position
      }
    }
    met.resize(next);
    channel.values.swap(met);
    MapIds(channel.indices, positionOfId, kConsolidatingVerticesText, progress);
  }
  gathered.Clear();
}

}  // namespace

uint32_t ConsolidationProgress::Show(const char* format, uint32_t i, uint32_t count) {
  Update(format, i, count);
  return nextCheck;
}

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

void ConsolidateSorted(GatheredChannel& gathered, const char* format, ConsolidationProgress& progress,
                       ConsolidationScratch& scratch, IndexedChannel& channel) {
  const SortedValues sorted = SortChannelValues(gathered, scratch);
  ConsolidateSortedValues(gathered, sorted, format, progress, scratch, channel);
}

void ConsolidateInOrder(GatheredChannel& gathered, bool mergeVertices, ConsolidationProgress& progress,
                        ConsolidationScratch& scratch, IndexedChannel& channel) {
  if (mergeVertices) {
    const SortedValues sorted = SortChannelValues(gathered, scratch);
    ConsolidateInOrderMerged(gathered, sorted, progress, scratch, channel);
    return;
  }
  // Every corner its own value: the value of its id, bit for bit.
  const auto count = gathered.CornerCount();
  channel.values.resize(count);
  channel.indices.Clear();
  channel.indices.cornerCount = count;
  channel.indices.bySlot.resize(count);
  for (uint32_t c = 0; c < count; ++c) {
    progress.Step(kConsolidatingVerticesText, c, count);
    channel.values[c] = gathered.CornerValue(c);
    channel.indices.bySlot[c] = c;
  }
  gathered.Clear();
}

}  // namespace cvm
