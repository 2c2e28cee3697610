#include "export/run_export.h"

#include <exception>
#include <new>
#include <string>

#include "export/scene_node_collector.h"
#include "export_context/export_context.h"
#include "format/binary_writer.h"
#include "format/record_writer.h"
#include "materials/material_section.h"
#include "meshes/mesh_section.h"
#include "objects/helpers_section.h"
#include "objects/lights_section.h"
#include "objects/splines_section.h"

namespace cvm {
namespace {

// Writes the file; returns the reason when it could not be written whole.
std::string WriteFile(ExportContext& ctx) {
  format::CvmHeader header;
  header.scale = ctx.options.scale;
  header.meshCount = static_cast<uint32_t>(ctx.lists.meshes.size());
  header.lightCount = static_cast<uint32_t>(ctx.lists.lights.size());
  header.helperCount = static_cast<uint32_t>(ctx.lists.helpers.size());
  header.splineCount = static_cast<uint32_t>(ctx.lists.splines.size());
  format::WriteRecord(ctx.stream, header);
  MaterialList materials;
  TextureNameTable textures;
  // Each section may refuse the export or meet a failed write; later ones are then skipped.
  const auto stopped = [&ctx] { return ctx.Refused() || ctx.stream.Failed(); };
  WriteMaterialSection(ctx, materials, textures);
  if (!stopped()) WriteMeshSection(ctx, materials);
  if (!stopped()) WriteLightsSection(ctx);
  if (!stopped()) WriteHelpersSection(ctx);
  if (!stopped()) WriteSplinesSection(ctx);
  if (ctx.Refused()) return ctx.refusal;
  if (!ctx.stream.Flush()) return ctx.stream.Error();
  return std::string();
}

// RunExport up to the progress window's end, the target's abort and the error's display, which
// are the caller's.
ExportOutcome ExportScene(OutputTarget& target, HostScene& scene, ExportUi& ui, ExportOptions& options,
                          uint32_t optionBits, TaskRunner* runner, ProgressWindow& progress, bool& opened) {
  ExportOutcome outcome;
  options.selectedOnly = (optionBits & kExportSelectedOnly) ? 1 : 0;

  SceneNodeCollector collector(0, options.selectedOnly != 0);
  scene.EnumerateSceneNodes(collector);
  if (collector.nodes.empty()) {
    ui.ShowNoDataMessage();
    outcome.result = kExportDone;
    outcome.noData = true;
    return outcome;
  }

  if (ui.CreateProgressWindow()) progress.ui = &ui;
  const KindLists lists = ClassifyNodes(collector.nodes);

  if (!target.Open(outcome.error)) return outcome;
  opened = true;
  OutputStream stream(target.Sink());
  ExportContext ctx{stream, options, progress, collector.nodes, lists, runner, std::string()};
  outcome.error = WriteFile(ctx);
  if (outcome.error.empty() && target.Commit(outcome.error)) {
    outcome.result = kExportDone;
    outcome.bytesWritten = stream.BytesWritten();
  }
  return outcome;
}

}  // namespace

ExportOutcome RunExport(OutputTarget& target, HostScene& scene, ExportUi& ui, ExportOptions& options,
                        uint32_t optionBits, bool suppressPrompts, TaskRunner* runner) {
  ProgressWindow progress;
  bool opened = false;
  ExportOutcome outcome;
  // Nothing may escape into the host that called: a failure of any kind fails the export and
  // leaves the target as it was.
  try {
    outcome = ExportScene(target, scene, ui, options, optionBits, runner, progress, opened);
  } catch (const std::bad_alloc&) {
    outcome = ExportOutcome();
    outcome.error = "out of memory: the export needed more memory than it could get";
  } catch (const std::exception& e) {
    outcome = ExportOutcome();
    outcome.error = std::string("the export failed: ") + e.what();
  }
  if (outcome.result == kExportFailed && opened) target.Abort();
  if (progress.ui != nullptr) ui.DestroyProgressWindow();
  if (outcome.result == kExportFailed) ui.ShowExportError(outcome.error.c_str(), suppressPrompts);
  return outcome;
}

int DoExport(OutputTarget& target, HostScene& scene, ExportUi& ui, int suppressPrompts, uint32_t options) {
  ExportOptions& exportOptions = TheExportOptions();
  if (suppressPrompts == 0 && ui.ShowOptionsDialog(exportOptions) == -1) return kExportCancelled;
  return RunExport(target, scene, ui, exportOptions, options, suppressPrompts != 0).result;
}

}  // namespace cvm
