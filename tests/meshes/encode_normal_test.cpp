#include "meshes/encode_normal.h"

#include <gtest/gtest.h>

#include <limits>

namespace cvm {
namespace {

struct EncodeCase {
  Point3 n;
  int polar;
  int azimuth;
};

TEST(EncodeNormal, AxesDiagonalsAndDegenerateInputs) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const EncodeCase cases[] = {
      {{1, 0, 0}, 63, 0},
      {{0, 1, 0}, 63, 63},
      {{-1, 0, 0}, 63, 127},
      {{0, -1, 0}, 63, 193},  // -67 as a byte
      {{0, 0, 1}, 0, 0},
      {{0, 0, -1}, 128, 0},  // straight down is 128, not 127
      {{0.7071068f, 0.7071068f, 0}, 63, 31},
      {{-0.0f, 0.0f, 1}, 0, 0},   // -0 counts as 0 for the straight up/down test
      {{0, 0, 0}, 128, 0},        // the zero vector is "down"
      {{0, 0, nan}, 128, 0},      // NaN z: not > 0
      {{nan, 0, 0}, 63, 0},       // atan2 of NaN: 0x80000000 -> low byte 0
      {{0.6f, 0.0f, nan}, 0, 0},  // acos of NaN: 0
      {{nan, nan, nan}, 0, 0},
      {{1, 0, 1.0000001f}, 0, 0},  // acos outside its domain: NaN -> 0
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n.x << ", " << c.n.y << ", " << c.n.z);
    const EncodedNormal e = EncodeNormal(c.n);
    EXPECT_EQ(e.polar, c.polar);
    EXPECT_EQ(e.azimuth, c.azimuth);
  }
}

}  // namespace
}  // namespace cvm
