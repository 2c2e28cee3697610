// The export report, the reasons of the No Data message and --strict.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using Json = nlohmann::json;
using test::ReadBytes;
using test::RunProcess;
using test::TempDir;
using test::WriteBytes;

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
  WriteBytes(dir.File(name), std::vector<uint8_t>(text.begin(), text.end()));
  return dir.File(name);
}

Json ReadJson(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return Json::parse(bytes.begin(), bytes.end());
}

// One node of every fate, and a material whose diffuse map exists next to the scene and whose
// opacity map does not.
constexpr const char* kMixedScene = R"({
  "materials": [{"name": "M", "maps": {"diffuse": {"texmap": 0}, "opacity": {"texmap": 1}}}],
  "texmaps": [{"fileName": "C:\\maps\\here.png"}, {"fileName": "gone.png"}],
  "nodes": [
    {"name": "Box", "selected": true, "material": 0, "object": {"kind": "mesh",
      "vertices": [[0,0,0],[1,0,0],[0,1,0],[0,0,1]], "faces": [[0,1,2],[0,1,3],[0,2,3],[1,2,3]],
      "smoothing": [1,1,1,1]}},
    {"name": "HiddenBox", "hidden": true, "selected": true, "object": {"kind": "mesh",
      "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
    {"name": "Lamp", "object": {"kind": "light"}},
    {"name": "Eye", "selected": true, "object": {"kind": "camera"}},
    {"name": "Bone", "selected": true, "object": {"kind": "helper", "classId": [7, 7]}},
    {"name": "Empty", "selected": true, "object": {"kind": "mesh", "vertices": [], "faces": []}},
    {"name": "Dummy", "selected": true, "object": {"kind": "helper"}}
  ]})";

TEST(CvmexportReport, NamesEveryNodeWithWhatItBecameOrWhyNot) {
  TempDir dir;
  const std::string scene = WriteText(dir, "scene.json", kMixedScene);
  WriteText(dir, "here.png", "png");
  const auto result = RunProcess(CVMEXPORT_PATH, {scene, "-o", dir.File("out.cvm"), "--selected-only",
                                                  "--report", dir.File("report.json")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const Json report = ReadJson(dir.File("report.json"));
  EXPECT_EQ(report["status"], "written");
  EXPECT_EQ(report["output"], dir.File("out.cvm"));

  const std::vector<std::tuple<std::string, std::string, std::string>> expected = {
      // name, exportedAs or "", skipped or ""
      {"Box", "mesh", ""},
      {"HiddenBox", "", "hidden"},
      {"Lamp", "", "not selected"},
      {"Eye", "", "not exportable"},
      {"Bone", "", "helper of another class"},
      {"Empty", "", "no faces"},
      {"Dummy", "helper", ""},
  };
  ASSERT_EQ(report["nodes"].size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Json& node = report["nodes"][i];
    const auto& [name, exportedAs, skipped] = expected[i];
    EXPECT_EQ(node["name"], name);
    EXPECT_EQ(node.value("exportedAs", ""), exportedAs) << name;
    EXPECT_EQ(node.value("skipped", ""), skipped) << name;
    if (!exportedAs.empty()) {
      EXPECT_EQ(node["record"], 0) << name;
    }
  }

  ASSERT_EQ(report["meshes"].size(), 1u);
  const Json& mesh = report["meshes"][0];
  EXPECT_EQ(mesh["node"], "Box");
  EXPECT_EQ(mesh["faces"], 4);
  EXPECT_EQ(mesh["corners"], 12);
  EXPECT_EQ(mesh["positions"], 4);
  EXPECT_EQ(mesh["textureCoordinates"], 0);
  EXPECT_EQ(mesh["normals"], 4);  // smoothed: one per vertex
  // Two truncated angle bytes: a little over one step of 360/255 degrees at most, never zero
  // for these slanted normals.
  EXPECT_GT(mesh["maxNormalErrorDegrees"].get<double>(), 0.0);
  EXPECT_LT(mesh["maxNormalErrorDegrees"].get<double>(), 2.1);

  ASSERT_EQ(report["textures"].size(), 2u);
  EXPECT_EQ(report["textures"][0]["name"], "here.png");
  EXPECT_EQ(report["textures"][0]["found"], true);
  EXPECT_EQ(report["textures"][1]["name"], "gone.png");
  EXPECT_EQ(report["textures"][1]["found"], false);

  const std::vector<std::string> warnings = report["warnings"];
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "mesh node 'HiddenBox' skipped: hidden", "light node 'Lamp' skipped: not selected",
                          "camera node 'Eye' skipped: not exportable",
                          "helper node 'Bone' skipped: helper of another class",
                          "mesh node 'Empty' skipped: no faces", "texture 'gone.png' not found"}));
}

TEST(CvmexportReport, GoesToStdoutAndSaysWhyNothingWasExported) {
  TempDir dir;
  const std::string scene = WriteText(dir, "scene.json", R"({"nodes": [
      {"name": "A", "object": {"kind": "camera"}},
      {"name": "B", "hidden": true, "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
      {"name": "C", "object": {"kind": "camera"}}]})");
  const auto result = RunProcess(CVMEXPORT_PATH, {scene, "-o", dir.File("out.cvm"), "--report", "-"});
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_NE(result.err.find("3 nodes, none exportable: 2 cameras, 1 hidden mesh"), std::string::npos)
      << result.err;
  const Json report = Json::parse(result.out);
  EXPECT_EQ(report["status"], "no data");
  EXPECT_TRUE(report["output"].is_null());
  EXPECT_EQ(report["nodes"].size(), 3u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"scene.json"});
}

