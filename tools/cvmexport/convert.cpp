#include "tools/cvmexport/convert.h"

#include <cstdio>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "export/run_export.h"
#include "import/import_scene.h"
#include "import/scene_document.h"
#include "output/atomic_file_target.h"
#include "output/replace_if_changed_target.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tools/cvmexport/checked_file_target.h"
#include "tools/cvmexport/child_conversion.h"
#include "tools/cvmexport/console_ui.h"
#include "tools/cvmexport/depfile.h"
#include "tools/cvmexport/export_report.h"
#include "tools/cvmexport/node_fates.h"
#include "tools/cvmexport/standard_streams.h"
#include "tools/cvmexport/thread_runner.h"

namespace cvm::tools {
namespace {

// Lets go of an import's leftovers on a second thread, so that freeing them runs beside the
// export; joined when it goes out of scope. Without a thread they are freed at once.
class ReleaseBeside {
 public:
  explicit ReleaseBeside(import::ImportLeftovers leftovers) {
    if (!leftovers) return;
    try {
      thread_ = std::thread([owned = std::move(leftovers)]() mutable { owned.reset(); });
    } catch (const std::system_error&) {
      // Not started: the lambda, and with it the leftovers, are already gone.
    }
  }
  ~ReleaseBeside() {
    if (thread_.joinable()) thread_.join();
  }
  ReleaseBeside(const ReleaseBeside&) = delete;
  ReleaseBeside& operator=(const ReleaseBeside&) = delete;

 private:
  std::thread thread_;
};

// A target that is committed only while the process's peak memory is within a limit.
class PeakMemoryLimitedTarget final : public OutputTarget {
 public:
  PeakMemoryLimitedTarget(OutputTarget& file, uint64_t limitBytes, const std::string& input)
      : file_(file), limitBytes_(limitBytes), input_(input) {}
  bool Open(std::string& error) override { return file_.Open(error); }
  ByteSink& Sink() override { return file_.Sink(); }
  bool Commit(std::string& error) override {
    if (PeakResidentBytes() > limitBytes_) {
      file_.Abort();
      error = input_ + ": the conversion " + MemoryLimitReason(limitBytes_) + "; no file written";
      return false;
    }
    return file_.Commit(error);
  }
  void Abort() override { file_.Abort(); }

