// cvmexport as a build system's step: dependency files, outputs left alone when their bytes do
// not change, the standard input and output, and the output folder made when missing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/import/gltf_writer.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using Json = nlohmann::json;
using test::ReadBytes;
using test::ReadText;
using test::RunProcess;
using test::TempDir;
using test::WriteBytes;
using test::WriteText;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
constexpr const char* kLampScene = R"({"nodes": [{"name": "Lamp", "object": {"kind": "light"}}]})";
constexpr const char* kCameraScene = R"({"nodes": [{"name": "Eye", "object": {"kind": "camera"}}]})";
constexpr const char* kBrokenScene = R"({"nodes": [{"object": {"kind": "lamp"}}]})";

std::vector<uint8_t> AsBytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The path as a make rule has it: these tests' paths hold spaces, and nothing else to escape.
std::string Escaped(std::string path) {
  for (size_t at = path.find(' '); at != std::string::npos; at = path.find(' ', at + 2))
    path.insert(at, "\\");
  return path;
}

test::GltfScene OneTriangle() {
  test::GltfNode node;
  node.name = "Tri";
  node.primitives = {{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {}, -1, 4}};
  return test::GltfScene{{node}, {}, {}};
}

// A folder whose name needs escaping in a rule, with a glTF and its buffer, an OBJ and its
// material library, and a scene document.
struct ModelFolder {
  TempDir dir;
  std::string folder = (dir.Path() / "model files").string();
  std::string gltf, bin, obj, mtl, document;

  ModelFolder() {
    std::filesystem::create_directory(folder);
    gltf = test::WriteGltf(folder, "tri", OneTriangle());
    bin = folder + "/tri.bin";
    obj = WriteText(folder + "/box.obj", "mtllib box.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Red\nf 1 2 3\n");
    mtl = WriteText(folder + "/box.mtl", "newmtl Red\nKd 1 0 0\n");
    document = WriteText(folder + "/lamp.json", kLampScene);
  }
};

TEST(CvmexportDepfile, NamesEveryFileTheConversionRead) {
  ModelFolder models;
  const struct {
    std::string input;
    std::vector<std::string> read;
  } cases[] = {
      {models.gltf, {models.gltf, models.bin}},
      {models.obj, {models.obj, models.mtl}},
      {models.document, {models.document}},
  };
  for (const auto& c : cases) {
    const std::string out = models.dir.File("out file.cvm");
    const std::string depfile = models.dir.File("out file.cvm.d");
    const auto result = RunProcess(CVMEXPORT_PATH, {c.input, "-o", out, "--depfile", depfile});
    ASSERT_EQ(result.exitStatus, 0) << c.input << ": " << result.err;
    std::string rule = Escaped(out) + ":";
    for (const std::string& file : c.read) rule += " " + Escaped(file);
    EXPECT_EQ(ReadText(depfile), rule + "\n") << c.input;
  }
}