TEST(CvmexportReport, AnUnreadableSceneGivesAReportThatSaysSo) {
  TempDir dir;
  const auto result =
      RunProcess(CVMEXPORT_PATH, {dir.File("missing.glb"), "-o", dir.File("out.cvm"), "--report", "-"});
  EXPECT_EQ(result.exitStatus, 1);
  const Json report = Json::parse(result.out);
  EXPECT_EQ(report["status"], "failed");
  EXPECT_NE(report["error"].get<std::string>().find("missing.glb"), std::string::npos);
}

TEST(CvmexportReport, AFailedWriteSaysWhyInTheReport) {
  TempDir dir;
  const std::string scene = WriteText(dir, "scene.json", R"({"nodes": [{"object": {"kind": "light"}}]})");
  const auto result = RunProcess(CVMEXPORT_PATH, {scene, "-o", dir.File("missing/out.cvm"), "--report", "-"});
  EXPECT_EQ(result.exitStatus, 1);
  const Json report = Json::parse(result.out);
  EXPECT_EQ(report["status"], "failed");
  EXPECT_TRUE(report["output"].is_null());
  EXPECT_EQ(report["nodes"].size(), 1u);
  EXPECT_NE(report["error"].get<std::string>().find("cannot create a file in the folder of"),
            std::string::npos)
      << report["error"];
}

// The places a texture is looked for, in order: the scene's path for it, its name beside the
// scene, then its name in each --texture-path folder.
TEST(CvmexportReport, TexturesListThePlacesTriedAndTheOneFound) {
  TempDir dir;
  std::filesystem::create_directories(dir.Path() / "scenes" / "maps");
  for (const char* folder : {"first", "second"}) std::filesystem::create_directory(dir.Path() / folder);
  const std::string scene =
      WriteText(dir, "scenes/scene.json", R"({"materials": [{"maps": {"diffuse": {"texmap": 0}}}],
      "texmaps": [{"fileName": "maps/brick.png"}],
      "nodes": [{"material": 0, "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}}]})");
  const std::vector<std::string> places = {dir.File("scenes/maps/brick.png"), dir.File("scenes/brick.png"),
                                           dir.File("first/brick.png"), dir.File("second/brick.png")};
  const std::vector<std::string> searchFolders = {"--texture-path", dir.File("first"), "--texture-path",
                                                  dir.File("second")};
  const struct {
    const char* what;
    int placed;  // index into places, -1 for nowhere
    bool searchPath;
    size_t tried;
    int exitStatus;  // under --strict: 0 when found, as the texture is the only warning
  } cases[] = {
      {"at the scene's path", 0, true, 1, 0},
      {"beside the scene", 1, false, 2, 0},
      {"in the second search folder", 3, true, 4, 0},
      {"in a folder not searched", 3, false, 2, 1},
      {"nowhere", -1, true, 4, 1},
  };
  for (const auto& c : cases) {
    for (const std::string& place : places) std::filesystem::remove(place);
    if (c.placed >= 0) WriteText(dir, places[c.placed].substr(dir.Path().string().size() + 1), "png");
    std::vector<std::string> args = {scene,      "-o",       dir.File("out.cvm"),
                                     "--strict", "--report", dir.File("report.json")};
    if (c.searchPath) args.insert(args.end(), searchFolders.begin(), searchFolders.end());
    const auto result = RunProcess(CVMEXPORT_PATH, args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.what << ": " << result.err;
    const Json texture = ReadJson(dir.File("report.json"))["textures"][0];
    EXPECT_EQ(texture["name"], "brick.png") << c.what;
    EXPECT_EQ(texture["found"], c.exitStatus == 0) << c.what;
    EXPECT_EQ(texture["tried"].get<std::vector<std::string>>(),
              std::vector<std::string>(places.begin(), places.begin() + c.tried))
        << c.what;
    EXPECT_EQ(texture["foundAt"], c.exitStatus == 0 ? Json(places[c.placed]) : Json()) << c.what;
  }
}

TEST(CvmexportStrict, WarningsFailTheRunAndLeaveTheOutputAsItWas) {
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  struct Case {
    const char* what;
    std::string scene;
    bool strict;
    int exitStatus;
    bool written;
  };
  const std::string missingTexture = R"({"materials": [{"maps": {"diffuse": {"texmap": 0}}}],
      "texmaps": [{"fileName": "gone.png"}],
      "nodes": [{"material": 0, "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}}]})";
  const std::string skippedCamera =
      R"({"nodes": [{"object": {"kind": "light"}}, {"object": {"kind": "camera"}}]})";
  const std::string clean = R"({"nodes": [{"object": {"kind": "light"}}]})";
  const std::vector<Case> cases = {
      {"missing texture, strict", missingTexture, true, 1, false},
      {"missing texture", missingTexture, false, 0, true},
      {"skipped camera, strict", skippedCamera, true, 1, false},
      {"clean, strict", clean, true, 0, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string scene = WriteText(dir, "scene.json", c.scene);
    WriteBytes(dir.File("out.cvm"), old);
    std::vector<std::string> args = {scene, "-o", dir.File("out.cvm")};
    if (c.strict) args.push_back("--strict");
    const auto result = RunProcess(CVMEXPORT_PATH, args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.what << ": " << result.err;
    EXPECT_EQ(ReadBytes(dir.File("out.cvm")) != old, c.written) << c.what;
    if (!c.written) {
      EXPECT_NE(result.err.find("(strict), no file written"), std::string::npos) << result.err;
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out.cvm", "scene.json"})) << c.what;
  }
}

}  // namespace
}  // namespace cvm
