// Float to integer conversions whose result the file depends on.
#pragma once

#include <climits>
#include <cstdint>

namespace cvm {

// Float to 32-bit integer, truncating toward zero, defined for every input the way the x86
// conversion instruction behaves: NaN, infinities and values outside the signed 32-bit range
// give INT32_MIN (0x80000000).
inline int32_t TruncateToInt32(double value) {
  // The comparison is false for NaN, so NaN falls through to the sentinel as well.
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  return INT32_MIN;
}

}  // namespace cvm
