#include "tests/support/corner_records.h"

namespace cvm {

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

GatheredChannel ChannelOfRecords(const std::vector<CornerRecord>& records) {
  GatheredChannel channel;
  channel.ids.bySlot.resize(records.size());
  channel.ids.cornerCount = static_cast<uint32_t>(records.size());
  for (const CornerRecord& record : records) channel.ids.bySlot[record.corner] = channel.Add(record.value);
  return channel;
}

void ConsolidateSorted(const std::vector<CornerRecord>& records, const char* format,
                       ConsolidationProgress& progress, ConsolidationScratch& scratch,
                       IndexedChannel& channel) {
  GatheredChannel gathered = ChannelOfRecords(records);
  ConsolidateSorted(gathered, format, progress, scratch, channel);
}

void ConsolidateInOrder(const std::vector<CornerRecord>& records, bool mergeVertices,
                        ConsolidationProgress& progress, ConsolidationScratch& scratch,
                        IndexedChannel& channel) {
  GatheredChannel gathered = ChannelOfRecords(records);
  ConsolidateInOrder(gathered, mergeVertices, progress, scratch, channel);
}

}  // namespace cvm
