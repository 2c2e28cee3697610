// The mesh section through the real driver: scenes from documents, the file read back.
#include "meshes/mesh_section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "export/run_export.h"
#include "format/output_target.h"
#include "import/scene_document.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/fake_host.h"
#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

using reader::CvmFile;
using reader::CvmMesh;

std::unique_ptr<standin::StandinScene> SceneFromJson(const std::string& json) {
  std::string error;
  auto scene = import::LoadStandinScene(json, error);
  EXPECT_NE(scene, nullptr) << error;
  return scene;
}

struct MemoryExport {
  ExportOutcome outcome;
  std::vector<uint8_t> bytes;
  test::RecordingUi ui;
};

// The real driver, prompts suppressed, into memory.
MemoryExport ExportToMemory(HostScene& scene, ExportOptions options = ExportOptions()) {
  MemoryExport result;
  MemoryTarget target;
  result.outcome = RunExport(target, scene, result.ui, options, 0, true);
  if (target.committed) result.bytes = target.Bytes();
  return result;
}

CvmFile Read(const std::vector<uint8_t>& bytes) {
  CvmFile file;
  reader::ReadError error;
  EXPECT_TRUE(reader::ReadCvm(bytes.data(), bytes.size(), file, error)) << reader::FormatReadError(error);
  return file;
}

// The texts the mesh phase set: those after the material section and before the lights.
std::vector<std::string> MeshTexts(const std::vector<std::string>& texts) {
  std::vector<std::string> mesh;
  for (const std::string& t : texts) {
    if (t == "Exporting Lights\n") break;
    mesh.push_back(t);
  }
  return mesh;
}

std::string TriangleFan(int faces, bool native = true) {
  std::ostringstream json;
  json << R"({"nodes": [{"name": "Tri", "object": {"kind": "mesh", "native": )" << (native ? "true" : "false")
       << R"(, "vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,0]], "faces": [)";
  for (int f = 0; f < faces; ++f) json << (f ? "," : "") << (f % 2 ? "[1,3,2]" : "[0,1,2]");
  json << "]}}]}";
  return json.str();
}

std::vector<std::string> ConsolidationTexts(const char* pass, const std::vector<int>& percents) {
  std::vector<std::string> texts;
  for (const int p : percents)
    texts.push_back(std::string("Tri - Consolidating ") + pass + " " + std::to_string(p) + "%\n");
  return texts;
}

TEST(MeshSection, ProgressTextSequence) {
  struct Case {
    int faces;
    bool normals;
    std::vector<int> gathering;
    std::vector<int> consolidation;
  };
  const Case cases[] = {
      {1, true, {0}, {0, 33, 66}},
      {1, false, {0}, {0, 33, 66}},
      {3, true, {0, 33, 66}, {0, 11, 22, 33, 44, 55, 66, 77, 88}},
      {3, false, {0, 33, 66}, {0, 11, 22, 33, 44, 55, 66, 77, 88}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.faces << " faces, normals " << c.normals);
    auto scene = SceneFromJson(TriangleFan(c.faces));
    ASSERT_NE(scene, nullptr);
    ExportOptions options;
    options.exportNormals = c.normals;
    const MemoryExport result = ExportToMemory(*scene, options);
    ASSERT_EQ(result.outcome.result, kExportDone) << result.outcome.error;

    std::vector<std::string> expected = {"Exporting Tri\n", "Exporting Tri - Consolidating...\n"};
    for (const int p : c.gathering)
      expected.push_back("Exporting Tri - Gathering " + std::to_string(p) + "%\n");
    std::vector<std::string> passes[] = {ConsolidationTexts("Normals", c.consolidation),
                                         ConsolidationTexts("Vertices", c.consolidation),
                                         ConsolidationTexts("UVs", c.consolidation)};
    for (size_t pass = c.normals ? 0 : 1; pass < 3; ++pass)
      expected.insert(expected.end(), passes[pass].begin(), passes[pass].end());
    for (const char* block : {"Vertices", "UVs", "Normals", "Colors", "Faces"})
      expected.push_back(std::string("Exporting Tri - ") + block + "...\n");
    EXPECT_EQ(MeshTexts(result.ui.progressTexts), expected);
    EXPECT_FALSE(result.ui.textSetWithoutWindow);
  }
}

