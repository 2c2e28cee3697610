// Every seed and every input the fuzzers ever found a fault with, replayed through the same
// checks as the fuzz targets, so that the ordinary and the sanitizer builds keep them fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/input_checks.h"
#include "reader/cvm_reader.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

struct ReplaySet {
  std::string folder;
  std::string (*check)(const uint8_t*, size_t);
  bool mustHaveFiles;  // a seed corpus is never empty; a regression folder may be
  bool mustBeValid;    // every file a file the reader accepts
};

TEST(FuzzReplay, CorporaAndRegressionsPassTheFuzzChecks) {
  const fs::path fuzz = FUZZ_DIR;
  const ReplaySet sets[] = {
      {(fuzz / "corpus/scene").string(), fuzz::CheckSceneDocument, true, false},
      // Made by the build from corpus/cvm and corpus/scene (cvm_make_seeds).
      {READER_SEEDS_DIR, fuzz::CheckCvmBytes, true, true},
      {(fuzz / "regressions/scene").string(), fuzz::CheckSceneDocument, false, false},
      {(fuzz / "regressions/cvm").string(), fuzz::CheckCvmBytes, false, false},
  };
  for (const ReplaySet& set : sets) {
    const std::vector<fs::path> files = FilesIn(set.folder);
    if (set.mustHaveFiles) {
      EXPECT_FALSE(files.empty()) << set.folder;
    }
    for (const fs::path& file : files) {
      const std::vector<uint8_t> bytes = test::ReadBytes(file.string());
      EXPECT_EQ(set.check(bytes.data(), bytes.size()), "") << file;
      if (!set.mustBeValid) continue;
      // A seed the reader refuses would only ever fuzz the first checks of the header.
      reader::CvmFile decoded;
      reader::ReadError error;
      EXPECT_TRUE(reader::ReadCvm(bytes.data(), bytes.size(), decoded, error))
          << file << ": " << reader::FormatReadError(error);
    }
  }
}

// The model-file target's GLB seeds (the small GLB files of the assimp test models) pass its
// check, which sends them to the glTF reader first and holds what it takes to assimp's reading.
// The other seeds reach assimp's readers, which crash on some inputs, and are replayed only by
// tests/harden/run_fuzz_tests.sh.
TEST(FuzzReplay, GlbSeedsPassTheModelFileCheck) {
  const fs::path models = ASSIMP_MODELS_DIR;
  if (!fs::is_directory(models)) GTEST_SKIP() << "assimp-testmodels is not installed";
  size_t seeds = 0;
  for (const auto& entry : fs::recursive_directory_iterator(models)) {
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (!entry.is_regular_file() || extension != ".glb" || entry.file_size() > 16384) continue;
    const std::vector<uint8_t> bytes = test::ReadBytes(entry.path().string());
    EXPECT_EQ(fuzz::CheckModelFile(bytes.data(), bytes.size()), "") << entry.path();
    ++seeds;
  }
  EXPECT_GT(seeds, 0u);
}

}  // namespace
}  // namespace cvm
