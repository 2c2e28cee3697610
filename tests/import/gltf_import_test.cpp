// The glTF importer's own reader against assimp's: every glTF file it takes must give the scene,
// the warnings, the files read and the exported bytes that the assimp path gives, and every file
// it does not take must be left whole to assimp.
#include "import/gltf_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "import/assimp_import.h"
#include "standin/standin_scene.h"
#include "tests/support/export_fixture.h"
#include "tests/support/scene_model_compare.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

std::vector<uint8_t> Exported(const standin::SceneModel& model) {
  std::string error;
  standin::SceneModel copy = model;
  auto scene = standin::MakeStandinScene(std::move(copy), error);
  if (scene == nullptr) {
    ADD_FAILURE() << error;
    return {};
  }
  return test::ExportToMemory(*scene).bytes;
}

// Reads path both ways. True when the glTF reader took it; then both must agree in everything.
bool TakenAndSameAsAssimp(const std::string& path) {
  standin::SceneModel fast, slow;
  import::ImportWarnings fastWarnings, slowWarnings;
  import::FilesRead fastFiles, slowFiles;
  std::string notMine, error;
  const bool taken = import::ImportGltfFile(path, fast, fastWarnings, notMine, &fastFiles);
  const bool read = import::ImportModelFile(path, slow, slowWarnings, error, nullptr, &slowFiles);
  if (!taken) {
    EXPECT_TRUE(fast.nodes.empty() && fast.materials.empty() && fastWarnings.empty()) << path;
    EXPECT_FALSE(notMine.empty()) << path;
    std::printf("  left to assimp: %s: %s\n", path.c_str(), notMine.c_str());
    return false;
  }
  EXPECT_TRUE(read) << path << ": taken, but assimp fails: " << error;
  if (!read) return true;
  EXPECT_EQ(standin::SceneModelDifference(fast, slow), "") << path;
  EXPECT_EQ(fastWarnings, slowWarnings) << path;
  EXPECT_EQ(fastFiles, slowFiles) << path;
  EXPECT_EQ(Exported(fast), Exported(slow)) << path;
  return true;
}

std::vector<std::string> TestModelGltfFiles() {
  std::vector<std::string> files;
  const std::filesystem::path root = ASSIMP_MODELS_DIR;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file() && import::IsGltfPath(it->path().string()))
      files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(GltfReader, GivesWhatAssimpGivesForEveryTestModelItTakes) {
  const std::vector<std::string> files = TestModelGltfFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  size_t taken = 0;
  for (const std::string& path : files) taken += TakenAndSameAsAssimp(path) ? 1 : 0;
  std::printf("the glTF reader took %zu of %zu glTF files of the test models\n", taken, files.size());
  EXPECT_GE(taken, 1u);
}

}  // namespace
}  // namespace cvm
