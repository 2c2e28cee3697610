// The literal baseline: the export of a one-mesh scene written the plain way its algorithms
// read, without any of the exporter's optimisations, to show what those are worth:
//   - the gathering text formatted and set for every face;
//   - every sorted pass sorts all records with CornerRecordGreater (std::sort) and walks them;
//   - the order-preserving merge searches the values found so far from the first, linearly;
//   - every byte goes to the file with its own fputc, through the C library's FILE buffer;
//   - the face block scans all faces once per sub-material to count and once per group to
//     write.
// It writes the same file as RunExport for the benchmark's scenes (one mesh node, no
// material, no NaN and no -0 anywhere), which the benchmark checks byte for byte. The file is
// made durable and put in place like AtomicFileTarget does (temporary, fsync, rename).
#pragma once

#include <string>

#include "benchmarks/bench_ui.h"
#include "benchmarks/phase_times.h"
#include "export_context/export_options.h"
#include "host/host_scene.h"

namespace cvm::bench {

// Exports node (a mesh node without material) as the only node of a file at path. Returns
// false with error set when the file cannot be written.
bool LiteralExport(HostNode& node, const ExportOptions& options, BenchUi& ui, const std::string& path,
                   PhaseTimes& times, std::string& error);

}  // namespace cvm::bench
