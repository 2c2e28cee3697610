// The one equality, hash and order of channel values, over the awkward floats.
#include "meshes/float_key.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/float_bits.h"

namespace cvm {
namespace {

using test::FloatFromBits;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kDenormMin = std::numeric_limits<float>::denorm_min();

struct SameCase {
  const char* what;
  Point3 a;
  Point3 b;
  bool same;
};

TEST(FloatKey, SamePointFollowsFloatEquality) {
  const SameCase cases[] = {
      {"identical", {1, 2, 3}, {1, 2, 3}, true},
      {"+0 and -0 in x", {0.0f, 1, 1}, {-0.0f, 1, 1}, true},
      {"-0 everywhere", {-0.0f, -0.0f, -0.0f}, {0, 0, 0}, true},
      {"NaN with itself", {kNaN, 0, 0}, {kNaN, 0, 0}, false},
      {"NaN in z only", {1, 1, kNaN}, {1, 1, kNaN}, false},
      {"NaN against a number", {kNaN, 0, 0}, {0, 0, 0}, false},
      {"other NaN payload", {FloatFromBits(0x7FC00001), 0, 0}, {FloatFromBits(0x7FC00001), 0, 0}, false},
      {"negative NaN", {FloatFromBits(0xFFC00000), 0, 0}, {FloatFromBits(0xFFC00000), 0, 0}, false},
      {"smallest denormal with itself", {kDenormMin, 0, 0}, {kDenormMin, 0, 0}, true},
      {"smallest denormal and zero", {kDenormMin, 0, 0}, {0, 0, 0}, false},
      {"+denormal and -denormal", {kDenormMin, 0, 0}, {-kDenormMin, 0, 0}, false},
      {"two denormals", {FloatFromBits(1), 0, 0}, {FloatFromBits(2), 0, 0}, false},
      {"last bit of y", {1, 1.0f, 1}, {1, std::nextafter(1.0f, 2.0f), 1}, false},
      {"last bit below", {1, 1, 1.0f}, {1, 1, std::nextafter(1.0f, 0.0f)}, false},
      {"only w (z) differs", {0.5f, 0.5f, 0}, {0.5f, 0.5f, 1}, false},
      {"infinities", {kInf, -kInf, 0}, {kInf, -kInf, 0}, true},
      {"+inf and -inf", {kInf, 0, 0}, {-kInf, 0, 0}, false},
      {"components swapped", {1, 2, 3}, {1, 3, 2}, false},
  };
  for (const SameCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SamePoint(c.a, c.b), c.same);
    EXPECT_EQ(SamePoint(c.b, c.a), c.same);
    // The equality agrees with IEEE comparison of the components.
    const bool ieee = c.a.x == c.b.x && c.a.y == c.b.y && c.a.z == c.b.z;
    EXPECT_EQ(ieee, c.same);
    // Keys of NaN-free points decide equality.
    if (!PointHasNaN(c.a) && !PointHasNaN(c.b)) {
      EXPECT_EQ(PointKeysEqual(MakePointKey(c.a), MakePointKey(c.b)), c.same);
    }
  }
}

TEST(FloatKey, NaNIsDetectedInAnyComponentAndInfinityIsNot) {
  EXPECT_TRUE(PointHasNaN({kNaN, 0, 0}));
  EXPECT_TRUE(PointHasNaN({0, kNaN, 0}));
  EXPECT_TRUE(PointHasNaN({0, 0, FloatFromBits(0xFF800001)}));  // signalling, negative
  EXPECT_FALSE(PointHasNaN({kInf, -kInf, FloatFromBits(0x7F7FFFFF)}));
}

TEST(FloatKey, OrderKeySortsLikeTheFloats) {
  // Ascending, as the floats compare; -0 folded into +0 gives one key for both.
  const float ascending[] = {-kInf,
                             -std::numeric_limits<float>::max(),
                             -1.0f,
                             -std::nextafter(0.0f, 1.0f) * 2,
                             -kDenormMin,
                             0.0f,
                             kDenormMin,
                             FloatFromBits(2),
                             std::numeric_limits<float>::min(),
                             1.0f,
                             std::nextafter(1.0f, 2.0f),
                             std::numeric_limits<float>::max(),
                             kInf};
  const size_t n = sizeof ascending / sizeof ascending[0];
  for (size_t i = 0; i + 1 < n; ++i) {
    SCOPED_TRACE(i);
    EXPECT_LT(FloatOrderKey(CanonicalFloatBits(ascending[i])),
              FloatOrderKey(CanonicalFloatBits(ascending[i + 1])));
  }
  EXPECT_EQ(FloatOrderKey(CanonicalFloatBits(-0.0f)), FloatOrderKey(CanonicalFloatBits(0.0f)));
}

}  // namespace
}  // namespace cvm
