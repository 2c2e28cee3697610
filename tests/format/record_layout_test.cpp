// The record layout against the bytes the format fixes: each kind of record written out byte
// by byte here, independently of the layout, and found at its place in an encoded file that
// the reader accepts; the smallest records; field offsets; the landmarks of a mesh record.
#include "format/record_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "format/byte_sink.h"
#include "format/record_sizes.h"
#include "format/record_writer.h"
#include "reader/cvm_reader.h"
#include "tests/reader/built_file.h"

namespace cvm::format {
namespace {

using reader::test::BuiltFile;
using reader::test::MakeFile;

std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  unsigned byte = 0;
  int consumed = 0;
  for (const char* p = text.c_str(); std::sscanf(p, "%2x%n", &byte, &consumed) == 1; p += consumed)
    bytes.push_back(static_cast<uint8_t>(byte));
  return bytes;
}

struct GoldenRecord {
  const char* name;
  CvmFile file;       // holds the record
  const char* path;   // where the record starts
  std::string bytes;  // the record's bytes, in hex
};

CvmMaterial Mat1() {
  CvmMaterial m;
  m.name = "Mat1";
  m.engine.collideable = 1;
  m.engine.visible = 1;
  m.diffuse = {255, 128, 0};
  m.shininess = 0.25f;
  m.shininessStrength = 0.05f;
  m.textureRefs.fill(kNoTexture);
  return m;
}

TEST(RecordLayout, EveryKindOfRecordHasTheBytesTheFormatFixes) {
  CvmMaterial engine;
  engine.index = 1;
  engine.twoSided = true;
  engine.engine = {0,
                   2,
                   0xFFFFFFFF,
                   Color16{255, 128, 65409},
                   CvmUvAnimation{0.0f, 0.25f},
                   CvmFrameAnimation{1, 4, 0.5f},
                   std::nullopt,
                   std::nullopt,
                   1,
                   0};
  engine.textureRefs = {0, kNoTexture, kNoTexture, kNoTexture, kNoTexture, kNoTexture, 0};
  CvmMesh face;
  face.cornerCount = 3;
  face.positionIndices = {2, 0, 1};
  face.positions = {{1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
  face.faceCount = 1;
  face.groups = {{kNoMaterial, {{2, 1, 0}}}};
  CvmMesh blocks = face;
  blocks.hasUvs = true;
  blocks.uvIndices = {0, 0, 0};
  blocks.uvs = {{0.5f, 1.0f}};
  blocks.hasNormals = true;
  blocks.normalIndices = {0, 0, 0};
  blocks.normals = {{63, 193}};
  blocks.colors = {{255, 0, 0}, {0, 128, 0}, {0, 0, 65409}};

  const GoldenRecord cases[] = {
      {"header", MakeFile([](CvmFile& f) { f.lights.emplace_back(); }), "header",
       "00 00 80 3F 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00"},
      {"material section counts", MakeFile([](CvmFile& f) {
         f.textures = {{"a", 0}, {"b", 1}};
       }),
       "materialCount", "00 00 00 00 02 00 00 00"},
      {"texture abc at position 2", MakeFile([](CvmFile& f) {
         f.textures = {{"x", 0}, {"y", 1}, {"abc", 2}};
       }),
       "textures[2]", "61 62 63 00 02 00 00 00"},
      {"material without engine attribute", MakeFile([](CvmFile& f) { f.materials = {Mat1()}; }),
       "materials[0]",
       "4D 61 74 31 00  00 00 00 00  00 00 00 00"
       "  01 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
       "  00 00 00 00 00 00 00 00"
       "  FF 00 80 00 00 00  00 00 00 00 00 00  00 00 00 00 00 00  00 00 00 00 00 00  00 00 80 3E  CD CC 4C "
       "3D"
       "  FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"},
      {"two-sided material with engine blocks", MakeFile([&](CvmFile& f) {
         f.textures = {{"t", 0}};
         f.materials = {Mat1(), engine};
       }),
       "materials[1]",
       "00  01 00 00 00  01 00 00 00"
       "  00 00 00 00  02 00 00 00  FF FF FF FF  01 00 00 00 FF 00 80 00 81 FF"
       "  01 00 00 00 00 00 00 00 00 00 80 3E  01 00 00 00 01 00 04 00 00 00 00 3F"
       "  00 00 00 00  00 00 00 00  01 00 00 00  00 00 00 00"
       "  00 00 00 00 00 00  00 00 00 00 00 00  00 00 00 00 00 00  00 00 00 00 00 00  00 00 00 00  00 00 00 "
       "00"
       "  00 00 00 00 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 00 00 00"},
      {"one-face mesh without blocks", MakeFile([&](CvmFile& f) { f.meshes = {face}; }), "meshes[0]",
       "00 00 00 00 00 00 00 00 00 00 00 00  03 00 00 00  02 00 00 00 00 00 00 00 01 00 00 00"
       "  03 00 00 00  00 00 80 3F 00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00 00 00 80 3F"
       "  00 00 00 00 00 00 00 00 00 00 00 00  00 00  00 00  00 00 00 00"
       "  01 00 00 00  01 00 00 00  FF FF 01 00 00 00 02 00 00 00 01 00 00 00 00 00 00 00"},
      {"mesh with UV, normal and colour blocks", MakeFile([&](CvmFile& f) { f.meshes = {blocks}; }),
       "meshes[0].uvFlag",
       "01 00  00 00 00 00 00 00 00 00 00 00 00 00  01 00 00 00  00 00 00 3F 00 00 80 3F"
       "  01 00  00 00 00 00 00 00 00 00 00 00 00 00  01 00 00 00  3F C1"
       "  03 00 00 00  FF 00 00 00 00 00  00 00 80 00 00 00  00 00 00 00 81 FF  01 00 00 00"},
      {"light with user text", MakeFile([](CvmFile& f) {
         f.lights = {
             {"Sun", 1, {1, 3, 2}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0.5f, 0.25f, 1.0f}, 2.0f, "abc"}};
       }),
       "lights[0]",
       "53 75 6E 00  01 00  00 00 80 3F 00 00 40 40 00 00 00 40  00 00 80 3F 00 00 00 00 00 00 00 00"
       "  00 00 00 00 00 00 00 00 00 00 80 3F  00 00 00 00 00 00 80 BF 00 00 00 00"
       "  00 00 00 3F 00 00 80 3E 00 00 80 3F  00 00 00 40  01 00 61 62 63 00"},
      {"helper without user text", MakeFile([](CvmFile& f) {
         f.helpers = {{"D", {1, 3, 2}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, std::nullopt}};
       }),
       "helpers[0]",
       "44 00  00 00 80 3F 00 00 40 40 00 00 00 40  00 00 80 3F 00 00 00 00 00 00 00 00"
       "  00 00 00 00 00 00 80 3F 00 00 00 00  00 00 00 00 00 00 00 00 00 00 80 3F  00 00"},
      {"spline record with an open and a closed spline", MakeFile([](CvmFile& f) {
         f.splines = {{"L", {10, 0, 0}, {{false, {{11, 3, 2}, {1, 0, 0}}}, {true, {}}}, std::nullopt}};
       }),
       "splines[0]",
       "4C 00  00 00 20 41 00 00 00 00 00 00 00 00  02 00"
       "  02 00  00  00 00 30 41 00 00 40 40 00 00 00 40  00 00 80 3F 00 00 00 00 00 00 00 00"
       "  00 00  01  00 00"},
  };
  for (const GoldenRecord& c : cases) {
    const BuiltFile built(c.file);
    const std::vector<uint8_t> expected = Hex(c.bytes);
    const size_t at = built.At(c.path);
    ASSERT_LE(at + expected.size(), built.bytes.size()) << c.name;
    EXPECT_EQ(std::vector<uint8_t>(built.bytes.begin() + at, built.bytes.begin() + at + expected.size()),
              expected)
        << c.name;
    reader::CvmFile decoded;
    reader::ReadError error;
    ASSERT_TRUE(reader::ReadCvm(built.bytes.data(), built.bytes.size(), decoded, error))
        << c.name << ": " << reader::FormatReadError(error);
    EXPECT_EQ(EncodeCvm(decoded), built.bytes) << c.name;
  }
}

TEST(RecordLayout, TheSmallestRecords) {
  const struct {
    const char* record;
    uint64_t size;
    uint64_t expected;
  } cases[] = {
      {"header", MinimumSize<CvmHeader>(), 20},
      {"material section counts", MinimumSize<MaterialSectionCounts>(), 8},
      {"texture with an empty name", MinimumSize<CvmTexture>(), 1 + 4},
      // A material record is its name's length plus 109 bytes with the default engine block.
      {"material", MinimumSize<CvmMaterial>(), 109},
      {"mesh without corners", MinimumSize<CvmMesh>(), 36},
      {"light without user text", MinimumSize<CvmLight>(), 69},
      {"helper without user text", MinimumSize<CvmHelper>(), 51},
      {"spline record without splines", MinimumSize<CvmSplineObject>(), 17},
  };
  for (const auto& c : cases) EXPECT_EQ(c.size, c.expected) << c.record;
}

TEST(RecordLayout, OffsetsNameTheFieldsOfAnEncodedFile) {
  const BuiltFile built = reader::test::FullFile();
  const auto u32At = [&](const std::string& path) { return LoadU32(built.bytes.data() + built.At(path)); };
  const auto u16At = [&](const std::string& path) { return LoadU16(built.bytes.data() + built.At(path)); };
  EXPECT_EQ(built.At("header"), 0u);
  EXPECT_EQ(u32At("header.splineCount"), 2u);
  EXPECT_EQ(u32At("textureCount"), 3u);
  EXPECT_EQ(u32At("textures[2].index"), 2u);
  EXPECT_EQ(u32At("materials[0].engine.colorKeyFlag"), 1u);
  EXPECT_EQ(u16At("materials[0].engine.colorKey"), 255u);
  EXPECT_EQ(u16At("materials[0].engine.frames1.vf"), 4u);
  EXPECT_EQ(u32At("materials[1].engine.uv1Flag"), 0u);
  EXPECT_EQ(u32At("meshes[0].cornerCount"), 3u);
  EXPECT_EQ(u16At("meshes[1].uvFlag"), 0u);
  EXPECT_EQ(u32At("meshes[1].groups[1].faceCount"), 1u);
  EXPECT_EQ(u32At("meshes[1].groups[1].faces"), 2u);
  EXPECT_EQ(u16At("lights[1].userTextFlag"), 1u);
  EXPECT_EQ(built.bytes.at(built.At("lights[1].userText")), 'a');
  EXPECT_EQ(built.bytes.at(built.At("splines[0].splines[1].closed")), 1u);
  EXPECT_EQ(u16At("splines[1].splineCount"), 0u);
  // Absent parts have no offsets of their own.
  EXPECT_EQ(built.offsets.count("meshes[1].uvIndices"), 0u);
  EXPECT_EQ(built.offsets.count("materials[1].engine.uv1"), 0u);
}

// A mesh record written through a view: the record's members as another writer holds them.
struct ReversedFaces {
  std::vector<uint32_t> faces;
  size_t size() const { return faces.size(); }
  Triangle operator[](size_t i) const { return {3 * faces[i] + 2, 3 * faces[i] + 1, 3 * faces[i]}; }
};
struct GroupView {
  uint32_t materialIndex;
  ReversedFaces faces;
};
struct MeshView {
  Vec3 pivot;
  uint32_t cornerCount;
  std::vector<uint32_t> positionIndices;
  std::vector<Vec3> positions;
  bool hasUvs;
  std::vector<uint32_t> uvIndices;
  std::vector<Vec2> uvs;
  bool hasNormals;
  std::vector<uint32_t> normalIndices;
  std::vector<EncodedNormal> normals;
  std::vector<Color16> colors;
  uint32_t faceCount;
  std::vector<GroupView> groups;
};

TEST(RecordLayout, AMeshViewWritesTheRecordAndReportsEachBlockBeforeItsBytes) {
  const CvmFile full = reader::test::FullCvmFile();
  const CvmMesh& mesh = full.meshes[0];
  const MeshView view{
      mesh.pivot,     mesh.cornerCount, mesh.positionIndices, mesh.positions,     mesh.hasUvs,
      mesh.uvIndices, mesh.uvs,         mesh.hasNormals,      mesh.normalIndices, mesh.normals,
      mesh.colors,    mesh.faceCount,   {{0, {{0}}}}};
  MemorySink sink;
  std::vector<std::pair<Landmark, uint64_t>> seen;
  {
    OutputStream stream(sink, 7);  // a buffer smaller than some lists: they are written in pieces
    const std::function<void(Landmark)> onLandmark = [&](Landmark l) {
      seen.emplace_back(l, stream.BytesWritten());
    };
    WriteMeshRecord(stream, view, onLandmark);
    ASSERT_TRUE(stream.Flush());
  }
  CvmFile file = full;
  file.meshes.resize(1);
  file.header.meshCount = 1;
  const BuiltFile built(file);
  const size_t start = built.At("meshes[0]");
  const size_t end = built.At("lights[0]");
  EXPECT_EQ(sink.bytes, std::vector<uint8_t>(built.bytes.begin() + start, built.bytes.begin() + end));
  const std::vector<std::pair<Landmark, uint64_t>> expected = {
      {Landmark::kMeshVertices, built.At("meshes[0].cornerCount") - start},
      {Landmark::kMeshUvs, built.At("meshes[0].uvFlag") - start},
      {Landmark::kMeshNormals, built.At("meshes[0].normalFlag") - start},
      {Landmark::kMeshColors, built.At("meshes[0].colorCount") - start},
      {Landmark::kMeshFaces, built.At("meshes[0].faceCount") - start},
  };
  EXPECT_EQ(seen, expected);
}

// Lists are built in place in the stream's buffer, as many entries at a time as fit: through
// buffers smaller than one entry, between one and two entries, and large, after an odd byte so
// that entries straddle the buffer's ends, the bytes are those written through a large buffer,
// and each entry's are those of the field writers.
TEST(RecordWriter, ListsGiveTheSameBytesThroughAnyBuffer) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  CvmMesh mesh;
  mesh.cornerCount = 3003;
  mesh.hasUvs = mesh.hasNormals = true;
  for (uint32_t i = 0; i < mesh.cornerCount; ++i) {
    mesh.positionIndices.push_back(i * 2654435761u % 3001);
    mesh.uvIndices.push_back(i % 7);
    mesh.normalIndices.push_back(i % 3);
    mesh.colors.push_back({static_cast<uint16_t>(i * 40503u), static_cast<uint16_t>(i), 65409});
  }
  for (uint32_t i = 0; i < 3001; ++i) {
    mesh.positions.push_back({static_cast<float>(i) * 0.37f - 50.0f, i % 7 == 0 ? -0.0f : 1.0f / (1.0f + i),
                              i % 11 == 0 ? nan : static_cast<float>(i) / 512.0f});
  }
  for (uint32_t i = 0; i < 7; ++i) mesh.uvs.push_back({static_cast<float>(i), -static_cast<float>(i)});
  mesh.normals = {{0, 0}, {128, 0}, {63, 193}};
  mesh.faceCount = 1001;
  mesh.groups.resize(1);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) mesh.groups[0].faces.push_back({3 * f + 2, 3 * f + 1, 3 * f});

