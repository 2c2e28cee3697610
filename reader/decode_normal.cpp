#include <cmath>

#include "reader/cvm_reader.h"

namespace cvm::reader {

Vec3 DecodeNormal(uint8_t polar, uint8_t azimuth) {
  // The encoder never reaches polar 128 by the formula (acos tops out at step 127) and uses it
  // only as its marker for straight down.
  if (polar == 128) return {0.0f, 0.0f, -1.0f};
  constexpr double kRadiansPerStep = 2.0 * 3.14159265358979323846 / 255.0;
  const double theta = polar * kRadiansPerStep;
  const double phi = static_cast<int8_t>(azimuth) * kRadiansPerStep;
  return {static_cast<float>(std::sin(theta) * std::cos(phi)),
          static_cast<float>(std::sin(theta) * std::sin(phi)), static_cast<float>(std::cos(theta))};
}

}  // namespace cvm::reader
