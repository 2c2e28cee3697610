#include "meshes/write_blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace cvm {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written(const std::function<void(OutputStream&)>& write, size_t bufferSize) {
  MemorySink sink;
  OutputStream stream(sink, bufferSize);
  write(stream);
  EXPECT_TRUE(stream.Flush());
  return sink.bytes;
}

// Each block writer against the field writers it stands for, through stream buffers smaller
// than one item, between one and two items, and large; the blocks are long enough to fill
// several buffers and start after an odd byte, so items straddle buffer ends.
TEST(WriteBlocks, SameBytesAsOneFieldWriterPerValue) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<Point3> points;
  std::vector<uint32_t> values;
  std::vector<uint16_t> halves;
  for (uint32_t i = 0; i < 3001; ++i) {
    points.push_back({static_cast<float>(i) * 0.37f - 50.0f, i % 7 == 0 ? -0.0f : 1.0f / (1.0f + i),
                      i % 11 == 0 ? nan : static_cast<float>(i) / 512.0f});
    values.push_back(i * 2654435761u);
    halves.push_back(static_cast<uint16_t>(i * 40503u));
  }
  struct Case {
    const char* what;
    std::function<void(OutputStream&)> block;
    std::function<void(OutputStream&)> fields;
  };
  const Case cases[] = {
      {"u32", [&](OutputStream& s) { WriteU32Block(values.data(), values.size(), s); },
       [&](OutputStream& s) {
         for (const uint32_t v : values) WriteU32(v, s);
       }},
      {"points x, z, y", [&](OutputStream& s) { WritePointXZYBlock(points.data(), points.size(), s); },
       [&](OutputStream& s) {
         for (const Point3& p : points) WritePointXZY(p, s);
       }},
      {"points x, y", [&](OutputStream& s) { WritePointXYBlock(points.data(), points.size(), s); },
       [&](OutputStream& s) {
         for (const Point3& p : points) {
           WriteF32(p.x, s);
           WriteF32(p.y, s);
         }
       }},
      {"u16", [&](OutputStream& s) { WriteU16Block(halves.data(), halves.size(), s); },
       [&](OutputStream& s) {
         for (const uint16_t v : halves) WriteU16(v, s);
       }},
      {"reversed faces", [&](OutputStream& s) { WriteReversedFaceBlock(values.data(), 1000, s); },
       [&](OutputStream& s) {
         for (size_t f = 0; f < 1000; ++f) {
           WriteU32(3 * values[f] + 2, s);
           WriteU32(3 * values[f] + 1, s);
           WriteU32(3 * values[f], s);
         }
       }},
  };
  for (const size_t bufferSize :
       {size_t{1}, size_t{5}, size_t{12}, size_t{13}, size_t{4096}, size_t{1} << 20}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", buffer " << bufferSize);
      const auto withLeadingByte = [](const std::function<void(OutputStream&)>& write) {
        return [write](OutputStream& s) {
          s.PutByte(0xAB);
          write(s);
          s.PutByte(0xCD);
        };
      };
      const Bytes expected = Written(withLeadingByte(c.fields), 1 << 20);
      EXPECT_EQ(Written(withLeadingByte(c.block), bufferSize), expected);
    }
  }
}

TEST(WriteBlocks, EmptyBlocksWriteNothing) {
  for (const size_t bufferSize : {size_t{1}, size_t{4096}}) {
    EXPECT_TRUE(Written([](OutputStream& s) { WriteU32Block(nullptr, 0, s); }, bufferSize).empty());
    EXPECT_TRUE(Written([](OutputStream& s) { WriteReversedFaceBlock(nullptr, 0, s); }, bufferSize).empty());
  }
}

}  // namespace
}  // namespace cvm
