#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/run_export.h"
#include "export/scene_node_collector.h"
#include "output/atomic_file_target.h"
#include "tests/support/counting_host.h"
#include "tests/support/export_fixture.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::ExportToMemory;
using test::HeaderCounts;
using test::SceneFromJson;

constexpr const char* kTriangle =
    R"("object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]})";
constexpr const char* kLight = R"("object": {"kind": "light"})";

std::string Scene(const std::vector<std::string>& nodes) {
  std::string json = R"({"nodes": [)";
  for (size_t i = 0; i < nodes.size(); ++i) json += (i ? ", {" : "{") + nodes[i] + "}";
  return json + "]}";
}

struct ClassificationCase {
  const char* what;
  std::vector<std::string> nodes;
  uint32_t optionBits;
  bool noData;
  std::vector<uint32_t> counts;  // meshes, lights, helpers, splines
};

TEST(Driver, CollectsAndClassifiesNodes) {
  const std::string mesh = kTriangle;
  const std::string light = kLight;
  const std::vector<ClassificationCase> cases = {
      {"empty scene", {}, 0, true, {}},
      {"only hidden nodes", {R"("hidden": true, )" + light, R"("hidden": true, )" + mesh}, 0, true, {}},
      {"selected only, nothing selected", {light, mesh}, kExportSelectedOnly, true, {}},
      {"a hidden light is not exported even when selected",
       {R"("hidden": true, "selected": true, )" + light},
       kExportSelectedOnly,
       true,
       {}},
      {"an unselected light is exported without bit 0", {light}, 0, false, {0, 1, 0, 0}},
      {"an unselected light is skipped with bit 0",
       {light, R"("selected": true, )" + mesh},
       kExportSelectedOnly,
       false,
       {1, 0, 0, 0}},
      {"only cameras", {R"("object": {"kind": "camera"})"}, 0, true, {}},
      {"both helper classes, a third class collected but not exported",
       {R"("object": {"kind": "helper"})", R"("object": {"kind": "helper", "classId": [8872500, 0]})",
        R"("object": {"kind": "helper", "classId": [1, 2]})"},
       0,
       false,
       {0, 0, 2, 0}},
      {"a shape that also converts to a mesh is a spline only",
       {R"("object": {"kind": "shape", "alsoMesh": true})"},
       0,
       false,
       {0, 0, 0, 1}},
      {"a non-native shape is a spline",
       {R"("object": {"kind": "shape", "native": false})"},
       0,
       false,
       {0, 0, 0, 1}},
      {"a mesh without faces is collected but listed nowhere",
       {R"("object": {"kind": "mesh", "vertices": [], "faces": []})"},
       0,
       false,
       {0, 0, 0, 0}},
      {"super class 0x30 makes any object a light",
       {R"("object": {"kind": "camera", "superClassId": 48})"},
       0,
       false,
       {0, 1, 0, 0}},
      {"super class 0x50 with a helper class makes a mesh a helper",
       {R"("object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]],
           "superClassId": 80, "classId": [8211, 0]})"},
       0,
       false,
       {0, 0, 1, 0}},
      {"every kind",
       {mesh, light, R"("object": {"kind": "helper"})", R"("object": {"kind": "shape"})", mesh},
       0,
       false,
       {2, 1, 1, 1}},
  };
  for (const ClassificationCase& c : cases) {
    auto scene = SceneFromJson(Scene(c.nodes));
    ASSERT_NE(scene, nullptr) << c.what;
    const test::MemoryExport result = ExportToMemory(*scene, ExportOptions(), c.optionBits);
    EXPECT_EQ(result.outcome.result, kExportDone) << c.what << ": " << result.outcome.error;
    EXPECT_EQ(result.outcome.noData, c.noData) << c.what;
    EXPECT_EQ(result.ui.noDataMessages, c.noData ? 1 : 0) << c.what;
    if (c.noData) {
      EXPECT_TRUE(result.bytes.empty()) << c.what;
      EXPECT_EQ(result.ui.windowsCreated, 0) << c.what << ": no progress window in the No Data case";
    } else {
      EXPECT_EQ(HeaderCounts(result.bytes), c.counts) << c.what;
      EXPECT_EQ(result.ui.windowsCreated, 1) << c.what;
      EXPECT_EQ(result.ui.windowsDestroyed, 1) << c.what;
    }
  }
}

