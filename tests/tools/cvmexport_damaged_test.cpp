// cvmexport on damaged model files: each input's conversion runs in a child, so a reader that
// crashes, hangs or runs away with memory fails that input alone, with one line that says so.
// The damaged files are made here from real ones of assimp's test collection.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
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

// A copy of a real model file with one kind of damage.
struct Damage {
  const char* source;  // under the test collection
  enum Kind { kCut, kFlip, kReplace } kind;
  size_t at = 0;          // bytes kept (kCut), the byte inverted (kFlip)
  const char* find = "";  // kReplace: the first occurrence of find becomes replacement
  const char* replacement = "";
};

std::vector<uint8_t> Damaged(const Damage& d) {
  std::vector<uint8_t> bytes = ReadBytes(Model(d.source));
  switch (d.kind) {
    case Damage::kCut:
      bytes.resize(d.at);
      break;
    case Damage::kFlip:
      bytes.at(d.at) ^= 0xFF;
      break;
    case Damage::kReplace: {
      std::string text(bytes.begin(), bytes.end());
      const size_t at = text.find(d.find);
      EXPECT_NE(at, std::string::npos) << d.source << " holds no " << d.find;
      if (at != std::string::npos) text.replace(at, std::string(d.find).size(), d.replacement);
      bytes.assign(text.begin(), text.end());
      break;
    }
  }
  return bytes;
}

// Writes the damaged copy as dir/name.
std::string WriteDamaged(const TempDir& dir, const std::string& name, const Damage& d) {
  WriteBytes(dir.File(name), Damaged(d));
  return dir.File(name);
}

bool HaveModels() {
  return std::filesystem::exists(Model("PLY/cube.ply"));
}

// A reader's segmentation fault; under AddressSanitizer the sanitizer catches it and aborts.
#if defined(CVM_SANITIZED)
constexpr const char* kSegmentationFault = "the conversion crashed (signal 6";
#else
constexpr const char* kSegmentationFault = "the conversion crashed (signal 11";
#endif

// The 3MF, ASE, COB and MDL copies crash assimp's readers (`assimp info` crashes on them too);
// the PLY cut short sends its reader into a loop; the bad PLY index is refused by the import's
// own check of the faces before assimp's post-processing would read out of bounds.
TEST(CvmexportDamagedFiles, EachFailsWithOneLineAndLeavesTheOldTarget) {
  if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
  const struct Case {
    const char* name;
    Damage damage;
    const char* messagePart;
  } cases[] = {
      {"box.3mf", {"3MF/box.3mf", Damage::kFlip, 1034}, "the conversion crashed (signal 6 (Aborted))"},
      {"cube.ase", {"ASE/RotatingCube.ASE", Damage::kFlip, 2399}, kSegmentationFault},
      {"molecule.cob", {"COB/molecule.cob", Damage::kCut, 10918}, "the conversion crashed (signal 6"},
      {"sphere.mdl", {"MDL/MDL (HL1)/chrome_sphere.mdl", Damage::kCut, 5604}, kSegmentationFault},
      {"loop.ply",
       {"PLY/cube.ply", Damage::kCut, 98},
       "stopped after 1 s, the time limit per input (--timeout)"},
      {"index.ply",
       {"PLY/cube.ply", Damage::kReplace, 0, "4 0 1 2 3", "4 0 1 2 99"},
       "read a broken mesh: mesh (1 of 1): face 0: vertex index 99 out of range (8 vertices)"},
  };
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  for (const Case& c : cases) {
    TempDir dir;
    const std::string input = WriteDamaged(dir, c.name, c.damage);
    WriteBytes(dir.File("out.cvm"), old);
    const auto result = RunProcess(CVMEXPORT_PATH, {input, "-o", dir.File("out.cvm"), "--timeout", "1"});
    EXPECT_EQ(result.exitStatus, 1) << c.name << ": " << result.err;
    EXPECT_EQ(result.err.find(input + ": "), 0u)
        << c.name << ": the line starts with the input: " << result.err;
    EXPECT_NE(result.err.find(c.messagePart), std::string::npos) << c.name << ": " << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << c.name << ": one line: " << result.err;
    EXPECT_EQ(ReadBytes(dir.File("out.cvm")), old) << c.name;
    std::vector<std::string> expected = {c.name, "out.cvm"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Entries(), expected) << c.name << ": nothing left behind";
  }
}

// A model file on the standard input is converted in a child too, which reads the converter's
// standard input and writes its standard output ("-o -") only once the file is whole.
TEST(CvmexportDamagedFiles, TheStandardInputIsIsolatedLikeAFile) {
  if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
  TempDir dir;
  const std::string loop = WriteDamaged(dir, "loop.ply", {"PLY/cube.ply", Damage::kCut, 98});
  test::ProcessSetup fromLoop;
  fromLoop.stdinPath = loop;
  const auto stopped = RunProcess(CVMEXPORT_PATH, {"-", "-o", "-", "--timeout", "1"}, fromLoop);
  EXPECT_EQ(stopped.exitStatus, 1) << stopped.err;
  EXPECT_EQ(stopped.err.find("standard input: stopped after 1 s"), 0u) << stopped.err;
  EXPECT_EQ(stopped.out, "") << "nothing of a failed export on the standard output";

  test::ProcessSetup fromGood;
  fromGood.stdinPath = Model("PLY/cube.ply");
  const auto good = RunProcess(CVMEXPORT_PATH, {"-", "-o", "-"}, fromGood);
  ASSERT_EQ(good.exitStatus, 0) << good.err;
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {Model("PLY/cube.ply"), "-o", dir.File("cube.cvm")}).exitStatus, 0);
  const std::vector<uint8_t> fromFile = ReadBytes(dir.File("cube.cvm"));
  EXPECT_EQ(std::vector<uint8_t>(good.out.begin(), good.out.end()), fromFile);
}

