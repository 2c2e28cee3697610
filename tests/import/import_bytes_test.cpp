// Scenes read from memory (the converter's standard input) and the files an import reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "import/import_scene.h"
#include "import/scene_document.h"
#include "tests/import/gltf_writer.h"
#include "tests/support/scene_model_compare.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::GltfNode;
using test::GltfScene;
using test::ReadText;
using test::TempDir;
using test::WriteText;

GltfScene OneTriangle() {
  GltfNode node;
  node.name = "Tri";
  node.primitives = {{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {}, 0, 4}};
  return GltfScene{{node}, {"Paint"}, {}};
}

TEST(IsSceneDocument, JsonWithoutATopLevelAssetKeyIsASceneDocument) {
  const struct {
    std::string bytes;
    bool sceneDocument;
  } cases[] = {
      {R"({"nodes": []})", true},
      {"\xEF\xBB\xBF \r\n\t{\"nodes\": []}", true},
      {R"({"asset": {"version": "2.0"}})", false},
      {R"({"scene": 0, "nodes": [{"name": "a"}], "asset": {}})", false},
      // "asset" deeper down, as a value, inside a string or a key that only ends like it.
      {R"({"nodes": [{"asset": 1}], "materials": [{"x": {"asset": 2}}]})", true},
      {R"({"_comment": "asset", "nodes": []})", true},
      {R"({"_comment": "say \"asset\": {}", "nodes": []})", true},
      {R"({"my_asset": 1})", true},
      // Broken JSON is the scene document reader's to report.
      {R"({"nodes": [)", true},
      {R"({"_comment": "never ends)", true},
      {"glTF\x02\x00\x00\x00", false},
      {"solid cube\n", false},
      {"", false},
      {"[]", false},
  };
  for (const auto& c : cases) EXPECT_EQ(import::IsSceneDocument(c.bytes), c.sceneDocument) << c.bytes;
}

// From memory, a file gives the same scene as from its path.
TEST(ImportSceneBytes, GivesTheSceneTheFileGives) {
  TempDir dir;
  const std::string document = dir.File("scene.json");
  WriteText(document, R"({"nodes": [{"name": "Lamp", "object": {"kind": "light"}}]})");
  for (const std::string& path : {document, test::WriteGlb(dir.Path().string(), "tri", OneTriangle())}) {
    standin::SceneModel fromFile, fromBytes;
    import::ImportWarnings fileWarnings, byteWarnings;
    std::string error;
    ASSERT_TRUE(import::ImportScene(path, fromFile, fileWarnings, error)) << path << ": " << error;
    ASSERT_TRUE(import::ImportSceneBytes(ReadText(path), fromBytes, byteWarnings, error))
        << path << ": " << error;
    EXPECT_EQ(standin::SceneModelDifference(fromFile, fromBytes), "") << path;
    EXPECT_EQ(byteWarnings, fileWarnings) << path;
    EXPECT_FALSE(fromBytes.nodes.empty()) << path;
  }
}

TEST(ImportSceneBytes, AModelThatNeedsFilesBesideItFailsNamingThem) {
  TempDir dir;
  const std::string gltf = test::WriteGltf(dir.Path().string(), "tri", OneTriangle());
  const std::string obj = dir.File("box.obj");
  WriteText(obj, "mtllib box.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Red\nf 1 2 3\n");
  WriteText(dir.File("box.mtl"), "newmtl Red\nKd 1 0 0\n");
  // The side files exist in the working folder too: they must not be read from there.
  const std::filesystem::path workingFolder = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const struct {
    std::string path;
    std::string named;
  } cases[] = {{gltf, "'tri.bin'"}, {obj, "'box.mtl'"}};
  for (const auto& c : cases) {
    standin::SceneModel model;
    import::ImportWarnings warnings;
    std::string error;
    EXPECT_FALSE(import::ImportSceneBytes(ReadText(c.path), model, warnings, error)) << c.path;
    EXPECT_NE(error.find("refers to files beside it"), std::string::npos) << error;
    EXPECT_NE(error.find(c.named), std::string::npos) << error;
    EXPECT_TRUE(model.nodes.empty()) << c.path;
  }
  std::filesystem::current_path(workingFolder);
}

TEST(ImportScene, ListsEveryFileItRead) {
  TempDir dir;
  const std::string folder = dir.Path().string();
  const std::string obj = dir.File("box.obj");
  WriteText(obj, "mtllib box.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Red\nf 1 2 3\n");
  WriteText(dir.File("box.mtl"), "newmtl Red\nKd 1 0 0\n");
  const std::string document = dir.File("scene.json");
  WriteText(document, R"({"nodes": []})");
  const struct {
    std::string path;
    import::FilesRead expected;
  } cases[] = {
      {test::WriteGltf(folder, "tri", OneTriangle()), {dir.File("tri.gltf"), dir.File("tri.bin")}},
      {test::WriteGlb(folder, "tri", OneTriangle()), {dir.File("tri.glb")}},
      {obj, {obj, dir.File("box.mtl")}},
      {document, {document}},
  };
  for (const auto& c : cases) {
    standin::SceneModel model;
    import::ImportWarnings warnings;
    import::FilesRead filesRead;
    std::string error;
    ASSERT_TRUE(import::ImportScene(c.path, model, warnings, error, nullptr, &filesRead))
        << c.path << ": " << error;
    EXPECT_EQ(filesRead, c.expected) << c.path;
  }
}

}  // namespace
}  // namespace cvm
