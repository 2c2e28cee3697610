#include "meshes/write_blocks.h"

#include <algorithm>
#include <cstring>

namespace cvm {
namespace {

inline uint8_t* PutU16At(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  return out + 2;
}

inline uint8_t* PutU32At(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  out[2] = static_cast<uint8_t>((value >> 16) & 0xFF);
  out[3] = static_cast<uint8_t>((value >> 24) & 0xFF);
  return out + 4;
}

inline uint8_t* PutF32At(uint8_t* out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return PutU32At(out, bits);
}

// Writes count items of itemSize (at most 16) bytes each, as many as fit into the stream's buffer at a
// time; put(out, i) writes item i at out and returns the address after it.
template <typename PutItem>
void WriteItems(size_t count, size_t itemSize, OutputStream& stream, PutItem put) {
  size_t i = 0;
  while (i < count) {
    size_t available = 0;
    uint8_t* out = stream.WritableBytes(itemSize, available);
    if (available < itemSize) {
      // A stream buffer smaller than one item: the item goes through a copy of its own.
      uint8_t item[16];
      put(item, i++);
      stream.PutBytes(item, itemSize);
      continue;
    }
    const size_t n = std::min(count - i, available / itemSize);
    for (const size_t end = i + n; i < end; ++i) out = put(out, i);
    stream.CommitBytes(n * itemSize);
  }
}

}  // namespace

void WriteU32Block(const uint32_t* values, size_t count, OutputStream& stream) {
  WriteItems(count, 4, stream, [values](uint8_t* out, size_t i) { return PutU32At(out, values[i]); });
}

void WritePointXZYBlock(const Point3* points, size_t count, OutputStream& stream) {
  WriteItems(count, 12, stream, [points](uint8_t* out, size_t i) {
    out = PutF32At(out, points[i].x);
    out = PutF32At(out, points[i].z);
    return PutF32At(out, points[i].y);
  });
}

void WritePointXYBlock(const Point3* points, size_t count, OutputStream& stream) {
  WriteItems(count, 8, stream, [points](uint8_t* out, size_t i) {
    out = PutF32At(out, points[i].x);
    return PutF32At(out, points[i].y);
  });
}

void WriteU16Block(const uint16_t* values, size_t count, OutputStream& stream) {
  WriteItems(count, 2, stream, [values](uint8_t* out, size_t i) { return PutU16At(out, values[i]); });
}

void WriteReversedFaceBlock(const uint32_t* faces, size_t count, OutputStream& stream) {
  WriteItems(count, 12, stream, [faces](uint8_t* out, size_t i) {
    const uint32_t first = 3 * faces[i];
    out = PutU32At(out, first + 2);
    out = PutU32At(out, first + 1);
    return PutU32At(out, first);
  });
}

}  // namespace cvm
