// The export's settings: one process-wide record that outlives single exports. It starts
// with the defaults when the plug-in is loaded; the options dialog edits it and the export
// reads it. Nothing is saved to disk.
#pragma once

#include <cstdint>

namespace cvm {

struct ExportOptions {
  float scale = 1.0f;                   // written to the header only, never applied to geometry
  bool exportNormals = true;            // build, gather and write normals
  bool preserveVertexOrdering = false;  // positions in corner order instead of sorted
  bool mergeVertices = true;            // with preserveVertexOrdering: merge equal positions
  bool showWarningDialogs = true;       // message boxes for export failures (plug-in only)
  uint32_t selectedOnly = 0;            // replaced from option bit 0 at the start of every export
};

// The process-wide instance.
ExportOptions& TheExportOptions();

}  // namespace cvm
