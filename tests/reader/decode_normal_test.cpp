// DecodeNormal against the encoder's documented examples, within one quantisation step.
#include <gtest/gtest.h>

#include <cmath>

#include "reader/cvm_reader.h"

namespace cvm::reader::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStep = 2.0 * kPi / 255.0;

struct NormalExample {
  double x, y, z;
  uint8_t polar, azimuth;
};

TEST(DecodeNormal, EncoderExamplesWithinOneStepPerAngle) {
  const NormalExample examples[] = {
      {1, 0, 0, 63, 0},
      {0, 1, 0, 63, 63},
      {-1, 0, 0, 63, 127},
      {0, -1, 0, 63, 193},
      {0, 0, 1, 0, 0},
      {0, 0, -1, 128, 0},
      {0.7071068, 0.7071068, 0, 63, 31},
  };
  for (const NormalExample& e : examples) {
    const Vec3 d = DecodeNormal(e.polar, e.azimuth);
    SCOPED_TRACE(::testing::Message() << "(" << e.x << ", " << e.y << ", " << e.z << ")");
    EXPECT_NEAR(std::sqrt(double{d.x} * d.x + double{d.y} * d.y + double{d.z} * d.z), 1.0, 1e-6);
    EXPECT_NEAR(std::acos(std::clamp(double{d.z}, -1.0, 1.0)), std::acos(e.z), kStep);
    if (std::hypot(e.x, e.y) > 0.5) {
      double dAzimuth = std::atan2(double{d.y}, double{d.x}) - std::atan2(e.y, e.x);
      dAzimuth = std::remainder(dAzimuth, 2 * kPi);
      EXPECT_LE(std::fabs(dAzimuth), kStep);
    }
  }
}

TEST(DecodeNormal, StraightDownAndUpAreExact) {
  const Vec3 down = DecodeNormal(128, 0);
  EXPECT_EQ(down.x, 0.0f);
  EXPECT_EQ(down.y, 0.0f);
  EXPECT_EQ(down.z, -1.0f);
  const Vec3 up = DecodeNormal(0, 0);
  EXPECT_EQ(up.z, 1.0f);
}

TEST(DecodeNormal, NegativeAzimuthIsASignedByte) {
  // 193 is -63 steps: toward -y, not +y past the half turn.
  const Vec3 d = DecodeNormal(63, 193);
  EXPECT_LT(d.y, -0.99f);
  const Vec3 e = DecodeNormal(63, 129);  // -127 steps: just short of -x from below
  EXPECT_LT(e.x, -0.99f);
  EXPECT_LT(e.y, 0.0f);
}

}  // namespace
}  // namespace cvm::reader::test
