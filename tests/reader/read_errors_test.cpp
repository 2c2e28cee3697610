// Invalid files: each problem is rejected with the offset of the offending field and a
// message that names it; hostile counts are refused before anything is allocated.
#include <gtest/gtest.h>

#include <functional>

#include "reader/cvm_reader.h"
#include "tests/reader/byte_builder.h"
#include "tests/support/allocation_counter.h"

namespace cvm::reader::test {
namespace {

void PutU8(std::vector<uint8_t>& b, size_t at, uint8_t v) {
  b.at(at) = v;
}
void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b.at(at) = v & 0xFF;
  b.at(at + 1) = v >> 8;
}
void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  PutU16(b, at, v & 0xFFFF);
  PutU16(b, at + 2, v >> 16);
}

struct Corruption {
  const char* name;
  const char* mark;  // field in FullFile()
  size_t delta;      // bytes into that field
  int width;         // 1, 2 or 4 bytes written
  uint32_t value;
  const char* message;  // expected part of the error message
};

const Corruption kCorruptions[] = {
    {"texture index", "texture0.index", 0, 4, 1, "texture 0: index 1 differs from the record's position 0"},
    {"empty texture name", "texture0", 0, 1, 0, "texture 0: empty name"},
    {"material index", "material0.index", 0, 4, 5,
     "material 0: index 5 differs from the record's position 0"},
    {"two-sided flag", "material0.twoSided", 0, 4, 2, "material 0: two-sided flag is 2, not 0 or 1"},
    {"colour key flag", "material0.colorKeyFlag", 0, 4, 0x100, "material 0: colour key flag is 256"},
    {"U/V 1 flag", "material0.uv1Flag", 0, 4, 3, "material 0: U/V 1 flag is 3"},
    {"HF/VF 2 flag", "material0.frames2Flag", 0, 4, 7, "material 0: HF/VF 2 flag is 7"},
    {"texture reference", "material0.refs", 4, 4, 3,
     "material 0: texture reference 1 (slot 6) is 3, out of range (3 textures)"},
    {"position index", "mesh0.positionIndices", 4, 4, 7,
     "mesh 0: position index 7 out of range (3 positions)"},
    {"texture-coordinate index", "mesh0.uvIndices", 8, 4, 2,
     "mesh 0: texture-coordinate index 2 out of range (2 texture coordinates)"},
    {"normal index", "mesh0.normalIndices", 0, 4, 1, "mesh 0: normal index 1 out of range (1 normals)"},
    {"texture-coordinate flag", "mesh0.uvFlag", 0, 2, 2, "mesh 0: texture-coordinate flag is 2"},
    {"normal flag", "mesh1.normalFlag", 0, 2, 0x100, "mesh 1: normal flag is 256"},
    {"colour count", "mesh0.colorCount", 0, 4, 2,
     "mesh 0: colour count 2 is neither 0 nor the corner count 3"},
    {"face count", "mesh0.faceCount", 0, 4, 2, "mesh 0: face count 2 does not match the corner count 3"},
    {"group material", "mesh0.group0", 0, 2, 2,
     "mesh 0: group 0: material index 2 out of range (2 materials)"},
    {"corner serial", "mesh0.group0.faces", 4, 4, 3,
     "mesh 0: group 0: face 0: corner 3 out of range (3 corners)"},
    {"groups exceed faces", "mesh1.group1.faceCount", 0, 4, 2,
     "mesh 1: group 1: face count 2 brings the groups to 3 faces, more than the mesh's 2"},
    {"groups short of faces", "mesh1.groupCount", 0, 4, 1, "mesh 1: the groups hold 1 faces, the mesh has 2"},
    {"light type", "light0.type", 0, 2, 5, "light 0: type code 5 is not 0 to 4"},
    {"user-text flag", "light0.userTextFlag", 0, 2, 2, "light 0: user-text flag is 2"},
    {"helper user-text flag", "helper0.userTextFlag", 0, 2, 0xFFFF, "helper 0: user-text flag is 65535"},
    {"closed flag", "spline0.spline0.closed", 0, 1, 2, "spline record 0: spline 0 closed flag is 2"},
    {"header count", "meshCount", 0, 4, 0xFFFFFFFF, "header: mesh count 4294967295"},
};