TEST(MeshSection, TemporaryTriangleObjectsAreReleasedOnce) {
  auto scene = SceneFromJson(TriangleFan(2, false));
  ASSERT_NE(scene, nullptr);
  test::CountingHost host(*scene);
  const MemoryExport result = ExportToMemory(host);
  ASSERT_EQ(result.outcome.result, kExportDone) << result.outcome.error;
  EXPECT_EQ(Read(result.bytes).meshes.size(), 1u);
  EXPECT_GE(host.TemporariesMade(), 2);  // the classification's and the mesh section's
  EXPECT_EQ(host.TemporariesReleased(), host.TemporariesMade());
  EXPECT_EQ(host.InvalidReleases(), 0);
  EXPECT_EQ(host.ReleasedObjectUses(), 0);
}

// A mesh with a NaN vertex and a NaN normal: every NaN corner is a position of its own and
// the file stays readable.
TEST(MeshSection, NaNValuesBecomeValuesOfTheirOwn) {
  auto scene = SceneFromJson(R"({"nodes": [{"name": "Bad", "object": {"kind": "mesh",
      "vertices": [[0,0,0],[1,0,0],["nan",1,0],[1,1,0]], "faces": [[0,1,2],[1,3,2],[2,3,0]],
      "smoothing": [1, 1, 1],
      "normals": {"faceNormals": [[0,0,1],["nan",0,1],[0,0,1]],
                  "vertexNormals": [{"specified": false, "entries": [{"normal": [0,0,"nan"], "smoothing": 1}]},
                                    {"specified": false, "entries": []}, {"specified": false, "entries": []},
                                    {"specified": false, "entries": []}]}}}]})");
  ASSERT_NE(scene, nullptr);
  for (const bool preserve : {false, true}) {
    SCOPED_TRACE(preserve);
    ExportOptions options;
    options.preserveVertexOrdering = preserve;
    const MemoryExport result = ExportToMemory(*scene, options);
    ASSERT_EQ(result.outcome.result, kExportDone) << result.outcome.error;
    const CvmFile file = Read(result.bytes);
    ASSERT_EQ(file.meshes.size(), 1u);
    const CvmMesh& mesh = file.meshes[0];
    // Vertex 2 is used by 3 corners, each a value of its own; vertices 0, 1, 3 are merged.
    EXPECT_EQ(mesh.positions.size(), 3u + 3u);
    int nanPositions = 0;
    for (const auto& p : mesh.positions) nanPositions += std::isnan(p.x) ? 1 : 0;
    EXPECT_EQ(nanPositions, 3);
    // Corners 0 and 8 take vertex 0's NaN normal and face 1's corners 3, 4, 5 its NaN face
    // normal: five values of their own, and one for the six corners facing +z.
    ASSERT_EQ(mesh.normalIndices.size(), 9u);
    EXPECT_EQ(mesh.normals.size(), 1u + 5u);
    for (const uint32_t c : {1u, 2u, 6u, 7u}) EXPECT_EQ(mesh.normalIndices[c], mesh.normalIndices[1]);
  }
}

// Nodes of another scene whose triangle-object conversion a test decides (call counts from 0).
using Conversion = std::function<TriObjectResult(HostNode& inner, int call)>;

class WrappedNode final : public HostNode {
 public:
  WrappedNode(HostNode& inner, Conversion convert) : inner_(inner), convert_(std::move(convert)) {}
  const char* NodeName() const override { return inner_.NodeName(); }
  const char* NodeUserText() const override { return inner_.NodeUserText(); }
  bool NodeIsSelected() const override { return inner_.NodeIsSelected(); }
  bool NodeIsHidden(int32_t a, int32_t b) const override { return inner_.NodeIsHidden(a, b); }
  HostObject* EvaluateNodeObject(TimeValue t) override { return inner_.EvaluateNodeObject(t); }
  Matrix3 ObjectToWorldTransform(TimeValue t) const override { return inner_.ObjectToWorldTransform(t); }
  Matrix3 NodePivotTransform(TimeValue t) const override { return inner_.NodePivotTransform(t); }
  HostMaterial* NodeMaterial() const override { return inner_.NodeMaterial(); }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue /*t*/) override { return convert_(inner_, calls_++); }

 private:
  HostNode& inner_;
  Conversion convert_;
  int calls_ = 0;
};

