// Hostile-input sweeps over a file with every kind of record: every truncated prefix and
// flipped bytes at every offset must give a clean error or a consistent decode, never a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reader/cvm_reader.h"
#include "tests/reader/built_file.h"

namespace cvm::reader::test {
namespace {

// What ReadCvm promises about a successful decode, whatever the bytes were.
void ExpectConsistent(const CvmFile& file) {
  ASSERT_EQ(file.meshes.size(), file.header.meshCount);
  ASSERT_EQ(file.lights.size(), file.header.lightCount);
  ASSERT_EQ(file.helpers.size(), file.header.helperCount);
  ASSERT_EQ(file.splines.size(), file.header.splineCount);
  for (size_t i = 0; i < file.textures.size(); ++i) EXPECT_EQ(file.textures[i].index, i);
  for (size_t i = 0; i < file.materials.size(); ++i) {
    EXPECT_EQ(file.materials[i].index, i);
    for (uint32_t ref : file.materials[i].textureRefs) {
      EXPECT_TRUE(ref == kNoTexture || ref < file.textures.size());
    }
  }
  for (const CvmMesh& mesh : file.meshes) {
    EXPECT_EQ(mesh.positionIndices.size(), mesh.cornerCount);
    for (uint32_t i : mesh.positionIndices) EXPECT_LT(i, mesh.positions.size());
    EXPECT_EQ(mesh.uvIndices.size(), mesh.hasUvs ? mesh.cornerCount : 0);
    for (uint32_t i : mesh.uvIndices) EXPECT_LT(i, mesh.uvs.size());
    EXPECT_EQ(mesh.normalIndices.size(), mesh.hasNormals ? mesh.cornerCount : 0);
    for (uint32_t i : mesh.normalIndices) EXPECT_LT(i, mesh.normals.size());
    EXPECT_TRUE(mesh.colors.empty() || mesh.colors.size() == mesh.cornerCount);
    size_t faces = 0;
    for (const CvmFaceGroup& group : mesh.groups) {
      EXPECT_TRUE(group.materialIndex == kNoMaterial || group.materialIndex < file.materials.size());
      faces += group.faces.size();
      for (const auto& face : group.faces)
        for (uint32_t corner : face) EXPECT_LT(corner, mesh.cornerCount);
    }
    EXPECT_EQ(faces, mesh.faceCount);
  }
  for (const CvmLight& light : file.lights) EXPECT_LE(light.typeCode, 4u);
}

TEST(ReadSweep, EveryTruncatedPrefixIsRejected) {
  const std::vector<uint8_t> bytes = FullFile().bytes;
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    // A copy of exactly `cut` bytes, so that a sanitizer build sees any read past its end.
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    CvmFile file;
    ReadError error;
    ASSERT_FALSE(ReadCvm(prefix.data(), prefix.size(), file, error)) << "cut at " << cut;
    EXPECT_LE(error.offset, cut);
    EXPECT_FALSE(error.message.empty());
  }
}

TEST(ReadSweep, FlippedBytesGiveAnErrorOrAConsistentFile) {
  const std::vector<uint8_t> original = FullFile().bytes;
  size_t rejected = 0;
  size_t decoded = 0;
  for (uint8_t pattern : {0x01, 0x80, 0xFF}) {
    for (size_t at = 0; at < original.size(); ++at) {
      std::vector<uint8_t> bytes = original;
      bytes[at] ^= pattern;
      CvmFile file;
      ReadError error;
      if (ReadCvm(bytes.data(), bytes.size(), file, error)) {
        ++decoded;
        ExpectConsistent(file);
      } else {
        ++rejected;
        EXPECT_LE(error.offset, bytes.size()) << "flip at " << at;
        EXPECT_FALSE(error.message.empty());
      }
      if (HasFailure()) FAIL() << "flip " << int{pattern} << " at " << at;
    }
  }
  // Floats decode whatever their bits; counts, flags and indices mostly do not.
  EXPECT_GT(rejected, 0u);
  EXPECT_GT(decoded, 0u);
}

TEST(ReadSweep, RandomMultiByteDamageGivesAnErrorOrAConsistentFile) {
  const std::vector<uint8_t> original = FullFile().bytes;
  std::mt19937 random(20240611);  // fixed seed: the same mutants on every run
  std::uniform_int_distribution<size_t> position(0, original.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> damage(1, 6);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = original;
    const int edits = damage(random);
    for (int e = 0; e < edits; ++e) {
      const size_t at = position(random);
      switch (byte(random) % 3) {
        case 0:
          bytes[at] = static_cast<uint8_t>(byte(random));
          break;
        case 1:
          if (at < bytes.size()) bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at));
          break;
        default:
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at, bytes.size())),
                       static_cast<uint8_t>(byte(random)));
          break;
      }
    }
    CvmFile file;
    ReadError error;
    if (ReadCvm(bytes.data(), bytes.size(), file, error)) {
      ExpectConsistent(file);
    } else {
      EXPECT_LE(error.offset, bytes.size());
      EXPECT_FALSE(error.message.empty());
    }
    if (HasFailure()) FAIL() << "round " << round;
  }
}

TEST(ReadSweep, EmptyAndNullInputsAreRejected) {
  CvmFile file;
  ReadError error;
  EXPECT_FALSE(ReadCvm(nullptr, 0, file, error));
  EXPECT_EQ(error.offset, 0u);
  EXPECT_EQ(error.message, "header: needs 20 bytes, 0 remain");
  EXPECT_FALSE(ReadCvm(nullptr, 100, file, error));
}

}  // namespace
}  // namespace cvm::reader::test
