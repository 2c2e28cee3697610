#include "tools/cvmexport/convert.h"

#include <cstdio>
#include <exception>

#include "export/output_target.h"
#include "export/run_export.h"
#include "host/standin/scene_document.h"
#include "host/standin/standin_scene.h"
#include "import/import_scene.h"
#include "reader/cvm_reader.h"
#include "tools/cvmexport/console_ui.h"
#include "tools/cvmexport/export_report.h"
#include "tools/cvmexport/node_fates.h"

namespace cvm::tools {
namespace {

bool WriteBytesAtomically(const std::string& path, const uint8_t* data, size_t size, std::string& error) {
  AtomicFileTarget target(path);
  if (!target.Open(error)) return false;
  if (!target.Sink().Append(data, size, error)) {
    target.Abort();
    return false;
  }
  return target.Commit(error);
}

ConvertResult Convert(const ConvertRequest& request) {
  ConvertResult result;
  standin::SceneModel model;
  import::ImportWarnings importWarnings;
  std::string error;
  if (!import::ImportScene(request.scenePath, model, importWarnings, error)) {
    result.message = request.scenePath + ": " + error;
    return result;
  }
  if (!request.dumpScenePath.empty() &&
      !WriteTextOutput(request.dumpScenePath, standin::WriteSceneDocument(model), error)) {
    result.message = error;
    return result;
  }

  standin::StandinScene scene(std::move(model));
  ConsoleUi ui(request.showProgress);
  ExportOptions options = request.options;
  MemoryTarget memory;
  const ExportOutcome outcome = RunExport(memory, scene, ui, options, request.optionBits, true);
  if (outcome.result != kExportDone) {
    result.message = outcome.error;
    return result;
  }
  const std::vector<NodeFate> fates = NodeFates(scene, options.selectedOnly != 0);

  reader::CvmFile file;
  std::vector<TextureCheck> textures;
  if (!outcome.noData) {
    reader::ReadError readError;
    if (!ReadCvm(memory.Bytes().data(), memory.Bytes().size(), file, readError)) {
      result.message =
          request.scenePath + ": the exported file does not read back: " + FormatReadError(readError);
      return result;
    }
    textures = CheckTextures(scene.Model(), file, request.scenePath);
  }
  const std::vector<std::string> warnings = ExportWarnings(importWarnings, scene.Model(), fates, textures);

  std::string written;
  if (outcome.noData) {
    result.status = kExitNoData;
    result.message = "No Data to Export. " + NothingExportedMessage(scene.Model(), fates);
  } else if (request.strict && !warnings.empty()) {
    result.message = request.scenePath + ": " + std::to_string(warnings.size()) +
                     (warnings.size() == 1 ? " warning" : " warnings") +
                     " (strict), no file written: " + warnings[0];
  } else if (!WriteBytesAtomically(request.outputPath, memory.Bytes().data(), memory.Bytes().size(), error)) {
    result.message = error;
  } else {
    result.status = kExitWritten;
    written = request.outputPath;
  }
  if (request.wantReport) {
    static const char* const kStatusNames[] = {"written", "failed", "usage", "no data"};
    result.report = BuildReport(request.scenePath, written, kStatusNames[result.status], scene, fates,
                                outcome.noData ? nullptr : &file, textures, warnings);
  }
  return result;
}

}  // namespace

ConvertResult ConvertScene(const ConvertRequest& request) {
  ConvertResult result;
  try {
    result = Convert(request);
  } catch (const std::exception& e) {
    // Allocation failures and the like: the output is untouched, as for any failure.
    result = ConvertResult();
    result.message = request.scenePath + ": " + e.what();
  }
  if (request.wantReport && result.report.is_null()) {
    // The scene could not be read or exported: the report says so and holds nothing else.
    result.report = {
        {"input", request.scenePath}, {"output", nullptr}, {"status", "failed"}, {"error", result.message}};
  }
  return result;
}

bool WriteTextOutput(const std::string& path, const std::string& text, std::string& error) {
  if (path == "-") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) {
      error = "cannot write to the standard output";
      return false;
    }
    return true;
  }
  return WriteBytesAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
}

}  // namespace cvm::tools
