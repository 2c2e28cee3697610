#include "tools/cvmexport/convert.h"

#include "export/run_export.h"
#include "host/standin/scene_document.h"
#include "host/standin/standin_scene.h"
#include "tools/cvmexport/console_ui.h"

namespace cvm::tools {

int ConvertScene(const ConvertRequest& request, std::string& message) {
  standin::SceneModel model;
  std::string error;
  if (!standin::LoadSceneFile(request.scenePath, model, error)) {
    message = request.scenePath + ": " + error;
    return kExitError;
  }
  standin::StandinScene scene(std::move(model));
  ConsoleUi ui(request.showProgress);
  ExportOptions options = request.options;
  AtomicFileTarget target(request.outputPath);
  const ExportOutcome outcome = RunExport(target, scene, ui, options, request.optionBits, true);
  if (outcome.noData) {
    message = "No Data to Export.";
    return kExitNoData;
  }
  if (outcome.result != kExportDone) {
    message = outcome.error;
    return kExitError;
  }
  return kExitWritten;
}

}  // namespace cvm::tools