class WrappedScene final : public HostScene {
 public:
  WrappedScene(HostScene& inner, const Conversion& convert) {
    struct Collect final : HostSceneEnumCallback {
      int32_t callback(HostNode* node) override {
        nodes.push_back(node);
        return 0;
      }
      std::vector<HostNode*> nodes;
    } collect;
    inner.EnumerateSceneNodes(collect);
    for (HostNode* node : collect.nodes) nodes_.emplace_back(*node, convert);
  }
  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override {
    for (WrappedNode& node : nodes_)
      if (callback.callback(&node) != 0) return;
  }

 private:
  std::vector<WrappedNode> nodes_;
};

TEST(MeshSection, MeshWithMoreCornersThanAU32CanCountIsRefused) {
  auto scene = SceneFromJson(TriangleFan(1));
  ASSERT_NE(scene, nullptr);
  // A triangle object whose mesh claims more faces than a record can count; its arrays do not
  // exist, so any read of them fails loudly.
  test::FakeMesh mesh;
  mesh.faceCountOverride = 0x55555556;
  test::FakeObject huge;
  huge.superClassId = 0x10;
  huge.classId = triObjectClassID;
  huge.convertsTo = {triObjectClassID};
  huge.conversion = &huge;
  huge.mesh = &mesh;
  WrappedScene wrapped(*scene, [&huge](HostNode&, int call) { return TriObjectResult{&huge, call > 0}; });
  const MemoryExport result = ExportToMemory(wrapped);
  EXPECT_EQ(result.outcome.result, kExportFailed);
  EXPECT_NE(result.outcome.error.find("\"Tri\""), std::string::npos) << result.outcome.error;
  EXPECT_TRUE(result.bytes.empty());
  EXPECT_EQ(mesh.buildNormalsCalls, 0);
  EXPECT_EQ(huge.releases, 1);  // the section's temporary, released on the way out
}

TEST(MeshSection, NodeWithoutMeshAtExportTimeGetsAnEmptyRecord) {
  auto scene = SceneFromJson(R"({"nodes": [
      {"name": "Gone", "pivot": [[1,0,0],[0,1,0],[0,0,1],[1,2,3]],
       "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]],
                  "tverts": [[0,0],[1,0],[0,1]], "tvFaces": [[0,1,2]]}},
      {"name": "Kept", "object": {"kind": "mesh", "native": false,
                  "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
      {"name": "Lamp", "object": {"kind": "light"}}]})");
  ASSERT_NE(scene, nullptr);
  test::CountingHost host(*scene);
  for (const bool normals : {true, false}) {
    SCOPED_TRACE(normals);
    WrappedScene vanishing(host, [](HostNode& inner, int call) {
      return call == 0 ? inner.ConvertNodeToTriangleObject(0) : TriObjectResult{};
    });
    ExportOptions options;
    options.exportNormals = normals;
    const MemoryExport result = ExportToMemory(vanishing, options);
    ASSERT_EQ(result.outcome.result, kExportDone) << result.outcome.error;
    const CvmFile file = Read(result.bytes);
    ASSERT_EQ(file.meshes.size(), 2u);
    ASSERT_EQ(file.lights.size(), 1u);
    for (const CvmMesh& mesh : file.meshes) {
      EXPECT_EQ(mesh.cornerCount, 0u);
      EXPECT_TRUE(mesh.positions.empty());
      EXPECT_FALSE(mesh.hasUvs);
      EXPECT_EQ(mesh.hasNormals, normals);
      EXPECT_TRUE(mesh.normals.empty());
      EXPECT_TRUE(mesh.colors.empty());
      EXPECT_EQ(mesh.faceCount, 0u);
      EXPECT_TRUE(mesh.groups.empty());
    }
    EXPECT_EQ(file.meshes[0].pivot.x, 1.0f);
    EXPECT_EQ(file.meshes[0].pivot.y, 3.0f);  // host z, stored second
    EXPECT_EQ(file.meshes[0].pivot.z, 2.0f);
  }
  EXPECT_EQ(host.TemporariesReleased(), host.TemporariesMade());
}

}  // namespace
}  // namespace cvm
