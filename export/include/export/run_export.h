// The export driver: from the host's call to the value returned to it.
#pragma once

#include <cstdint>
#include <string>

#include "export_context/export_options.h"
#include "export_context/export_ui.h"
#include "export_context/task_runner.h"
#include "format/output_target.h"
#include "host/host_scene.h"

namespace cvm {

// Results returned to the host.
constexpr int kExportFailed = 0;     // the output could not be written (nothing was changed)
constexpr int kExportDone = 1;       // written, or nothing qualified ("No Data")
constexpr int kExportCancelled = 2;  // the options dialog was cancelled or not shown

constexpr uint32_t kExportSelectedOnly = 1;  // option bit 0

// How an export ended, for callers that need more than the host's result.
struct ExportOutcome {
  int result = kExportFailed;
  bool noData = false;  // nothing qualified; no file was created or touched
  std::string error;    // why result is kExportFailed
  uint64_t bytesWritten = 0;
};

// Runs the options dialog unless suppressPrompts, then RunExport into target. Uses and updates
// the process-wide ExportOptions.
int DoExport(OutputTarget& target, HostScene& scene, ExportUi& ui, int suppressPrompts, uint32_t options);

// Everything after the dialog: collect, classify, write the file through the target, report.
// The target is opened only when there is something to export, and committed only when the
// whole file was written; it is written on the calling thread. options.selectedOnly is
// replaced from bit 0 of optionBits. runner, when given, takes work beside the export's own
// (sorts of large meshes). Failures, memory running out among them, are shown through
// ui.ShowExportError and leave the target as it was; nothing is thrown to the caller.
ExportOutcome RunExport(OutputTarget& target, HostScene& scene, ExportUi& ui, ExportOptions& options,
                        uint32_t optionBits, bool suppressPrompts, TaskRunner* runner = nullptr);

}  // namespace cvm
