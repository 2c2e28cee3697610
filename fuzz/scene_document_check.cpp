#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "export/run_export.h"
#include "export_context/export_ui.h"
#include "format/output_target.h"
#include "fuzz/input_checks.h"
#include "import/scene_document.h"
#include "import/scene_document_fast.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/float_bits.h"
#include "tests/support/scene_model_compare.h"

namespace cvm::fuzz {
namespace {

// Shows nothing; remembers whether the export reported a failure.
class QuietUi final : public ExportUi {
 public:
  int ShowOptionsDialog(ExportOptions& /*options*/) override { return -1; }
  void ShowNoDataMessage() override { ++noData; }
  void ShowExportError(const char* message, bool /*suppressPrompts*/) override { errors += message; }
  bool CreateProgressWindow() override { return true; }
  void SetProgressText(const char* /*text*/) override {}
  void DestroyProgressWindow() override {}

  int noData = 0;
  std::string errors;
};

uint32_t Hash(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

// Scales with awkward bits among them: the header must carry whatever the options say.
const float kScales[] = {1.0f,
                         0.5f,
                         -0.0f,
                         2.54f,
                         std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         1e-30f,
                         100.0f};

struct Export {
  ExportOutcome outcome;
  bool committed = false;
  std::vector<uint8_t> bytes;
  QuietUi ui;
};

void ExportScene(HostScene& scene, const ExportOptions& options, uint32_t optionBits, Export& out) {
  MemoryTarget target;
  ExportOptions used = options;
  out.outcome = RunExport(target, scene, out.ui, used, optionBits, true);
  out.committed = target.committed;
  out.bytes = target.Bytes();
}

std::string CheckExport(const standin::SceneModel& model, uint32_t hash) {
  std::string error;
  auto scene = standin::MakeStandinScene(model, error);
  if (scene == nullptr) return "the loader accepted a model that validation refuses: " + error;

  ExportOptions options;
  options.exportNormals = (hash & 1) == 0;
  options.preserveVertexOrdering = (hash & 2) != 0;
  options.mergeVertices = (hash & 4) == 0;
  options.scale = kScales[(hash >> 4) % (sizeof kScales / sizeof kScales[0])];
  const uint32_t optionBits = (hash >> 3) & 1;

  // The first export goes through a counting host, which sees every temporary and its release.
  test::CountingHost host(*scene);
  Export first;
  ExportScene(host, options, optionBits, first);
  const ExportOutcome& o = first.outcome;
  if (o.noData) {
    if (first.committed || !first.bytes.empty()) return "no data, yet something was written";
    if (first.ui.noData != 1) return "no data without the message";
    return std::string();
  }
  if (o.result != kExportDone) {
    if (o.error.empty() || first.ui.errors.empty()) return "the export failed without a message";
    if (first.committed) return "a failed export committed its output";
    return std::string();
  }
  if (!first.committed || o.bytesWritten != first.bytes.size())
    return "a finished export did not commit its bytes";
  if (!first.ui.errors.empty()) return "a finished export reported an error: " + first.ui.errors;
  if (host.InvalidReleases() != 0 || host.ReleasedObjectUses() != 0 ||
      host.TemporariesMade() != host.TemporariesReleased()) {
    return "the export mishandled temporaries of conversions";
  }

  reader::CvmFile file;
  reader::ReadError readError;
  if (!reader::ReadCvm(first.bytes.data(), first.bytes.size(), file, readError)) {
    return "the reader refuses the exported file: " + reader::FormatReadError(readError);
  }
  if (test::FloatBits(file.header.scale) != test::FloatBits(options.scale))
    return "the header does not carry the scale";
  const uint64_t records = uint64_t{file.header.meshCount} + file.header.lightCount +
                           file.header.helperCount + file.header.splineCount;
  if (records > model.nodes.size()) return "more records than nodes";
  for (const reader::CvmMesh& mesh : file.meshes) {
    if (mesh.hasNormals && !options.exportNormals) return "normals written although turned off";
  }

  // Nothing in the output may depend on addresses or uninitialised memory (or on the counting
  // host: the second export reads the scene directly).
  Export second;
  ExportScene(*scene, options, optionBits, second);
  if (second.bytes != first.bytes) return "a second export of the same scene gave different bytes";
  return std::string();
}

// The fast reader, alone and behind LoadSceneDocument, against the strict reader: the same
// verdict, model and message.
std::string CheckFastReader(std::string_view json, bool loaded, const standin::SceneModel& model,
                            const std::string& error) {
  standin::SceneModel strictModel;
  std::string strictError;
  const bool strict = import::LoadSceneDocumentStrict(json, strictModel, strictError);
  if (strict != loaded)
    return strict ? "the strict reader alone accepts it" : "the strict reader alone refuses it";
  if (!strict && strictError != error)
    return "the strict reader alone says \"" + strictError + "\", not \"" + error + "\"";
  if (strict) {
    const std::string difference = standin::SceneModelDifference(strictModel, model);
    if (!difference.empty()) return "the strict reader alone reads it differently at " + difference;
  }
  standin::SceneModel fastModel;
  if (import::ReadSceneDocumentFast(json, fastModel)) {
    if (!strict) return "the fast reader accepts what the strict reader refuses: " + strictError;
    const std::string difference = standin::SceneModelDifference(strictModel, fastModel);
    if (!difference.empty()) return "the fast reader reads it differently at " + difference;
  }
  return std::string();
}

}  // namespace

std::string CheckSceneDocument(const uint8_t* data, size_t size) {
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  standin::SceneModel model;
  std::string error;
  const bool loaded = import::LoadSceneDocument(json, model, error);
  if (std::string problem = CheckFastReader(json, loaded, model, error); !problem.empty()) return problem;
  if (!loaded) {
    // "<where>: <what>", where is a JSON path or "(document)".
    const size_t colon = error.find(": ");
    if (colon == std::string::npos || colon == 0 || colon + 2 == error.size()) {
      return "refused without a clear message: \"" + error + "\"";
    }
    return std::string();
  }

  return CheckSceneModel(model, Hash(data, size));
}

std::string CheckSceneModel(const standin::SceneModel& model, uint32_t hash) {
  // The writer must give a document that reads back into the same model.
  standin::SceneModel again;
  std::string error;
  const std::string written = import::WriteSceneDocument(model);
  if (!import::LoadSceneDocument(written, again, error)) {
    return "the written document is refused: " + error;
  }
  // The writer replaces bytes of strings that are not UTF-8 by U+FFFD, which a document cannot
  // avoid; the model read back must then give the same document again.
  const bool replaced = written.find("\xEF\xBF\xBD") != std::string::npos;
  const std::string difference = standin::SceneModelDifference(model, again);
  if (!difference.empty() && !replaced) return "the written document reads back differently at " + difference;
  if (import::WriteSceneDocument(again) != written) return "the written document is not stable";

  return CheckExport(model, hash);
}

uint32_t InputHash(const uint8_t* data, size_t size) {
  return Hash(data, size);
}

}  // namespace cvm::fuzz
