#include "export/run_export.h"

#include "export/background_sink.h"
#include "format/binary_writer.h"
#include "export_context/export_context.h"
#include "export/scene_node_collector.h"
#include "materials/material_section.h"
#include "meshes/mesh_section.h"
#include "objects/helpers_section.h"
#include "objects/lights_section.h"
#include "objects/splines_section.h"

namespace cvm {
namespace {

void WriteHeader(const ExportOptions& options, const KindLists& lists, OutputStream& stream) {
  WriteF32(options.scale, stream);
  WriteU32(static_cast<uint32_t>(lists.meshes.size()), stream);
  WriteU32(static_cast<uint32_t>(lists.lights.size()), stream);
  WriteU32(static_cast<uint32_t>(lists.helpers.size()), stream);
  WriteU32(static_cast<uint32_t>(lists.splines.size()), stream);
}

// Writes the file; returns the reason when it could not be written whole.
std::string WriteFile(ExportContext& ctx) {
  WriteHeader(ctx.options, ctx.lists, ctx.stream);
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

}  // namespace

ExportOutcome RunExport(OutputTarget& target, HostScene& scene, ExportUi& ui, ExportOptions& options,
                        uint32_t optionBits, bool suppressPrompts) {
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

  ProgressWindow progress;
  if (ui.CreateProgressWindow()) progress.ui = &ui;
  const KindLists lists = ClassifyNodes(collector.nodes);

  if (!target.Open(outcome.error)) {
    if (progress.ui != nullptr) ui.DestroyProgressWindow();
    ui.ShowExportError(outcome.error.c_str(), suppressPrompts);
    return outcome;
  }
  // The file is written on a second thread while the next blocks are built; every block has
  // reached the target before it is committed or abandoned.
  BackgroundSink sink(target.Sink());
  OutputStream stream(sink);
  ExportContext ctx{stream, options, progress, collector.nodes, lists, std::string()};
  outcome.error = WriteFile(ctx);
  std::string writeError;
  if (!sink.Finish(writeError) && outcome.error.empty()) outcome.error = writeError;
  if (outcome.error.empty() && target.Commit(outcome.error)) {
    outcome.result = kExportDone;
    outcome.bytesWritten = stream.BytesWritten();
  } else {
    target.Abort();
  }
  if (progress.ui != nullptr) ui.DestroyProgressWindow();
  if (outcome.result == kExportFailed) ui.ShowExportError(outcome.error.c_str(), suppressPrompts);
  return outcome;
}

int RunExport(const char* fileName, HostScene& scene, ExportUi& ui, ExportOptions& options, uint32_t optionBits,
              bool suppressPrompts) {
  AtomicFileTarget target(fileName);
  return RunExport(target, scene, ui, options, optionBits, suppressPrompts).result;
}

int DoExport(const char* fileName, HostScene& scene, ExportUi& ui, int suppressPrompts, uint32_t options) {
  ExportOptions& exportOptions = TheExportOptions();
  if (suppressPrompts == 0 && ui.ShowOptionsDialog(exportOptions) == -1) return kExportCancelled;
  return RunExport(fileName, scene, ui, exportOptions, options, suppressPrompts != 0);
}

}  // namespace cvm