TEST(CvmexportDepfile, WithAnOutputFolderEachOutputHasItsOwnBesideIt) {
  ModelFolder models;
  const std::string out = models.dir.File("cooked");
  const auto result =
      RunProcess(CVMEXPORT_PATH, {models.gltf, models.document, "--out-dir", out, "--depfiles"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(ReadText(out + "/tri.cvm.d"),
            Escaped(out + "/tri.cvm") + ": " + Escaped(models.gltf) + " " + Escaped(models.bin) + "\n");
  EXPECT_EQ(ReadText(out + "/lamp.cvm.d"),
            Escaped(out + "/lamp.cvm") + ": " + Escaped(models.document) + "\n");
}

TEST(CvmexportDepfile, AFailedConversionLeavesTheDepfileAndTheOutputAsTheyWere) {
  const struct {
    const char* what;
    std::string scene;
    std::string outName, depfileName;
    int exitStatus;
    std::string messagePart;
  } cases[] = {
      {"broken scene", kBrokenScene, "out.cvm", "out.d", 1, "nodes[0].object.kind"},
      {"nothing to export", kCameraScene, "out.cvm", "out.d", 3, "No Data to Export."},
      {"output in a missing folder", kLampScene, "missing/out.cvm", "out.d", 1, "missing/out.cvm"},
      {"dependency file in a missing folder", kLampScene, "out.cvm", "missing/out.d", 1, "missing/out.d"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string scene = WriteText(dir.File("scene.json"), c.scene);
    WriteBytes(dir.File("out.cvm"), kOld);
    WriteBytes(dir.File("out.d"), kOld);
    const auto result =
        RunProcess(CVMEXPORT_PATH, {scene, "-o", dir.File(c.outName), "--depfile", dir.File(c.depfileName)});
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.what << ": " << result.err;
    EXPECT_NE(result.err.find(c.messagePart), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(ReadBytes(dir.File("out.cvm")), kOld) << c.what;
    EXPECT_EQ(ReadBytes(dir.File("out.d")), kOld) << c.what;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out.cvm", "out.d", "scene.json"})) << c.what;
  }
}

// A time well in the past, which no file written by the test has by chance.
constexpr time_t kOldTime = 1000000000;

void SetOldTime(const std::string& path) {
  const utimbuf times{kOldTime, kOldTime};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

time_t ModificationTime(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mtime;
}

TEST(CvmexportUnchanged, AnOutputWithTheSameBytesIsNotTouched) {
  TempDir dir;
  const std::string out = dir.File("example.cvm");
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", out}).exitStatus, 0);
  const std::vector<uint8_t> first = ReadBytes(out);
  const struct {
    const char* what;
    std::vector<std::string> options;
    const char* status;
    bool touched;
  } cases[] = {
      {"the same export", {}, "unchanged", false},
      {"refused under --strict", {"--strict"}, "failed", false},
      {"another scale", {"--scale", "2"}, "written", true},
      {"back to the first bytes", {}, "written", true},
      {"once more", {}, "unchanged", false},
  };
  for (const auto& c : cases) {
    SetOldTime(out);
    std::vector<std::string> args = {EXAMPLE_SCENE, "-o", out, "--report", "-"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = RunProcess(CVMEXPORT_PATH, args);
    const Json report = Json::parse(result.out);
    EXPECT_EQ(report["status"], c.status) << c.what << ": " << result.err;
    EXPECT_EQ(ModificationTime(out) != kOldTime, c.touched) << c.what;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"example.cvm"}) << c.what;
  }
  EXPECT_EQ(ReadBytes(out), first);
}

TEST(CvmexportUnchanged, SeveralInputsReportEachOutputOnItsOwn) {
  TempDir dir;
  const std::string a = WriteText(dir.File("a.json"), kLampScene);
  const std::string b = WriteText(dir.File("b.json"), kLampScene);
  const std::string out = dir.File("out");
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {a, b, "--out-dir", out}).exitStatus, 0);
  SetOldTime(out + "/a.cvm");
  SetOldTime(out + "/b.cvm");
  WriteText(b, R"({"nodes": [{"name": "Other", "object": {"kind": "light"}}]})");
  const auto result = RunProcess(CVMEXPORT_PATH, {a, b, "--out-dir", out, "--report", "-"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const Json report = Json::parse(result.out);
  EXPECT_EQ(report[0]["status"], "unchanged");
  EXPECT_EQ(report[1]["status"], "written");
  EXPECT_EQ(ModificationTime(out + "/a.cvm"), kOldTime);
  EXPECT_NE(ModificationTime(out + "/b.cvm"), kOldTime);
}

TEST(CvmexportStandardStreams, GiveTheBytesOfTheFiles) {
  TempDir dir;
  for (const std::string& input :
       {std::string(EXAMPLE_SCENE), test::WriteGlb(dir.Path().string(), "tri", OneTriangle())}) {
    ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {input, "-o", dir.File("file.cvm")}).exitStatus, 0) << input;
    const std::vector<uint8_t> bytes = ReadBytes(dir.File("file.cvm"));
    ASSERT_GT(bytes.size(), 20u) << input;
    test::ProcessSetup fromStdin;
    fromStdin.stdinPath = input;

    const auto both = RunProcess(CVMEXPORT_PATH, {"-", "-o", "-"}, fromStdin);
    EXPECT_EQ(both.exitStatus, 0) << input << ": " << both.err;
    EXPECT_EQ(AsBytes(both.out), bytes) << input;
    const auto toStdout = RunProcess(CVMEXPORT_PATH, {input, "-o", "-"});
    EXPECT_EQ(toStdout.exitStatus, 0) << input << ": " << toStdout.err;
    EXPECT_EQ(AsBytes(toStdout.out), bytes) << input;
    const auto toFile = RunProcess(
        CVMEXPORT_PATH, {"-", "-o", dir.File("stdin.cvm"), "--report", dir.File("report.json")}, fromStdin);
    EXPECT_EQ(toFile.exitStatus, 0) << input << ": " << toFile.err;
    EXPECT_EQ(ReadBytes(dir.File("stdin.cvm")), bytes) << input;
    EXPECT_EQ(Json::parse(ReadText(dir.File("report.json")))["input"], "-") << input;
  }
}

TEST(CvmexportStandardStreams, AFailedExportWritesNothingToTheStandardOutput) {
  ModelFolder models;
  const std::string broken = WriteText(models.dir.File("broken.json"), kBrokenScene);
  const std::string camera = WriteText(models.dir.File("camera.json"), kCameraScene);
  const struct {
    const char* what;
    std::string stdinPath;
    std::vector<std::string> args;
    int exitStatus;
    std::string messagePart;
  } cases[] = {
      {"broken scene", broken, {"-", "-o", "-"}, 1, "standard input: nodes[0].object.kind"},
      {"nothing to export", camera, {"-", "-o", "-"}, 3, "No Data to Export."},
      {"a warning under --strict",
       "",
       {EXAMPLE_SCENE, "-o", "-", "--strict"},
       1,
       "(strict), no file written"},
      {"a glTF without its buffer", models.gltf, {"-", "-o", "-"}, 1, "'tri.bin'"},
      {"an OBJ without its materials", models.obj, {"-", "-o", "-"}, 1, "'box.mtl'"},
      {"empty input", "/dev/null", {"-", "-o", "-"}, 1, "standard input"},
      {"two outputs to stdout", "", {EXAMPLE_SCENE, "-o", "-", "--report", "-"}, 2, "only one of"},
      {"stdin among several inputs",
       "",
       {"-", EXAMPLE_SCENE, "--out-dir", models.dir.File("o")},
       2,
       "takes -o"},
      {"a depfile for stdin",
       "",
       {"-", "-o", models.dir.File("o.cvm"), "--depfile", models.dir.File("o.d")},
       2,
       "dependency file"},
      {"a depfile for stdout",
       "",
       {EXAMPLE_SCENE, "-o", "-", "--depfile", models.dir.File("o.d")},
       2,
       "dependency file"},
  };
  for (const auto& c : cases) {
    test::ProcessSetup setup;
    setup.stdinPath = c.stdinPath;
    const auto result = RunProcess(CVMEXPORT_PATH, c.args, setup);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.what << ": " << result.err;
    EXPECT_NE(result.err.find(c.messagePart), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(result.out, "") << c.what;
  }
  EXPECT_EQ(models.dir.Entries(), (std::vector<std::string>{"broken.json", "camera.json", "model files"}));
}

TEST(CvmexportOutDir, IsMadeWhenMissing) {
  TempDir dir;
  const std::string a = WriteText(dir.File("a.json"), kLampScene);
  const std::string out = dir.File("new/deeper");
  const auto result = RunProcess(CVMEXPORT_PATH, {a, "--out-dir", out});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_GT(ReadBytes(out + "/a.cvm").size(), 20u);
}

TEST(CvmexportOutDir, OneThatCannotBeMadeFailsEveryInputWithTheReason) {
  TempDir dir;
  const std::string a = WriteText(dir.File("a.json"), kLampScene);
  const std::string b = WriteText(dir.File("b.json"), kLampScene);
  WriteBytes(dir.File("file"), kOld);
  for (const std::string& out : {dir.File("file"), dir.File("file/below")}) {
    const auto result = RunProcess(CVMEXPORT_PATH, {a, b, "--out-dir", out, "--report", "-"});
    EXPECT_EQ(result.exitStatus, 1) << out;
    const Json report = Json::parse(result.out);
    ASSERT_EQ(report.size(), 2u) << out;
    for (const Json& entry : report) {
      EXPECT_EQ(entry["status"], "failed") << out;
      EXPECT_NE(entry["error"].get<std::string>().find("cannot make the output folder '" + out + "'"),
                std::string::npos)
          << entry;
    }
    EXPECT_NE(result.err.find("a.json: cannot make the output folder"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("b.json: cannot make the output folder"), std::string::npos) << result.err;
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.json", "b.json", "file"}));
  EXPECT_EQ(ReadBytes(dir.File("file")), kOld);
}

}  // namespace
}  // namespace cvm
