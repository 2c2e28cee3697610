// The file's byte order: every number little-endian, whatever the machine. Values are taken
// apart and put together with shifts, never by copying the machine's integers.
#pragma once

#include <cstdint>
#include <cstring>

namespace cvm::format {

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

// Each Store writes its bytes at out and returns the address after them.
inline uint8_t* StoreU16(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  return out + 2;
}
inline uint8_t* StoreU32(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  out[2] = static_cast<uint8_t>((value >> 16) & 0xFF);
  out[3] = static_cast<uint8_t>((value >> 24) & 0xFF);
  return out + 4;
}
inline uint8_t* StoreF32(uint8_t* out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return StoreU32(out, bits);
}

}  // namespace cvm::format