// Good inputs beside a crashing and a hanging one, two at a time: the good ones are written, the
// report holds every input in input order, stderr names each failure, the status is 1.
TEST(CvmexportDamagedFiles, ABatchGivesEveryInputItsFate) {
  if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
  TempDir in, out;
  std::filesystem::copy_file(Model("OBJ/box.obj"), in.File("box.obj"));
  const std::string crash = WriteDamaged(in, "crash.ase", {"ASE/RotatingCube.ASE", Damage::kFlip, 2399});
  const std::string loop = WriteDamaged(in, "loop.ply", {"PLY/cube.ply", Damage::kCut, 98});
  std::filesystem::copy_file(EXAMPLE_SCENE, in.File("scene.json"));
  std::filesystem::copy_file(Model("PLY/cube.ply"), in.File("cube.ply"));
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  WriteBytes(out.File("crash.cvm"), old);

  const std::vector<std::string> inputs = {in.File("box.obj"), crash, loop, in.File("scene.json"),
                                           in.File("cube.ply")};
  std::vector<std::string> args = inputs;
  args.insert(args.end(), {"--out-dir", out.Path().string(), "-j", "2", "--timeout", "1", "--report",
                           in.File("report.json")});
  const auto result = RunProcess(CVMEXPORT_PATH, args);

  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_EQ(out.Entries(), (std::vector<std::string>{"box.cvm", "crash.cvm", "cube.cvm", "scene.cvm"}));
  EXPECT_EQ(ReadBytes(out.File("crash.cvm")), old) << "the failed input's old output stays as it was";
  EXPECT_NE(result.err.find(crash + ": the conversion crashed"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(loop + ": stopped after 1 s"), std::string::npos) << result.err;

  const auto report = nlohmann::json::parse(ReadBytes(in.File("report.json")));
  ASSERT_EQ(report.size(), inputs.size());
  const std::vector<std::string> statuses = {"written", "failed", "failed", "written", "written"};
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(report[i]["input"], inputs[i]);
    EXPECT_EQ(report[i]["status"], statuses[i]) << inputs[i];
    if (statuses[i] == "failed") {
      EXPECT_TRUE(report[i]["output"].is_null()) << inputs[i];
      EXPECT_NE(report[i]["error"].get<std::string>().find(inputs[i]), std::string::npos) << report[i].dump();
    }
  }
}

// A conversion whose child grows past --max-memory is stopped; converted in a child or in the
// converter's own process, a good file gives the same bytes and the same report.
TEST(CvmexportDamagedFiles, LimitsAndTheChildChangeNothingElse) {
  if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
  TempDir dir;
  const auto limited =
      RunProcess(CVMEXPORT_PATH, {Model("FBX/spider.fbx"), "-o", dir.File("x.cvm"), "--max-memory", "1"});
  EXPECT_EQ(limited.exitStatus, 1) << limited.err;
  EXPECT_NE(limited.err.find("the conversion went past 1 MiB, the memory limit per input (--max-memory)"),
            std::string::npos)
      << limited.err;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{});

  for (const char* relative : {"FBX/spider.fbx", "Collada/lights.dae", "RAW/WithColor.raw"}) {
    const auto child =
        RunProcess(CVMEXPORT_PATH, {Model(relative), "-o", dir.File("child.cvm"), "--report", "-"});
    const auto own = RunProcess(
        CVMEXPORT_PATH, {Model(relative), "-o", dir.File("own.cvm"), "--report", "-", "--in-process"});
    // The allocator's settings change how the memory is had, never the bytes.
    const auto untuned = RunProcess(
        CVMEXPORT_PATH, {Model(relative), "-o", dir.File("untuned.cvm"), "--no-memory-tuning", "--quiet"});
    ASSERT_EQ(child.exitStatus, 0) << relative << ": " << child.err;
    ASSERT_EQ(own.exitStatus, 0) << relative << ": " << own.err;
    ASSERT_EQ(untuned.exitStatus, 0) << relative << ": " << untuned.err;
    EXPECT_EQ(ReadBytes(dir.File("child.cvm")), ReadBytes(dir.File("own.cvm"))) << relative;
    EXPECT_EQ(ReadBytes(dir.File("untuned.cvm")), ReadBytes(dir.File("own.cvm"))) << relative;
    auto childReport = nlohmann::json::parse(child.out);
    auto ownReport = nlohmann::json::parse(own.out);
    childReport.erase("output");
    ownReport.erase("output");
    EXPECT_EQ(childReport, ownReport) << relative;
  }
}

}  // namespace
}  // namespace cvm