class CorruptionTest : public ::testing::TestWithParam<Corruption> {};

TEST_P(CorruptionTest, RejectedAtTheFieldWithItsName) {
  const Corruption& k = GetParam();
  const ByteBuilder built = FullFile();
  std::vector<uint8_t> bytes = built.bytes;
  const size_t at = built.At(k.mark) + k.delta;
  if (k.width == 1) PutU8(bytes, at, static_cast<uint8_t>(k.value));
  if (k.width == 2) PutU16(bytes, at, static_cast<uint16_t>(k.value));
  if (k.width == 4) PutU32(bytes, at, k.value);

  CvmFile file;
  ReadError error;
  ASSERT_FALSE(ReadCvm(bytes.data(), bytes.size(), file, error));
  EXPECT_EQ(error.kind, ReadErrorKind::Format);
  EXPECT_EQ(error.offset, at) << error.message;
  EXPECT_NE(error.message.find(k.message), std::string::npos) << error.message;
}

std::string CorruptionName(const ::testing::TestParamInfo<Corruption>& param) {
  std::string name = param.param.name;
  for (char& ch : name)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Table, CorruptionTest, ::testing::ValuesIn(kCorruptions), CorruptionName);

TEST(ReadErrors, FormattedWithOffset) {
  ReadError error;
  error.offset = 1234;
  error.message = "mesh 0: position index 7 out of range (3 positions)";
  EXPECT_EQ(FormatReadError(error), "offset 1234: mesh 0: position index 7 out of range (3 positions)");
}

TEST(ReadErrors, TrailingBytesRejectedWhereTheFileShouldEnd) {
  for (size_t extra : {1u, 2u, 100u}) {
    std::vector<uint8_t> bytes = FullFile().bytes;
    const size_t end = bytes.size();
    bytes.resize(end + extra, 0);
    CvmFile file;
    ReadError error;
    ASSERT_FALSE(ReadCvm(bytes.data(), bytes.size(), file, error));
    EXPECT_EQ(error.offset, end);
    EXPECT_EQ(error.message, std::to_string(extra) + " bytes after the last record; the file must end there");
  }
}

struct Truncation {
  bool empty;  // cut EmptyFile() instead of FullFile()
  const char* mark;
  size_t delta;  // the file is cut at mark + delta
  const char* errorMark;
  const char* message;
};

TEST(ReadErrors, TruncationReportedAtTheFieldThatIsCut) {
  const Truncation cases[] = {
      {false, "meshCount", 6, nullptr, "header: needs 20 bytes, 10 remain"},
      {true, "textureCount", 2, "textureCount", "material section: texture count: needs 4 bytes, 2 remain"},
      {false, "textureCount", 2, "meshCount", "header: mesh count 2: the records need at least 80 bytes"},
      {false, "spline1", 3, "spline1",
       "spline record 1: name: no terminating 0 byte before the end of the file"},
      {false, "mesh0.positionCount", 20, "mesh0.positionCount",
       "mesh 0: position count 3 needs at least 36 bytes, 16 remain"},
  };
  for (const Truncation& t : cases) {
    const ByteBuilder built = t.empty ? EmptyFile() : FullFile();
    const size_t cut = built.At(t.mark) + t.delta;
    CvmFile file;
    ReadError error;
    ASSERT_FALSE(ReadCvm(built.bytes.data(), cut, file, error)) << t.message;
    EXPECT_EQ(error.offset, t.errorMark ? built.At(t.errorMark) : 0) << error.message;
    EXPECT_EQ(error.message.rfind(t.message, 0), 0u) << error.message;
  }
}

// A file that passes the header's count check but whose mesh claims absurd sizes.
struct HostileCount {
  const char* name;
  std::function<void(ByteBuilder&)> body;  // written after the header
  uint32_t meshCount;
  uint32_t splineCount;
  const char* errorMark;
  const char* message;
};

