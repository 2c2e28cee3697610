// Real exported files, with every section present, cut at every offset and damaged at every
// offset: the reader refuses each with an offset inside the file or decodes it into a file
// that passes the reader fuzz target's decoding checks, and never needs more memory than a small
// multiple of the file's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/input_checks.h"
#include "import/scene_document.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tests/roundtrip/random_scene.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/export_fixture.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using reader::CvmFile;
using reader::ReadCvm;
using reader::ReadError;

struct ExportedFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Export(standin::SceneModel model, const ExportOptions& options) {
  std::string error;
  auto scene = standin::MakeStandinScene(std::move(model), error);
  EXPECT_NE(scene, nullptr) << error;
  if (scene == nullptr) return {};
  test::MemoryExport result = test::ExportToMemory(*scene, options);
  EXPECT_FALSE(result.bytes.empty()) << result.outcome.error;
  return result.bytes;
}

std::vector<ExportedFile> ExportedFiles() {
  std::vector<ExportedFile> files;
  const std::vector<uint8_t> text = test::ReadBytes(EXAMPLE_SCENE);
  standin::SceneModel example;
  std::string error;
  EXPECT_TRUE(import::LoadSceneDocument(std::string(text.begin(), text.end()), example, error)) << error;
  ExportOptions plain;
  ExportOptions morph;
  morph.exportNormals = false;
  morph.preserveVertexOrdering = true;
  morph.mergeVertices = false;
  morph.scale = 0.01f;
  files.push_back({"example", Export(example, plain)});
  files.push_back({"example without normals, corner order", Export(example, morph)});
  for (uint32_t seed : {3u, 17u, 101u, 2024u})
    files.push_back({"random scene " + std::to_string(seed), Export(test::RandomScene(seed), plain)});
  return files;
}

// Room for the decoded structs' own overhead over their encoded size.
size_t MemoryAllowance(size_t fileSize) {
  return 16 * fileSize + 16384;
}

TEST(ExportedFileMutation, TheFilesHoldEverySection) {
  bool textures = false, materials = false, uvs = false, normals = false, colors = false, lights = false,
       helpers = false, splines = false, userTexts = false, groups = false;
  for (const ExportedFile& f : ExportedFiles()) {
    CvmFile file;
    ReadError error;
    ASSERT_TRUE(ReadCvm(f.bytes.data(), f.bytes.size(), file, error))
        << f.name << ": " << FormatReadError(error);
    textures |= !file.textures.empty();
    materials |= !file.materials.empty();
    for (const auto& mesh : file.meshes) {
      uvs |= mesh.hasUvs;
      normals |= mesh.hasNormals;
      colors |= !mesh.colors.empty();
      groups |= mesh.groups.size() > 1;
    }
    lights |= !file.lights.empty();
    helpers |= !file.helpers.empty();
    splines |= !file.splines.empty();
    for (const auto& light : file.lights) userTexts |= light.userText.has_value();
  }
  EXPECT_TRUE(textures && materials && uvs && normals && colors && lights && helpers && splines &&
              userTexts && groups);
}

TEST(ExportedFileMutation, EveryCutIsRefusedWithinTheCut) {
  for (const ExportedFile& f : ExportedFiles()) {
    for (size_t cut = 0; cut < f.bytes.size(); ++cut) {
      // A buffer of exactly `cut` bytes, so that the sanitizers see any read past its end.
      const std::vector<uint8_t> prefix(f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
      CvmFile file;
      ReadError error;
      ASSERT_FALSE(ReadCvm(prefix.data(), prefix.size(), file, error)) << f.name << " cut at " << cut;
      ASSERT_LE(error.offset, cut) << f.name << ": " << error.message;
      ASSERT_FALSE(error.message.empty()) << f.name << " cut at " << cut;
    }
  }
}

TEST(ExportedFileMutation, DamagedBytesAreRefusedOrDecodedConsistently) {
  for (const ExportedFile& f : ExportedFiles()) {
    size_t refused = 0;
    size_t decoded = 0;
    // Larger files are damaged at a stride, so that every file gets about the same number of tries.
    const size_t stride = std::max<size_t>(1, f.bytes.size() / 3000);
    for (uint8_t pattern : {0x01, 0x10, 0x80, 0xFF}) {
      for (size_t at = 0; at < f.bytes.size(); at += stride) {
        std::vector<uint8_t> bytes = f.bytes;
        bytes[at] ^= pattern;
        size_t peak = 0;
        bool ok = false;
        {
          CvmFile file;
          ReadError error;
          test::AllocationMeter meter;
          ok = ReadCvm(bytes.data(), bytes.size(), file, error);
          peak = meter.Peak();
        }
        ++(ok ? decoded : refused);
        ASSERT_LE(peak, MemoryAllowance(bytes.size())) << f.name << ": flip " << int{pattern} << " at " << at;
        ASSERT_EQ(fuzz::CheckCvmDecoding(bytes.data(), bytes.size()), "")
            << f.name << ": flip " << int{pattern} << " at " << at;
      }
    }
    // Floats take any bits; counts, flags and indices mostly do not.
    EXPECT_GT(refused, 0u) << f.name;
    EXPECT_GT(decoded, 0u) << f.name;
  }
}

}  // namespace
}  // namespace cvm
