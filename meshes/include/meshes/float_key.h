// What "the same value" means for the mesh channels, decided here once and used by every
// consolidation pass.
//
// Two floats are the same exactly when they compare equal as IEEE single-precision values:
// -0 and +0 are the same, every other value is the same only as its own bit pattern, and a
// NaN is never the same as anything, itself included. A point is the same as another when
// all three components are; a point with a NaN component is the same as nothing.
//
// The key of a float is its bit pattern with -0 folded into +0 (its canonical bits), so that
// equal non-NaN floats have equal keys.
// A NaN's key is never compared: callers test PointHasNaN first and keep such a point a value
// of its own. The order key turns canonical bits into an unsigned integer that sorts the way
// the floats compare (used to sort the values of a channel, which brings the same ones together).
#pragma once

#include <cstdint>
#include <cstring>

#include "host/geometry.h"

namespace cvm {

// Bit pattern of value with -0 folded into +0.
inline uint32_t CanonicalFloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == 0x80000000u ? 0u : bits;
}

inline bool FloatBitsAreNaN(uint32_t bits) {
  return (bits & 0x7FFFFFFFu) > 0x7F800000u;
}

// Unsigned key that orders like the float it comes from (canonical bits of a non-NaN float):
// negative values have all bits flipped, the others only the sign bit.
inline uint32_t FloatOrderKey(uint32_t canonicalBits) {
  return (canonicalBits & 0x80000000u) ? ~canonicalBits : (canonicalBits | 0x80000000u);
}

struct PointKey {
  uint32_t x;
  uint32_t y;
  uint32_t z;
};

inline PointKey MakePointKey(const Point3& p) {
  return {CanonicalFloatBits(p.x), CanonicalFloatBits(p.y), CanonicalFloatBits(p.z)};
}

inline bool PointKeyHasNaN(const PointKey& k) {
  return FloatBitsAreNaN(k.x) || FloatBitsAreNaN(k.y) || FloatBitsAreNaN(k.z);
}

inline bool PointHasNaN(const Point3& p) {
  return PointKeyHasNaN(MakePointKey(p));
}

// Equality of keys of NaN-free points; the same as SamePoint of the points they come from.
inline bool PointKeysEqual(const PointKey& a, const PointKey& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The one equality of the channels (see the top of this file).
inline bool SamePoint(const Point3& a, const Point3& b) {
  const PointKey ka = MakePointKey(a);
  const PointKey kb = MakePointKey(b);
  return !PointKeyHasNaN(ka) && PointKeysEqual(ka, kb);
}

}  // namespace cvm
