#include "meshes/encode_normal.h"

#include <cmath>

#include "format/float_to_int.h"

namespace cvm {
namespace {

// Radians to degrees, and degrees to steps of 360/255, both rounded to single precision as
// the format has always used them; the products are then taken in double precision.
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kStepsPerDegree = 0.70833331f;

uint8_t AngleToSteps(double radians) {
  const double steps =
      radians * static_cast<double>(kDegreesPerRadian) * static_cast<double>(kStepsPerDegree);
  return static_cast<uint8_t>(static_cast<uint32_t>(TruncateToInt32(steps)) & 0xFF);
}

}  // namespace

EncodedNormal EncodeNormal(const Point3& n) {
  if (n.x == 0.0f && n.y == 0.0f) return n.z > 0.0f ? EncodedNormal{0, 0} : EncodedNormal{128, 0};
  return {AngleToSteps(std::acos(static_cast<double>(n.z))),
          AngleToSteps(std::atan2(static_cast<double>(n.y), static_cast<double>(n.x)))};
}

}  // namespace cvm