TEST(Driver, KindListsHoldPositionsInTheCollectedList) {
  const std::string mesh = kTriangle;
  const std::string light = kLight;
  // The hidden node is never collected, so positions count from the light.
  auto scene = SceneFromJson(
      Scene({R"("hidden": true, )" + mesh, light, mesh, light, R"("object": {"kind": "shape"})"}));
  ASSERT_NE(scene, nullptr);
  SceneNodeCollector collector(0, false);
  scene->EnumerateSceneNodes(collector);
  ASSERT_EQ(collector.nodes.size(), 4u);
  const KindLists lists = ClassifyNodes(collector.nodes);
  EXPECT_EQ(lists.lights, (KindList{0, 2}));
  EXPECT_EQ(lists.meshes, (KindList{1}));
  EXPECT_EQ(lists.splines, (KindList{3}));
  EXPECT_TRUE(lists.helpers.empty());
}

TEST(Driver, HeaderCarriesScaleAndCounts) {
  auto scene = SceneFromJson(Scene({kLight}));
  ASSERT_NE(scene, nullptr);
  ExportOptions options;
  options.scale = 0.5f;
  const test::MemoryExport result = ExportToMemory(*scene, options);
  ASSERT_GE(result.bytes.size(), 20u);
  const std::vector<uint8_t> header(result.bytes.begin(), result.bytes.begin() + 20);
  EXPECT_EQ(header,
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x3F, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Driver, ClassificationReleasesEachTemporaryOnce) {
  auto scene =
      SceneFromJson(Scene({R"("object": {"kind": "mesh", "native": false, "vertices": [], "faces": []})",
                           R"("object": {"kind": "mesh", "native": false,
                                        "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]})"}));
  ASSERT_NE(scene, nullptr);
  test::CountingHost host(*scene);
  SceneNodeCollector collector(0, false);
  host.EnumerateSceneNodes(collector);
  const KindLists lists = ClassifyNodes(collector.nodes);
  EXPECT_EQ(lists.meshes, (KindList{1}));
  EXPECT_EQ(host.TemporariesMade(), 2);
  EXPECT_EQ(host.TemporariesReleased(), 2);
  EXPECT_EQ(host.InvalidReleases(), 0);
}

// An output that takes limit bytes and then fails, like a disk that fills up.
class FillingTarget final : public OutputTarget, private ByteSink {
 public:
  explicit FillingTarget(size_t limit) : limit_(limit) {}
  bool Open(std::string&) override { return true; }
  ByteSink& Sink() override { return *this; }
  bool Commit(std::string&) override {
    committed = true;
    return true;
  }
  void Abort() override { aborted = true; }
  bool committed = false;
  bool aborted = false;

 private:
  bool Append(const uint8_t*, size_t size, std::string& error) override {
    written_ += size;
    if (written_ <= limit_) return true;
    error = "cannot write 'out.cvm': No space left on device";
    return false;
  }
  size_t limit_;
  size_t written_ = 0;
};

TEST(Driver, AFailedWriteIsAFailureNotASuccess) {
  auto scene = SceneFromJson(Scene({kTriangle, kLight}));
  ASSERT_NE(scene, nullptr);
  test::RecordingUi ui;
  ExportOptions options;
  FillingTarget target(0);
  const ExportOutcome outcome = RunExport(target, *scene, ui, options, 0, true);
  EXPECT_EQ(outcome.result, kExportFailed);
  EXPECT_NE(outcome.error.find("No space left on device"), std::string::npos) << outcome.error;
  EXPECT_FALSE(target.committed);
  EXPECT_TRUE(target.aborted);
  EXPECT_EQ(ui.errors, std::vector<std::string>{outcome.error});
  EXPECT_EQ(ui.windowsCreated, 1);
  EXPECT_EQ(ui.windowsDestroyed, 1);
}

// The export into a file, as the plug-in and the converter make it: written atomically.
int RunExportToFile(const std::string& path, HostScene& scene, ExportUi& ui, ExportOptions& options) {
  AtomicFileTarget target(path);
  return RunExport(target, scene, ui, options, 0, true).result;
}
int DoExportToFile(const std::string& path, HostScene& scene, ExportUi& ui, int suppressPrompts,
                   uint32_t options) {
  AtomicFileTarget target(path);
  return DoExport(target, scene, ui, suppressPrompts, options);
}

TEST(Driver, FileResultsOnDisk) {
  test::TempDir dir;
  const std::string existing = dir.File("existing.cvm");
  const std::vector<uint8_t> old = {1, 2, 3};
  test::WriteBytes(existing, old);
  auto empty = SceneFromJson(R"({"nodes": []})");
  auto lights = SceneFromJson(Scene({kLight}));
  ASSERT_TRUE(empty && lights);
  ExportOptions options;

  {  // No Data: the existing file is left as it was.
    test::RecordingUi ui;
    EXPECT_EQ(RunExportToFile(existing, *empty, ui, options), kExportDone);
    EXPECT_EQ(ui.noDataMessages, 1);
    EXPECT_EQ(test::ReadBytes(existing), old);
  }
  {  // A target in a missing folder: 0, the window destroyed again, nothing created.
    test::RecordingUi ui;
    EXPECT_EQ(RunExportToFile(dir.File("missing/out.cvm"), *lights, ui, options), kExportFailed);
    EXPECT_EQ(ui.windowsCreated, 1);
    EXPECT_EQ(ui.windowsDestroyed, 1);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_NE(ui.errors[0].find("missing/out.cvm"), std::string::npos) << ui.errors[0];
  }
  {  // Success replaces the file and leaves no temporary.
    test::RecordingUi ui;
    EXPECT_EQ(RunExportToFile(existing, *lights, ui, options), kExportDone);
    EXPECT_EQ(test::HeaderCounts(test::ReadBytes(existing)), (std::vector<uint32_t>{0, 1, 0, 0}));
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"existing.cvm"});
}

