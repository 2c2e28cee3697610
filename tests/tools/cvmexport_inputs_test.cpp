// cvmexport with model files: the scene dump, several inputs at once, usage of the new options.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::ReadBytes;
using test::RunProcess;
using test::TempDir;
using test::WriteBytes;

std::string Model(const std::string& relative) {
  return std::string(ASSIMP_MODELS_DIR) + "/" + relative;
}

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
  WriteBytes(dir.File(name), std::vector<uint8_t>(text.begin(), text.end()));
  return dir.File(name);
}

// The scene as read, written as a document and exported again, gives the same bytes: the
// document holds everything the export reads.
TEST(CvmexportDumpScene, TheDumpedDocumentExportsToTheSameBytes) {
  for (const char* relative : {"FBX/spider.fbx", "Collada/lights.dae", "OBJ/cube_with_vertexcolors.obj",
                               "3DS/test1.3ds", "glTF2/BoxTextured-glTF/BoxTextured.gltf"}) {
    const std::string model = Model(relative);
    if (!std::filesystem::exists(model)) GTEST_SKIP() << "assimp-testmodels is not installed";
    TempDir dir;
    const auto direct = RunProcess(
        CVMEXPORT_PATH, {model, "-o", dir.File("direct.cvm"), "--dump-scene", dir.File("scene.json")});
    ASSERT_EQ(direct.exitStatus, 0) << relative << ": " << direct.err;
    const auto again = RunProcess(CVMEXPORT_PATH, {dir.File("scene.json"), "-o", dir.File("again.cvm")});
    ASSERT_EQ(again.exitStatus, 0) << relative << ": " << again.err;
    const std::vector<uint8_t> bytes = ReadBytes(dir.File("direct.cvm"));
    EXPECT_GT(bytes.size(), 20u) << relative;
    EXPECT_EQ(ReadBytes(dir.File("again.cvm")), bytes) << relative;
  }
}

constexpr const char* kGoodScene = R"({"nodes": [{"name": "Lamp", "object": {"kind": "light"}}]})";
constexpr const char* kCameraScene = R"({"nodes": [{"name": "Eye", "object": {"kind": "camera"}}]})";
constexpr const char* kBrokenScene = R"({"nodes": [{"object": {"kind": "lamp"}}]})";

struct ManyCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> inputs;  // file name, contents ("" for an OBJ model)
  std::vector<std::string> jobs;
  int exitStatus;
  std::vector<std::string> written;  // outputs expected in the folder, sorted
  std::string messagePart;
};

TEST(CvmexportManyInputs, EachInputIsConvertedOnItsOwn) {
  if (!std::filesystem::exists(Model("OBJ/box.obj"))) GTEST_SKIP() << "assimp-testmodels is not installed";
  const std::vector<ManyCase> cases = {
      {"all good", {{"a.json", kGoodScene}, {"box.obj", ""}}, {}, 0, {"a.cvm", "box.cvm"}, ""},
      {"one broken, in parallel",
       {{"a.json", kGoodScene}, {"broken.json", kBrokenScene}, {"box.obj", ""}},
       {"-j", "2"},
       1,
       {"a.cvm", "box.cvm"},
       "broken.json: nodes[0].object.kind"},
      {"one broken, one at a time",
       {{"broken.json", kBrokenScene}, {"a.json", kGoodScene}},
       {},
       1,
       {"a.cvm"},
       "broken.json"},
      {"one without data",
       {{"a.json", kGoodScene}, {"eye.json", kCameraScene}},
       {"-j", "4"},
       3,
       {"a.cvm"},
       "eye.json: No Data to Export."},
      {"broken and without data", {{"eye.json", kCameraScene}, {"broken.json", kBrokenScene}}, {}, 1, {}, ""},
  };
  for (const ManyCase& c : cases) {
    TempDir inputs, out;
    std::vector<std::string> args;
    for (const auto& [name, text] : c.inputs) {
      if (text.empty()) {
        std::filesystem::copy_file(Model("OBJ/box.obj"), inputs.File(name));
      } else {
        WriteText(inputs, name, text);
      }
      args.push_back(inputs.File(name));
    }
    args.insert(args.end(), {"--out-dir", out.Path().string()});
    args.insert(args.end(), c.jobs.begin(), c.jobs.end());
    const auto result = RunProcess(CVMEXPORT_PATH, args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.what << ": " << result.err;
    EXPECT_EQ(out.Entries(), c.written) << c.what;
    EXPECT_NE(result.err.find(c.messagePart), std::string::npos) << c.what << ": " << result.err;
  }
}

TEST(CvmexportManyInputs, UsageErrorsChangeNothing) {
  TempDir dir;
  const std::string a = WriteText(dir, "a.json", kGoodScene);
  std::filesystem::create_directory(dir.Path() / "sub");
  const std::string sameName = WriteText(dir, "sub/a.json", kGoodScene);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{a, sameName, "--out-dir", dir.File("out")}, "would both write"},
      {{a, sameName, "-o", dir.File("x.cvm")}, "-o takes a single input"},
      {{a}, "either -o or --out-dir"},
      {{a, "-o", dir.File("x.cvm"), "--out-dir", dir.File("out")}, "excludes"},
      {{a, sameName, "--out-dir", dir.File("out"), "--dump-scene", dir.File("d.json")}, "--dump-scene"},
      {{a, "--out-dir", dir.File("out"), "-j", "0"}, "-j"},
  };
  for (const auto& [args, messagePart] : cases) {
    const auto result = RunProcess(CVMEXPORT_PATH, args);
    EXPECT_EQ(result.exitStatus, 2) << messagePart << ": " << result.err;
    EXPECT_NE(result.err.find(messagePart), std::string::npos) << result.err;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.json", "sub"})) << messagePart;
  }
}

}  // namespace
}  // namespace cvm
