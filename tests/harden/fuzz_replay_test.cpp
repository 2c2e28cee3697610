// Every seed and every input the fuzzers ever found a fault with, replayed through the same
// checks as the fuzz targets, so that the ordinary and the sanitizer builds keep them fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/input_checks.h"
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
  const char* folder;  // below fuzz/
  std::string (*check)(const uint8_t*, size_t);
  bool mustHaveFiles;  // the seed corpora are never empty; a regression folder may be
};

TEST(FuzzReplay, CorporaAndRegressionsPassTheFuzzChecks) {
  const ReplaySet sets[] = {
      {"corpus/scene", fuzz::CheckSceneDocument, true},
      {"corpus/cvm", fuzz::CheckCvmBytes, true},
      {"regressions/scene", fuzz::CheckSceneDocument, false},
      {"regressions/cvm", fuzz::CheckCvmBytes, false},
  };
  for (const ReplaySet& set : sets) {
    const std::vector<fs::path> files = FilesIn(fs::path(FUZZ_DIR) / set.folder);
    if (set.mustHaveFiles) {
      EXPECT_FALSE(files.empty()) << set.folder;
    }
    for (const fs::path& file : files) {
      const std::vector<uint8_t> bytes = test::ReadBytes(file.string());
      EXPECT_EQ(set.check(bytes.data(), bytes.size()), "") << file;
    }
  }
}

}  // namespace
}  // namespace cvm
