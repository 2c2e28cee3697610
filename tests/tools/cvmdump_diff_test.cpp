// cvmdump --diff and the comparison behind it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"
#include "tools/cvmdump/cvm_diff.h"

namespace cvm {
namespace {

using reader::CvmFile;
using test::ReadBytes;
using test::RunProcess;
using test::TempDir;
using test::WriteBytes;

CvmFile SmallFile() {
  CvmFile file;
  file.header = {1.0f, 1, 1, 0, 0};
  file.textures = {{"brick.tga", 0}};
  reader::CvmMaterial material;
  material.name = "Brick";
  file.materials = {material};
  reader::CvmMesh mesh;
  mesh.cornerCount = 3;
  mesh.positionIndices = {0, 1, 2};
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
  mesh.faceCount = 1;
  mesh.groups = {{0, {{2, 1, 0}}}};
  file.meshes = {mesh};
  reader::CvmLight light;
  light.name = "Sun";
  light.color = {1, 0.5f, 0.25f};
  file.lights = {light};
  return file;
}

TEST(CvmDifference, NamesTheFirstDifferingFieldWithBothValues) {
  struct Case {
    const char* what;
    std::function<void(CvmFile&)> change;
    std::string path, first, second;
  };
  const std::vector<Case> cases = {
      {"header scale", [](CvmFile& f) { f.header.scale = 2.0f; }, "header.scale", "1.0", "2.0"},
      {"texture name", [](CvmFile& f) { f.textures[0].name = "stone.tga"; }, "textures[0].name",
       "\"brick.tga\"", "\"stone.tga\""},
      {"position component", [](CvmFile& f) { f.meshes[0].positions[2].z = 1.5f; },
       "meshes[0].positions[2][2]", "1.0", "1.5"},
      {"negative zero is not zero", [](CvmFile& f) { f.meshes[0].pivot.y = -0.0f; }, "meshes[0].pivot[1]",
       "0.0", "\"-0\""},
      {"an extra face group",
       [](CvmFile& f) {
         f.meshes[0].groups.push_back({1, {}});
       },
       "meshes[0].groups", "1 entry", "2 entries"},
      {"the earlier of two differences",
       [](CvmFile& f) {
         f.lights[0].color.y = 0.75f;
         f.meshes[0].faceCount = 2;
       },
       "meshes[0].faceCount", "1", "2"},
      {"light colour", [](CvmFile& f) { f.lights[0].color.y = 0.75f; }, "lights[0].color[1]", "0.5", "0.75"},
      {"user text appears", [](CvmFile& f) { f.lights[0].userText = "a"; }, "lights[0].userText", "null",
       "\"a\""},
  };
  for (const Case& c : cases) {
    const CvmFile a = SmallFile();
    CvmFile b = SmallFile();
    c.change(b);
    const auto difference = reader::FirstCvmDifference(a, b);
    ASSERT_TRUE(difference.has_value()) << c.what;
    EXPECT_EQ(difference->path, c.path) << c.what;
    EXPECT_EQ(difference->first, c.first) << c.what;
    EXPECT_EQ(difference->second, c.second) << c.what;
  }
}

TEST(CvmDifference, EqualContentAndNaNsAreTheSame) {
  CvmFile a = SmallFile();
  CvmFile b = SmallFile();
  EXPECT_FALSE(reader::FirstCvmDifference(a, b).has_value());
  a.lights[0].intensity = std::nanf("1");
  b.lights[0].intensity = std::nanf("2");
  EXPECT_FALSE(reader::FirstCvmDifference(a, b).has_value());
}

TEST(CvmdumpDiff, ExitStatusesAndMessages) {
  TempDir dir;
  const std::string a = dir.File("a.cvm"), b = dir.File("b.cvm"), c = dir.File("c.cvm");
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", a}).exitStatus, 0);
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", b}).exitStatus, 0);
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", c, "--no-normals"}).exitStatus, 0);
  std::vector<uint8_t> truncated = ReadBytes(a);
  truncated.resize(10);
  WriteBytes(dir.File("short.cvm"), truncated);

  const auto same = RunProcess(CVMDUMP_PATH, {"--diff", a, b});
  EXPECT_EQ(same.exitStatus, 0) << same.err;
  EXPECT_EQ(same.out, "");

  const auto differ = RunProcess(CVMDUMP_PATH, {"--diff", a, c});
  EXPECT_EQ(differ.exitStatus, 1) << differ.err;
  EXPECT_EQ(differ.out.rfind("first difference at meshes[0].normalIndices: [", 0), 0u) << differ.out;
  EXPECT_NE(differ.out.find(" in " + c), std::string::npos) << differ.out;

  const auto broken = RunProcess(CVMDUMP_PATH, {"--diff", a, dir.File("short.cvm")});
  EXPECT_EQ(broken.exitStatus, 1);
  EXPECT_EQ(broken.err.rfind(dir.File("short.cvm") + ": offset ", 0), 0u) << broken.err;

  for (const std::vector<std::string>& usage :
       {std::vector<std::string>{"--diff", a}, {"--diff", a, b, "--json"}, {a, "--diff", a, b}, {}}) {
    EXPECT_EQ(RunProcess(CVMDUMP_PATH, usage).exitStatus, 2) << usage.size();
  }
}

}  // namespace
}  // namespace cvm
