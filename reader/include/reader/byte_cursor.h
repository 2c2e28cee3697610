// Bounds-checked little-endian field reading over a byte buffer, for the section readers.
// Every Read* either consumes its field and returns true, or leaves the cursor where the
// field starts, records an error at that offset and returns false. Values are assembled from
// bytes with shifts, so the host's byte order never matters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "reader/cvm_reader.h"

namespace cvm::reader {

struct ByteCursor {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t offset = 0;
  std::string context;  // the record being read ("mesh 2"); prefixes every message
  ReadError* error = nullptr;
};

inline size_t Remaining(const ByteCursor& c) {
  return c.size - c.offset;
}

inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline float LoadF32(const uint8_t* p) {
  const uint32_t bits = LoadU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Records "<context>: message" at `offset` and returns false, so callers can `return Fail(...)`.
bool Fail(ByteCursor& c, size_t offset, const std::string& message);

// Fails unless `bytes` more bytes remain; the message names `field`.
bool Need(ByteCursor& c, uint64_t bytes, const char* field);

// Fails unless `count` elements of at least `elementSize` bytes each fit in what remains.
// Called with the count just read (at `countOffset`), before anything is sized by it.
bool CheckCount(ByteCursor& c, size_t countOffset, uint64_t count, uint64_t elementSize, const char* what);

bool ReadU8(ByteCursor& c, const char* field, uint8_t& out);
bool ReadU16(ByteCursor& c, const char* field, uint16_t& out);
bool ReadU32(ByteCursor& c, const char* field, uint32_t& out);
bool ReadF32(ByteCursor& c, const char* field, float& out);
bool ReadVec3(ByteCursor& c, const char* field, Vec3& out);
bool ReadColor16(ByteCursor& c, const char* field, Color16& out);

// A flag field of the given width (1, 2 or 4 bytes) whose value must be 0 or 1.
bool ReadFlag(ByteCursor& c, size_t width, const char* field, bool& out);

// Bytes up to a 0 byte, which is consumed; fails if no 0 byte comes before the end.
bool ReadString(ByteCursor& c, const char* field, std::string& out);

}  // namespace cvm::reader