TEST(Driver, ExportRunsWithoutAProgressWindow) {
  auto scene = SceneFromJson(Scene({kTriangle, kLight}));
  ASSERT_NE(scene, nullptr);
  test::RecordingUi ui;
  ui.progressWindowCanBeCreated = false;
  ExportOptions options;
  MemoryTarget target;
  const ExportOutcome outcome = RunExport(target, *scene, ui, options, 0, true);
  EXPECT_EQ(outcome.result, kExportDone);
  EXPECT_TRUE(target.committed);
  EXPECT_TRUE(ui.progressTexts.empty());
  EXPECT_EQ(ui.windowsDestroyed, 0);
}

class DoExportTest : public ::testing::Test {
 protected:
  void SetUp() override { TheExportOptions() = ExportOptions(); }
  void TearDown() override { TheExportOptions() = ExportOptions(); }
  test::TempDir dir;
};

TEST_F(DoExportTest, CancelledDialogReturnsTwoAndWritesNothing) {
  auto scene = SceneFromJson(Scene({kLight}));
  ASSERT_NE(scene, nullptr);
  test::RecordingUi ui;
  ui.dialogResult = -1;
  EXPECT_EQ(DoExportToFile(dir.File("out.cvm"), *scene, ui, 0, 0), kExportCancelled);
  EXPECT_EQ(ui.dialogsShown, 1);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(DoExportTest, ConfirmedValuesAreKeptForExportsWithoutPrompts) {
  auto scene = SceneFromJson(Scene({kLight}));
  ASSERT_NE(scene, nullptr);
  const std::string out = dir.File("out.cvm");
  test::RecordingUi ui;
  ui.applyDialogEdit = true;
  ui.dialogEdit.scale = 0.5f;
  ASSERT_EQ(DoExportToFile(out, *scene, ui, 0, 0), kExportDone);
  EXPECT_EQ(test::ReadF32At(test::ReadBytes(out), 0), 0.5f);

  test::RecordingUi silent;
  ASSERT_EQ(DoExportToFile(out, *scene, silent, 1, kExportSelectedOnly), kExportDone);
  EXPECT_EQ(silent.dialogsShown, 0);
  EXPECT_EQ(TheExportOptions().scale, 0.5f);
  EXPECT_EQ(TheExportOptions().selectedOnly, 1u);
  // Nothing is selected, so the selected-only export found no data and left the file alone.
  EXPECT_EQ(silent.noDataMessages, 1);
  EXPECT_EQ(test::ReadF32At(test::ReadBytes(out), 0), 0.5f);
}

}  // namespace
}  // namespace cvm
