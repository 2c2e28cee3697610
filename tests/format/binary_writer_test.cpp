#include "format/binary_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "format/records.h"

namespace cvm {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written(const std::function<void(OutputStream&)>& write, size_t bufferSize = 1 << 20) {
  MemorySink sink;
  {
    OutputStream stream(sink, bufferSize);
    write(stream);
    EXPECT_TRUE(stream.Flush());
  }
  return sink.bytes;
}

struct FieldCase {
  const char* what;
  std::function<void(OutputStream&)> write;
  Bytes expected;
};

TEST(BinaryWriter, FieldsAreLittleEndianAndExact) {
  const float negativeZero = -0.0f;
  const std::vector<FieldCase> cases = {
      {"u16 keeps the low 16 bits", [](OutputStream& s) { WriteU16(74565, s); }, {0x45, 0x23}},
      {"u16 one", [](OutputStream& s) { WriteU16(1, s); }, {0x01, 0x00}},
      {"u32", [](OutputStream& s) { WriteU32(0x11223344, s); }, {0x44, 0x33, 0x22, 0x11}},
      {"u32 minus one",
       [](OutputStream& s) { WriteU32(static_cast<uint32_t>(-1), s); },
       {0xFF, 0xFF, 0xFF, 0xFF}},
      {"f32 one", [](OutputStream& s) { WriteF32(1.0f, s); }, {0x00, 0x00, 0x80, 0x3F}},
      {"f32 negative zero", [=](OutputStream& s) { WriteF32(negativeZero, s); }, {0x00, 0x00, 0x00, 0x80}},
      {"f32 NaN bit for bit",
       [](OutputStream& s) { WriteF32(std::numeric_limits<float>::quiet_NaN(), s); },
       {0x00, 0x00, 0xC0, 0x7F}},
      {"string fits with padding",
       [](OutputStream& s) { WriteFixedString("abc", 4, s); },
       {'a', 'b', 'c', 0}},
      {"string padded to width",
       [](OutputStream& s) { WriteFixedString("abc", 6, s); },
       {'a', 'b', 'c', 0, 0, 0}},
      {"string cut to width - 1",
       [](OutputStream& s) { WriteFixedString("abcdef", 4, s); },
       {'a', 'b', 'c', 0}},
      {"empty string width 1", [](OutputStream& s) { WriteFixedString("", 1, s); }, {0}},
      {"string field", [](OutputStream& s) { WriteString("Mat1", s); }, {'M', 'a', 't', '1', 0}},
      {"point written x, z, y",
       [](OutputStream& s) {
         WritePointXZY(format::Vec3{1, 2, 3}, s);
       },
       {0, 0, 0x80, 0x3F, 0, 0, 0x40, 0x40, 0, 0, 0, 0x40}},
      {"colour",
       [](OutputStream& s) {
         WriteColorU16(format::Vec3{1.0f, 0.5f, 0.0f}, s);
       },
       {0xFF, 0x00, 0x80, 0x00, 0x00, 0x00}},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(Written(c.write), c.expected) << c.what;
    // The same bytes whatever the staging buffer's size.
    EXPECT_EQ(Written(c.write, 1), c.expected) << c.what << " (one-byte buffer)";
  }
}

TEST(BinaryWriter, ColorToU16WrapsWithoutClamping) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float component;
    uint16_t expected;
  } cases[] = {
      {0.0f, 0},
      {0.5f, 128},
      {1.0f, 255},
      {1.2f, 306},
      {1.5f, 383},
      {-0.5f, 65409},
      {-0.0f, 0},
      // Beyond the 32-bit range and NaN: the x86 conversion result 0x80000000, low bits 0.
      {std::nanf(""), 0},
      {inf, 0},
      {-inf, 0},
      {1e30f, 0},
      // Large but in range: the low 16 bits of the integer.
      {1000.0f, static_cast<uint16_t>(255000 & 0xFFFF)},
      // Rounded down, not toward zero: -25.0000004 gives -26.
      {-0.1f, 65510},
      // The last floats in the 32-bit range and the first ones past it, on both sides.
      {8421504.0f, 65408},  // 2147483520
      {8421505.0f, 0},      // 2147483775.5
      {-8421504.0f, 128},   // -2147483520, 0x80000080
      {-8421505.0f, 0},     // -2147483774.5
  };
  for (const auto& c : cases) EXPECT_EQ(ColorToU16(c.component), c.expected) << c.component;
}

// A sink that accepts limit bytes and then fails, like a disk that fills up.
class FillingSink final : public ByteSink {
 public:
  explicit FillingSink(size_t limit) : limit_(limit) {}
  bool Append(const uint8_t* data, size_t size, std::string& error) override {
    if (bytes.size() + size > limit_) {
      error = "No space left on device";
      return false;
    }
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;

 private:
  size_t limit_;
};

TEST(OutputStream, RemembersTheFirstFailureAndDropsLaterWrites) {
  FillingSink sink(8);
  OutputStream stream(sink, 4);
  for (uint32_t i = 0; i < 5; ++i) WriteU32(i, stream);
  EXPECT_FALSE(stream.Flush());
  EXPECT_TRUE(stream.Failed());
  EXPECT_EQ(stream.Error(), "No space left on device");
  EXPECT_EQ(sink.bytes.size(), 8u);
  EXPECT_EQ(stream.BytesWritten(), 20u);
}

}  // namespace
}  // namespace cvm
