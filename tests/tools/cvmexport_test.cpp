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

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

std::string WriteScene(const TempDir& dir, const std::string& name, const std::string& json) {
  const std::string path = dir.File(name);
  WriteBytes(path, std::vector<uint8_t>(json.begin(), json.end()));
  return path;
}

constexpr const char* kLightScene = R"({"nodes": [{"name": "Lamp", "object": {"kind": "light"}}]})";

TEST(Cvmexport, WritesTheFileAndExitsZero) {
  TempDir dir;
  const std::string out = dir.File("example.cvm");
  const auto result = RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", out, "--scale", "0.5"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::vector<uint8_t> bytes = ReadBytes(out);
  ASSERT_GE(bytes.size(), 20u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<uint8_t>{0, 0, 0, 0x3F}));
  // The same scene and options give the same bytes.
  const std::string again = dir.File("again.cvm");
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", again, "--scale", "0.5", "--quiet"}).exitStatus,
            0);
  EXPECT_EQ(ReadBytes(again), bytes);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"again.cvm", "example.cvm"}));
}

struct FailureCase {
  const char* what;
  std::string scene;  // document text, or empty to name a missing file
  std::vector<std::string> extraArgs;
  std::string outName;
  int exitStatus;
  std::string messagePart;
};

TEST(Cvmexport, FailuresLeaveTheOutputAsItWas) {
  const std::vector<FailureCase> cases = {
      {"nothing qualifies",
       R"({"nodes": [{"hidden": true, "object": {"kind": "light"}}]})",
       {},
       "out.cvm",
       3,
       "No Data to Export."},
      {"nothing selected", kLightScene, {"--selected-only"}, "out.cvm", 3, "No Data to Export."},
      {"invalid scene",
       R"({"nodes": [{"object": {"kind": "lamp"}}]})",
       {},
       "out.cvm",
       1,
       "nodes[0].object.kind"},
      {"broken JSON", R"({"nodes": [)", {}, "out.cvm", 1, "scene.json"},
      {"missing scene file", "", {}, "out.cvm", 1, "missing.json"},
      {"output in a missing folder", kLightScene, {}, "missing/out.cvm", 1, "missing/out.cvm"},
      {"output is a folder", kLightScene, {}, "folder", 1, "folder"},
      {"unknown flag", kLightScene, {"--bogus"}, "out.cvm", 2, "--bogus"},
      {"scale is not a number", kLightScene, {"--scale", "big"}, "out.cvm", 2, "big"},
  };
  for (const FailureCase& c : cases) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "folder");
    const std::string out = dir.File("out.cvm");
    WriteBytes(out, kOld);
    const std::string scene =
        c.scene.empty() ? dir.File("missing.json") : WriteScene(dir, "scene.json", c.scene);
    std::vector<std::string> args = {scene, "-o", dir.File(c.outName)};
    args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
    const auto result = RunProcess(CVMEXPORT_PATH, args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.what << ": " << result.err;
    EXPECT_NE(result.err.find(c.messagePart), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(ReadBytes(out), kOld) << c.what;
    std::vector<std::string> expected = {"folder", "out.cvm"};
    if (!c.scene.empty()) expected.push_back("scene.json");
    EXPECT_EQ(dir.Entries(), expected) << c.what;
  }
}

TEST(Cvmexport, AWriteThatFailsPartWayKeepsTheOldFile) {
  TempDir dir;
  const std::string out = dir.File("out.cvm");
  WriteBytes(out, kOld);
  // The file-size limit makes writes fail part-way as a full disk would.
  test::ProcessSetup limits;
  limits.maxFileSize = 100;
  const auto result = RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", out}, limits);
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(out), std::string::npos) << result.err;
  EXPECT_EQ(ReadBytes(out), kOld);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.cvm"});
}

TEST(Cvmexport, UsageHelpAndVersion) {
  const auto noArgs = RunProcess(CVMEXPORT_PATH, {});
  EXPECT_EQ(noArgs.exitStatus, 2);
  EXPECT_NE(noArgs.err.find("scene"), std::string::npos) << noArgs.err;
  const auto help = RunProcess(CVMEXPORT_PATH, {"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  for (const char* flag :
       {"--scale", "--no-normals", "--preserve-vertex-order", "--no-merge", "--selected-only", "--quiet"})
    EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
  const auto version = RunProcess(CVMEXPORT_PATH, {"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out.rfind("cvmexport ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace cvm