TEST(ReadErrors, HugeCountsRejectedWithoutLargeAllocation) {
  const auto pad = [](ByteBuilder& b) {
    for (int i = 0; i < 40; ++i) b.U8(0);
  };
  const HostileCount cases[] = {
      {"texture count",
       [&](ByteBuilder& b) {
         b.U32(0).Mark("bad").U32(0xFFFFFFFF);
         pad(b);
       },
       0, 0, "bad", "texture count 4294967295 needs at least"},
      {"material count",
       [&](ByteBuilder& b) {
         b.Mark("bad").U32(0xFFFFFFFF).U32(0);
         pad(b);
       },
       0, 0, "bad", "material count 4294967295 needs at least"},
      {"corner count",
       [&](ByteBuilder& b) {
         b.U32(0).U32(0).Xyz(0, 0, 0).Mark("bad").U32(0xFFFFFFFF);
         pad(b);
       },
       1, 0, "bad", "mesh 0: corner count 4294967295 needs at least 17179869180 bytes"},
      {"position count",
       [&](ByteBuilder& b) {
         b.U32(0).U32(0).Xyz(0, 0, 0).U32(0).Mark("bad").U32(0xFFFFFFFF);
         pad(b);
       },
       1, 0, "bad", "mesh 0: position count 4294967295"},
      {"texture-coordinate count",
       [&](ByteBuilder& b) {
         b.U32(0).U32(0).Xyz(0, 0, 0).U32(0).U32(0).U16(1).Mark("bad").U32(0xFFFFFFFF);
         pad(b);
       },
       1, 0, "bad", "mesh 0: texture-coordinate count 4294967295"},
      {"group count",
       [&](ByteBuilder& b) {
         b.U32(0).U32(0).Xyz(0, 0, 0).U32(0).U32(0).U16(0).U16(0).U32(0).U32(0).Mark("bad").U32(0xFFFFFFFF);
         pad(b);
       },
       1, 0, "bad", "mesh 0: group count 4294967295"},
      {"knot count",
       [&](ByteBuilder& b) {
         b.U32(0).U32(0).Str("s").Xyz(0, 0, 0).U16(1).Mark("bad").U16(0xFFFF).U8(0);
         pad(b);
       },
       0, 1, "bad", "spline record 0: spline 0 knot count 65535 needs at least 786420 bytes"},
  };
  for (const HostileCount& h : cases) {
    ByteBuilder b;
    b.F32(1).U32(h.meshCount).U32(0).U32(0).U32(h.splineCount);
    h.body(b);
    CvmFile file;
    ReadError error;
    bool ok = true;
    size_t largest = 0;
    {
      cvm::test::AllocationMeter meter;
      ok = ReadCvm(b.bytes.data(), b.bytes.size(), file, error);
      largest = meter.Largest();
    }
    EXPECT_FALSE(ok) << h.name;
    EXPECT_EQ(error.offset, b.At(h.errorMark)) << h.name << ": " << error.message;
    EXPECT_NE(error.message.find(h.message), std::string::npos) << h.name << ": " << error.message;
    EXPECT_LT(largest, 4096u) << h.name;
  }
}

TEST(ReadErrors, HeaderCountsCheckedAgainstFileSize) {
  // 40 bytes claiming four billion lights: refused at the light count.
  ByteBuilder b;
  b.F32(1).U32(0).Mark("lights").U32(0xFFFFFFFF).U32(0).U32(0).U32(0).U32(0);
  for (int i = 0; i < 12; ++i) b.U8(0);
  CvmFile file;
  ReadError error;
  cvm::test::AllocationMeter meter;
  ASSERT_FALSE(ReadCvm(b.bytes.data(), b.bytes.size(), file, error));
  EXPECT_EQ(error.offset, b.At("lights"));
  EXPECT_NE(error.message.find("header: light count 4294967295"), std::string::npos) << error.message;
  EXPECT_LT(meter.Largest(), 4096u);
}

}  // namespace
}  // namespace cvm::reader::test