  const auto written = [&mesh](size_t bufferSize) {
    MemorySink sink;
    OutputStream stream(sink, bufferSize);
    stream.PutByte(0xAB);
    WriteMeshRecord(stream, mesh, [](Landmark) {});
    stream.PutByte(0xCD);
    EXPECT_TRUE(stream.Flush());
    return sink.bytes;
  };
  const std::vector<uint8_t> expected = written(size_t{1} << 20);
  // The positions are where the field writers put them: after the byte, the pivot, the corner
  // count, the indices and the position count.
  MemorySink fields;
  {
    OutputStream stream(fields);
    for (const Vec3& p : mesh.positions) {
      WriteF32(p.x, stream);
      WriteF32(p.y, stream);
      WriteF32(p.z, stream);
    }
    stream.Flush();
  }
  const size_t positionsAt = 1 + 12 + 4 + 4 * mesh.cornerCount + 4;
  ASSERT_GE(expected.size(), positionsAt + fields.bytes.size());
  EXPECT_TRUE(std::equal(fields.bytes.begin(), fields.bytes.end(), expected.begin() + positionsAt));
  for (const size_t bufferSize : {size_t{1}, size_t{5}, size_t{12}, size_t{13}, size_t{4096}}) {
    EXPECT_EQ(written(bufferSize), expected) << "buffer " << bufferSize;
  }
}

}  // namespace
}  // namespace cvm::format
