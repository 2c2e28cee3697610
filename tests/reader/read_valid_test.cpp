// Decoding of valid files: every field of every kind of record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "format/record_writer.h"
#include "reader/cvm_reader.h"
#include "tests/reader/built_file.h"
#include "tests/reader/unique_temp_path.h"
#include "tests/support/float_bits.h"

namespace cvm::reader::test {
namespace {

using cvm::test::FloatBits;

CvmFile Decode(const std::vector<uint8_t>& bytes) {
  CvmFile file;
  ReadError error;
  EXPECT_TRUE(ReadCvm(bytes.data(), bytes.size(), file, error)) << FormatReadError(error);
  return file;
}

void ExpectVec3(const Vec3& v, float x, float y, float z) {
  EXPECT_EQ(FloatBits(v.x), FloatBits(x));
  EXPECT_EQ(FloatBits(v.y), FloatBits(y));
  EXPECT_EQ(FloatBits(v.z), FloatBits(z));
}

void ExpectColor(const Color16& c, uint16_t r, uint16_t g, uint16_t b) {
  EXPECT_EQ(c.r, r);
  EXPECT_EQ(c.g, g);
  EXPECT_EQ(c.b, b);
}

using Faces = std::vector<std::array<uint32_t, 3>>;

TEST(ReadValid, HeaderAndEmptyMaterialSection) {
  const CvmFile file = Decode(EmptyFile().bytes);
  EXPECT_EQ(file.header.scale, 1.0f);
  EXPECT_EQ(file.header.meshCount, 0u);
  EXPECT_EQ(file.header.lightCount, 0u);
  EXPECT_EQ(file.header.helperCount, 0u);
  EXPECT_EQ(file.header.splineCount, 0u);
  EXPECT_TRUE(file.textures.empty());
  EXPECT_TRUE(file.materials.empty());
  EXPECT_TRUE(file.meshes.empty());
}

class FullFileTest : public ::testing::Test {
 protected:
  BuiltFile built = FullFile();
  CvmFile file = Decode(built.bytes);
};

TEST_F(FullFileTest, HeaderAndTextures) {
  EXPECT_EQ(file.header.scale, 2.5f);
  EXPECT_EQ(file.header.meshCount, 2u);
  EXPECT_EQ(file.header.lightCount, 2u);
  EXPECT_EQ(file.header.helperCount, 1u);
  EXPECT_EQ(file.header.splineCount, 2u);
  ASSERT_EQ(file.textures.size(), 3u);
  const char* names[] = {"brick.tga", "stone.bmp", "abc"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(file.textures[i].name, names[i]);
    EXPECT_EQ(file.textures[i].index, i);
  }
}

TEST_F(FullFileTest, MaterialWithEveryEngineBlock) {
  ASSERT_EQ(file.materials.size(), 2u);
  const CvmMaterial& m = file.materials[0];
  EXPECT_EQ(m.name, "Full");
  EXPECT_EQ(m.index, 0u);
  EXPECT_TRUE(m.twoSided);
  EXPECT_EQ(m.engine.collideable, 0u);
  EXPECT_EQ(m.engine.visible, 2u);
  EXPECT_EQ(m.engine.dataId, 0xFFFFFFFFu);
  ASSERT_TRUE(m.engine.colorKey.has_value());
  ExpectColor(*m.engine.colorKey, 255, 128, 65409);
  ASSERT_TRUE(m.engine.uv1.has_value());
  EXPECT_EQ(m.engine.uv1->u, 0.0f);
  EXPECT_EQ(m.engine.uv1->v, 0.25f);
  ASSERT_TRUE(m.engine.frames1.has_value());
  EXPECT_EQ(m.engine.frames1->hf, 1u);
  EXPECT_EQ(m.engine.frames1->vf, 4u);
  EXPECT_EQ(m.engine.frames1->time, 0.5f);
  ASSERT_TRUE(m.engine.uv2.has_value());
  EXPECT_EQ(m.engine.uv2->u, -1.5f);
  EXPECT_EQ(m.engine.uv2->v, 3.0f);
  ASSERT_TRUE(m.engine.frames2.has_value());
  EXPECT_EQ(m.engine.frames2->hf, 65535u);
  EXPECT_EQ(m.engine.frames2->vf, 2u);
  EXPECT_EQ(FloatBits(m.engine.frames2->time), 0x80000000u);
  EXPECT_EQ(m.engine.renderLast, 1u);
  EXPECT_EQ(m.engine.renderFirst, 7u);
  ExpectColor(m.diffuse, 1, 2, 3);
  ExpectColor(m.ambient, 4, 5, 6);
  ExpectColor(m.specular, 7, 8, 9);
  ExpectColor(m.selfIllum, 306, 383, 65409);
  EXPECT_EQ(m.shininess, 0.1f);
  EXPECT_TRUE(std::isnan(m.shininessStrength));
  const std::array<uint32_t, 7> refs = {0, kNoTexture, 2, 1, kNoTexture, 0, 2};
  EXPECT_EQ(m.textureRefs, refs);
}

TEST_F(FullFileTest, MaterialWithDefaultEngineBlock) {
  // The default record is the name length plus 109 bytes.
  EXPECT_EQ(built.At("meshes[0]") - built.At("materials[1]"), 4u + 109u);
  const CvmMaterial& m = file.materials[1];
  EXPECT_EQ(m.name, "Mat1");
  EXPECT_EQ(m.index, 1u);
  EXPECT_FALSE(m.twoSided);
  EXPECT_EQ(m.engine.collideable, 1u);
  EXPECT_EQ(m.engine.visible, 1u);
  EXPECT_EQ(m.engine.dataId, 0u);
  EXPECT_FALSE(m.engine.colorKey || m.engine.uv1 || m.engine.frames1 || m.engine.uv2 || m.engine.frames2);
  EXPECT_EQ(m.engine.renderLast, 0u);
  EXPECT_EQ(m.engine.renderFirst, 0u);
  ExpectColor(m.diffuse, 255, 128, 0);
  ExpectColor(m.ambient, 0, 0, 0);
  ExpectColor(m.specular, 0, 0, 0);
  ExpectColor(m.selfIllum, 0, 0, 0);
  EXPECT_EQ(m.shininess, 25.0f);
  EXPECT_EQ(m.shininessStrength, 0.05f);
  for (uint32_t ref : m.textureRefs) EXPECT_EQ(ref, kNoTexture);
}

TEST_F(FullFileTest, MeshWithEveryBlock) {
  ASSERT_EQ(file.meshes.size(), 2u);
  const CvmMesh& m = file.meshes[0];
  ExpectVec3(m.pivot, 1, 3, 2);
  EXPECT_EQ(m.cornerCount, 3u);
  EXPECT_EQ(m.positionIndices, (std::vector<uint32_t>{2, 0, 1}));
  ASSERT_EQ(m.positions.size(), 3u);
  ExpectVec3(m.positions[0], 1, 0, 0);
  ExpectVec3(m.positions[1], 0, 0, 1);
  ExpectVec3(m.positions[2], 0, 0, 0);
  ASSERT_TRUE(m.hasUvs);
  EXPECT_EQ(m.uvIndices, (std::vector<uint32_t>{0, 1, 0}));
  ASSERT_EQ(m.uvs.size(), 2u);
  EXPECT_EQ(m.uvs[0].u, 0.5f);
  EXPECT_EQ(m.uvs[0].v, 0.25f);
  EXPECT_EQ(m.uvs[1].u, 1.0f);
  EXPECT_EQ(m.uvs[1].v, -1.0f);
  ASSERT_TRUE(m.hasNormals);
  EXPECT_EQ(m.normalIndices, (std::vector<uint32_t>{0, 0, 0}));
  ASSERT_EQ(m.normals.size(), 1u);
  EXPECT_EQ(m.normals[0].polar, 0u);
  EXPECT_EQ(m.normals[0].azimuth, 0u);
  ASSERT_EQ(m.colors.size(), 3u);
  ExpectColor(m.colors[0], 255, 0, 0);
  ExpectColor(m.colors[1], 0, 255, 0);
  ExpectColor(m.colors[2], 0, 0, 65409);
  EXPECT_EQ(m.faceCount, 1u);
  ASSERT_EQ(m.groups.size(), 1u);
  EXPECT_EQ(m.groups[0].materialIndex, 0u);
  EXPECT_EQ(m.groups[0].faces, (Faces{{2, 1, 0}}));
}

TEST_F(FullFileTest, MeshWithoutOptionalBlocks) {
  const CvmMesh& m = file.meshes[1];
  ExpectVec3(m.pivot, 0, 0, 0);
  EXPECT_EQ(m.cornerCount, 6u);
  EXPECT_EQ(m.positionIndices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
  ASSERT_EQ(m.positions.size(), 4u);
  ExpectVec3(m.positions[3], 1, 0, 0);
  EXPECT_FALSE(m.hasUvs);
  EXPECT_TRUE(m.uvIndices.empty() && m.uvs.empty());
  EXPECT_FALSE(m.hasNormals);
  EXPECT_TRUE(m.normalIndices.empty() && m.normals.empty());
  EXPECT_TRUE(m.colors.empty());
  EXPECT_EQ(m.faceCount, 2u);
  ASSERT_EQ(m.groups.size(), 2u);
  EXPECT_EQ(m.groups[0].materialIndex, kNoMaterial);
  EXPECT_EQ(m.groups[0].faces, (Faces{{5, 4, 3}}));
  EXPECT_EQ(m.groups[1].materialIndex, 1u);
  EXPECT_EQ(m.groups[1].faces, (Faces{{2, 1, 0}}));
}

TEST_F(FullFileTest, Lights) {
  ASSERT_EQ(file.lights.size(), 2u);
  EXPECT_EQ(built.At("lights[1]") - built.At("lights[0]"), 3u + 69u);
  const CvmLight& sun = file.lights[0];
  EXPECT_EQ(sun.name, "Sun");
  EXPECT_EQ(sun.typeCode, 2u);
  ExpectVec3(sun.position, 1, 3, 2);
  ExpectVec3(sun.axisX, 1, 0, 0);
  ExpectVec3(sun.axisY, 0, 0, 1);
  ExpectVec3(sun.axisZNegated, 0, -1, 0);
  ExpectVec3(sun.color, 0.5f, 0.25f, 1.0f);
  EXPECT_EQ(sun.intensity, 1.5f);
  EXPECT_FALSE(sun.userText.has_value());
  const CvmLight& unnamed = file.lights[1];
  EXPECT_EQ(unnamed.name, "");
  EXPECT_EQ(unnamed.typeCode, 4u);
  EXPECT_EQ(unnamed.intensity, -2.0f);
  EXPECT_EQ(unnamed.userText, std::optional<std::string>("abc"));
}

TEST_F(FullFileTest, Helper) {
  ASSERT_EQ(file.helpers.size(), 1u);
  // With user text a helper record is name + text + 52 bytes.
  EXPECT_EQ(built.At("splines[0]") - built.At("helpers[0]"), 7u + 5u + 52u);
  const CvmHelper& h = file.helpers[0];
  EXPECT_EQ(h.name, "Dummy01");
  ExpectVec3(h.position, 1, 3, 2);
  ExpectVec3(h.axisX, 1, 0, 0);
  ExpectVec3(h.axisZ, 0, 1, 0);
  ExpectVec3(h.axisY, 0, 0, 1);
  EXPECT_EQ(h.userText, std::optional<std::string>("tag=1"));
}

TEST_F(FullFileTest, Splines) {
  ASSERT_EQ(file.splines.size(), 2u);
  const CvmSplineObject& line = file.splines[0];
  EXPECT_EQ(line.name, "Line01");
  ExpectVec3(line.position, 10, 0, 0);
  ASSERT_EQ(line.splines.size(), 2u);
  EXPECT_FALSE(line.splines[0].closed);
  ASSERT_EQ(line.splines[0].knots.size(), 2u);
  ExpectVec3(line.splines[0].knots[0], 11, 3, 2);
  ExpectVec3(line.splines[0].knots[1], 1, 0, 0);
  EXPECT_TRUE(line.splines[1].closed);
  ASSERT_EQ(line.splines[1].knots.size(), 3u);
  ExpectVec3(line.splines[1].knots[2], 0, 0, 1);
  EXPECT_FALSE(line.userText.has_value());
  const CvmSplineObject& empty = file.splines[1];
  EXPECT_EQ(empty.name, "Empty");
  ExpectVec3(empty.position, -1, -2, -3);
  EXPECT_TRUE(empty.splines.empty());
  EXPECT_EQ(empty.userText, std::optional<std::string>("x"));
}

TEST(ReadValid, FileToHostAxesSwapsBack) {
  const Vec3 host = FileToHostAxes({1, 3, 2});
  EXPECT_EQ(host.x, 1.0f);
  EXPECT_EQ(host.y, 2.0f);
  EXPECT_EQ(host.z, 3.0f);
}

TEST(ReadFile, ReadsFromDiskAndReportsMissingFiles) {
  const std::string path = UniqueTempPath("reader_test_full.cvm");
  const std::vector<uint8_t> bytes = FullFile().bytes;
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  CvmFile file;
  ReadError error;
  ASSERT_TRUE(ReadCvmFile(path, file, error)) << FormatReadError(error);
  EXPECT_EQ(file.splines.size(), 2u);
  std::remove(path.c_str());

  EXPECT_FALSE(ReadCvmFile(path, file, error));
  EXPECT_EQ(error.kind, ReadErrorKind::Io);
  EXPECT_NE(error.message.find("cannot open"), std::string::npos) << error.message;
  EXPECT_EQ(FormatReadError(error), error.message);
}

#ifndef _WIN32
// A regular file is read in one go into a buffer of its size, a pipe in blocks that grow: both
// must give the same records, or the same error, for files around and well past one block.
TEST(ReadFile, AFileAndAPipeOfTheSameBytesReadAlike) {
  const auto positions = [](size_t count) {
    return MakeFile([count](CvmFile& f) {
      f.meshes.emplace_back();
      f.meshes[0].positions.resize(count, Vec3{1.0f, -2.0f, 0.5f});
    });
  };
  const std::vector<uint8_t> big = BuiltFile(positions(50000)).bytes;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"every kind of record", FullFile().bytes},
      {"a little under one block", BuiltFile(positions(5455)).bytes},
      {"many blocks", big},
      {"many blocks, cut", std::vector<uint8_t>(big.begin(), big.end() - 7)},
  };
  const std::string path = UniqueTempPath("reader_test_bytes.cvm");
  const std::string fifo = UniqueTempPath("reader_test_pipe");
  for (const auto& c : cases) {
    {
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    }
    CvmFile fromFile, fromPipe;
    ReadError fileError, pipeError;
    const bool fileOk = ReadCvmFile(path, fromFile, fileError);

    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << c.name;
    std::thread writer([&] {
      std::ofstream out(fifo, std::ios::binary);
      out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    });
    const bool pipeOk = ReadCvmFile(fifo, fromPipe, pipeError);
    writer.join();
    std::remove(fifo.c_str());

    EXPECT_EQ(fileOk, c.bytes.size() > 0 && c.name != std::string("many blocks, cut")) << c.name;
    EXPECT_EQ(pipeOk, fileOk) << c.name;
    EXPECT_EQ(FormatReadError(pipeError), FormatReadError(fileError)) << c.name;
    if (fileOk) {
      EXPECT_EQ(format::EncodeCvm(fromFile), c.bytes) << c.name;
      EXPECT_EQ(format::EncodeCvm(fromPipe), c.bytes) << c.name;
    }
  }
  std::remove(path.c_str());
}
#endif

}  // namespace
}  // namespace cvm::reader::test
