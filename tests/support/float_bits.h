// The bit pattern of a float and back: for comparing floats exactly (-0 differs from +0, NaN
// payloads count) and for building expected bytes of the file's f32 fields.
#pragma once

#include <cstdint>
#include <cstring>

namespace cvm::test {

inline uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline float FloatFromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace cvm::test
