// Invalid files: each problem is rejected with the offset of the offending field and a
// message that names it; hostile counts are refused before anything is allocated.
#include <gtest/gtest.h>

#include <functional>

#include "reader/cvm_reader.h"
#include "tests/reader/built_file.h"
#include "tests/support/allocation_counter.h"

namespace cvm::reader::test {
namespace {

struct Corruption {
  const char* name;
  const char* path;  // field in FullFile()
  size_t delta;      // bytes into that field
  int width;         // 1, 2 or 4 bytes written
  uint32_t value;
  const char* message;  // expected part of the error message
};

const Corruption kCorruptions[] = {
    {"texture index", "textures[0].index", 0, 4, 1,
     "texture 0: index 1 differs from the record's position 0"},
    {"empty texture name", "textures[0]", 0, 1, 0, "texture 0: empty name"},
    {"material index", "materials[0].index", 0, 4, 5,
     "material 0: index 5 differs from the record's position 0"},
    {"two-sided flag", "materials[0].twoSided", 0, 4, 2, "material 0: two-sided flag is 2, not 0 or 1"},
    {"colour key flag", "materials[0].engine.colorKeyFlag", 0, 4, 0x100,
     "material 0: colour key flag is 256"},
    {"U/V 1 flag", "materials[0].engine.uv1Flag", 0, 4, 3, "material 0: U/V 1 flag is 3"},
    {"HF/VF 2 flag", "materials[0].engine.frames2Flag", 0, 4, 7, "material 0: HF/VF 2 flag is 7"},
    {"texture reference", "materials[0].textureRefs", 4, 4, 3,
     "material 0: texture reference 1 (slot 6) is 3, out of range (3 textures)"},
    {"position index", "meshes[0].positionIndices", 4, 4, 7,
     "mesh 0: position index 7 out of range (3 positions)"},
    {"texture-coordinate index", "meshes[0].uvIndices", 8, 4, 2,
     "mesh 0: texture-coordinate index 2 out of range (2 texture coordinates)"},
    {"normal index", "meshes[0].normalIndices", 0, 4, 1, "mesh 0: normal index 1 out of range (1 normals)"},
    {"texture-coordinate flag", "meshes[0].uvFlag", 0, 2, 2, "mesh 0: texture-coordinate flag is 2"},
    {"normal flag", "meshes[1].normalFlag", 0, 2, 0x100, "mesh 1: normal flag is 256"},
    {"colour count", "meshes[0].colorCount", 0, 4, 2,
     "mesh 0: colour count 2 is neither 0 nor the corner count 3"},
    {"face count", "meshes[0].faceCount", 0, 4, 2, "mesh 0: face count 2 does not match the corner count 3"},
    {"group material", "meshes[0].groups[0]", 0, 2, 2,
     "mesh 0: group 0: material index 2 out of range (2 materials)"},
    {"corner serial", "meshes[0].groups[0].faces", 4, 4, 3,
     "mesh 0: group 0: face 0: corner 3 out of range (3 corners)"},
    {"groups exceed faces", "meshes[1].groups[1].faceCount", 0, 4, 2,
     "mesh 1: group 1: face count 2 brings the groups to 3 faces, more than the mesh's 2"},
    {"groups short of faces", "meshes[1].groupCount", 0, 4, 1,
     "mesh 1: the groups hold 1 faces, the mesh has 2"},
    {"light type", "lights[0].typeCode", 0, 2, 5, "light 0: type code 5 is not 0 to 4"},
    {"user-text flag", "lights[0].userTextFlag", 0, 2, 2, "light 0: user-text flag is 2"},
    {"helper user-text flag", "helpers[0].userTextFlag", 0, 2, 0xFFFF, "helper 0: user-text flag is 65535"},
    {"closed flag", "splines[0].splines[0].closed", 0, 1, 2, "spline record 0: spline 0 closed flag is 2"},
    {"header count", "header.meshCount", 0, 4, 0xFFFFFFFF, "header: mesh count 4294967295"},
};

class CorruptionTest : public ::testing::TestWithParam<Corruption> {};

TEST_P(CorruptionTest, RejectedAtTheFieldWithItsName) {
  const Corruption& k = GetParam();
  BuiltFile built = FullFile();
  const size_t at = built.At(k.path) + k.delta;
  const std::vector<uint8_t>& bytes = built.Set(k.path, k.width, k.value, k.delta).bytes;

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
  const char* path;
  size_t delta;  // the file is cut at path + delta
  const char* errorPath;
  const char* message;
};

TEST(ReadErrors, TruncationReportedAtTheFieldThatIsCut) {
  const Truncation cases[] = {
      {false, "header.meshCount", 6, nullptr, "header: needs 20 bytes, 10 remain"},
      {true, "textureCount", 2, "textureCount", "material section: texture count: needs 4 bytes, 2 remain"},
      {false, "textureCount", 2, "header.meshCount",
       "header: mesh count 2: the records need at least 80 bytes"},
      {false, "splines[1]", 3, "splines[1]",
       "spline record 1: name: no terminating 0 byte before the end of the file"},
      {false, "meshes[0].positionCount", 20, "meshes[0].positionCount",
       "mesh 0: position count 3 needs at least 36 bytes, 16 remain"},
  };
  for (const Truncation& t : cases) {
    const BuiltFile built = t.empty ? EmptyFile() : FullFile();
    const size_t cut = built.At(t.path) + t.delta;
    CvmFile file;
    ReadError error;
    ASSERT_FALSE(ReadCvm(built.bytes.data(), cut, file, error)) << t.message;
    EXPECT_EQ(error.offset, t.errorPath ? built.At(t.errorPath) : 0) << error.message;
    EXPECT_EQ(error.message.rfind(t.message, 0), 0u) << error.message;
  }
}

// A file that passes the header's count check but one of whose counts is absurd: a valid file
// with that count overwritten, and 40 bytes after it.
struct HostileCount {
  const char* name;
  CvmFile file;
  const char* path;  // the count overwritten, where the error must point
  int width;
  uint32_t value;
  const char* message;
};

// A file of one mesh whose lists are empty, with or without its texture-coordinate block.
CvmFile EmptyMesh(bool uvs) {
  return MakeFile([uvs](CvmFile& f) {
    f.meshes.emplace_back();
    f.meshes[0].hasUvs = uvs;
  });
}

TEST(ReadErrors, HugeCountsRejectedWithoutLargeAllocation) {
  const CvmFile empty = MakeFile([](CvmFile&) {});
  const CvmFile oneSpline = MakeFile([](CvmFile& f) {
    f.splines.push_back({"s", {}, {}, std::nullopt});
    f.splines[0].splines.emplace_back();
  });
  const HostileCount cases[] = {
      {"texture count", empty, "textureCount", 4, 0xFFFFFFFF, "texture count 4294967295 needs at least"},
      {"material count", empty, "materialCount", 4, 0xFFFFFFFF, "material count 4294967295 needs at least"},
      {"corner count", EmptyMesh(false), "meshes[0].cornerCount", 4, 0xFFFFFFFF,
       "mesh 0: corner count 4294967295 needs at least 17179869180 bytes"},
      {"position count", EmptyMesh(false), "meshes[0].positionCount", 4, 0xFFFFFFFF,
       "mesh 0: position count 4294967295"},
      {"texture-coordinate count", EmptyMesh(true), "meshes[0].uvCount", 4, 0xFFFFFFFF,
       "mesh 0: texture-coordinate count 4294967295"},
      {"group count", EmptyMesh(false), "meshes[0].groupCount", 4, 0xFFFFFFFF,
       "mesh 0: group count 4294967295"},
      {"knot count", oneSpline, "splines[0].splines[0].knotCount", 2, 0xFFFF,
       "spline record 0: spline 0 knot count 65535 needs at least 786420 bytes"},
  };
  for (const HostileCount& h : cases) {
    BuiltFile b(h.file);
    b.Set(h.path, h.width, h.value).Pad(40);
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
    EXPECT_EQ(error.offset, b.At(h.path)) << h.name << ": " << error.message;
    EXPECT_NE(error.message.find(h.message), std::string::npos) << h.name << ": " << error.message;
    EXPECT_LT(largest, 4096u) << h.name;
  }
}

TEST(ReadErrors, HeaderCountsCheckedAgainstFileSize) {
  // 40 bytes claiming four billion lights: refused at the light count.
  BuiltFile b = EmptyFile();
  b.Set("header.lightCount", 4, 0xFFFFFFFF).PadTo(40);
  CvmFile file;
  ReadError error;
  cvm::test::AllocationMeter meter;
  ASSERT_FALSE(ReadCvm(b.bytes.data(), b.bytes.size(), file, error));
  EXPECT_EQ(error.offset, b.At("header.lightCount"));
  EXPECT_NE(error.message.find("header: light count 4294967295"), std::string::npos) << error.message;
  EXPECT_LT(meter.Largest(), 4096u);
}

}  // namespace
}  // namespace cvm::reader::test