 private:
  OutputTarget& file_;
  uint64_t limitBytes_;
  const std::string& input_;
};

bool ImportInput(const std::string& scenePath, standin::SceneModel& model, import::ImportWarnings& warnings,
                 std::string& error, import::ImportLeftovers& leftovers, import::FilesRead& filesRead) {
  if (scenePath != kStandardStream)
    return import::ImportScene(scenePath, model, warnings, error, &leftovers, &filesRead);
  std::string bytes;
  return ReadStandardInput(bytes, error) &&
         import::ImportSceneBytes(bytes, model, warnings, error, &leftovers);
}

ConvertResult Convert(const ConvertRequest& request) {
  ConvertResult result;
  const std::string input = InputName(request.scenePath);
  standin::SceneModel model;
  import::ImportWarnings importWarnings;
  import::ImportLeftovers leftovers;
  import::FilesRead filesRead;
  std::string error;
  if (!ImportInput(request.scenePath, model, importWarnings, error, leftovers, filesRead)) {
    result.message = input + ": " + error;
    return result;
  }
  const ReleaseBeside release(std::move(leftovers));
  if (!request.dumpScenePath.empty() &&
      !WriteTextOutput(request.dumpScenePath, import::WriteSceneDocument(model), error)) {
    result.message = error;
    return result;
  }
  // Staged before the export, so that a dependency file that cannot be written fails the
  // conversion before anything changed; it replaces the old one only with the output.
  AtomicFileTarget depfile(request.depfileBesideOutput ? request.outputPath + ".d" : request.depfilePath);
  const bool wantDepfile = request.depfileBesideOutput || !request.depfilePath.empty();
  if (wantDepfile && !StageDepfile(depfile, request.outputPath, filesRead, error)) {
    result.message = error;
    return result;
  }

  standin::StandinScene scene(std::move(model));
  ConsoleUi ui(request.showProgress);
  ExportOptions options = request.options;
  const bool selectedOnly = (request.optionBits & kExportSelectedOnly) != 0;

  // What the written bytes, read back before they may replace the output, tell the report and
  // the strict check.
  bool readBack = false;
  reader::CvmFile file;
  std::vector<NodeFate> fates;
  std::vector<TextureCheck> textures;
  std::vector<std::string> warnings;
  const auto check = [&](const std::vector<uint8_t>& bytes, std::string& checkError) {
    reader::ReadError readError;
    if (!reader::ReadCvm(bytes.data(), bytes.size(), file, readError)) {
      checkError = input + ": the exported file does not read back: " + FormatReadError(readError);
      return false;
    }
    readBack = true;
    fates = NodeFates(scene, selectedOnly);
    textures = CheckTextures(scene.Model(), file, request.scenePath, request.texturePaths);
    warnings = ExportWarnings(importWarnings, scene.Model(), fates, textures);
    if (request.strict && !warnings.empty()) {
      checkError = input + ": " + std::to_string(warnings.size()) +
                   (warnings.size() == 1 ? " warning" : " warnings") +
                   " (strict), no file written: " + warnings[0];
      return false;
    }
    return true;
  };

  ExportOutcome outcome;
  ThreadRunner runner;
  // The bytes stream to the file, which is left alone when it holds them already; the standard
  // output gets them once they are whole.
  StandardOutputTarget toStdout;
  ReplaceIfChangedTarget toFile(request.outputPath);
  const bool useStdout = request.outputPath == kStandardStream;
  OutputTarget& output = useStdout ? static_cast<OutputTarget&>(toStdout) : toFile;
  PeakMemoryLimitedTarget limited(output, request.maxMemoryBytes, input);
  OutputTarget& checkedOutput = request.maxMemoryBytes == 0 ? output : limited;
  if (request.wantReport || request.strict) {
    CheckedFileTarget target(checkedOutput, check);
    outcome = RunExport(target, scene, ui, options, request.optionBits, true, &runner);
  } else {
    outcome = RunExport(checkedOutput, scene, ui, options, request.optionBits, true, &runner);
  }
  if (!readBack && (outcome.noData || request.wantReport)) {
    fates = NodeFates(scene, selectedOnly);
    warnings = ExportWarnings(importWarnings, scene.Model(), fates, textures);
  }

  if (outcome.noData) {
    result.status = kExitNoData;
    result.message = "No Data to Export. " + NothingExportedMessage(scene.Model(), fates);
  } else if (outcome.result != kExportDone) {
    result.message = outcome.error;
  } else if (wantDepfile && !depfile.Commit(error)) {
    result.message = error;
  } else {
    result.status = kExitWritten;
    result.unchanged = !useStdout && toFile.Unchanged();
  }
  if (request.wantReport) {
    static const char* const kStatusNames[] = {"written", "failed", "usage", "no data"};
    const bool written = result.status == kExitWritten;
    result.report = BuildReport(request.scenePath, written ? request.outputPath : std::string(),
                                result.unchanged ? "unchanged" : kStatusNames[result.status], scene, fates,
                                readBack ? &file : nullptr, textures, warnings);
    if (result.status == kExitError) result.report["error"] = result.message;
  }
  return result;
}

}  // namespace

ConvertResult ConvertScene(const ConvertRequest& request) {
  if (!request.childProgram.empty()) {
    if (!import::IsSceneDocumentPath(request.scenePath)) return ConvertInChild(request);
    // A scene document in the converter's own process: the limits are a child's.
    ConvertRequest here = request;
    here.childProgram.clear();
    here.timeoutSeconds = 0;
    here.maxMemoryBytes = 0;
    return ConvertScene(here);
  }
  ConvertResult result;
  try {
    result = Convert(request);
  } catch (const std::exception& e) {
    // Allocation failures and the like: the output is untouched, as for any failure.
    return FailedConversion(request, InputName(request.scenePath) + ": " + e.what());
  }
  // Nothing was exported (the scene could not be read, or an output not prepared): the report
  // says so and holds nothing else.
  if (request.wantReport && result.report.is_null()) return FailedConversion(request, result.message);
  return result;
}

std::string InputName(const std::string& scenePath) {
  return scenePath == kStandardStream ? "standard input" : scenePath;
}

ConvertResult FailedConversion(const ConvertRequest& request, const std::string& message) {
  ConvertResult result;
  result.message = message;
  if (request.wantReport) {
    result.report = {
        {"input", request.scenePath}, {"output", nullptr}, {"status", "failed"}, {"error", message}};
  }
  return result;
}

bool WriteTextOutput(const std::string& path, const std::string& text, std::string& error) {
  if (path == kStandardStream) return WriteStandardOutput(text.data(), text.size(), error);
  return WriteBytesAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
}

}  // namespace cvm::tools
