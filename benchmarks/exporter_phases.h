// The steps of a mesh record (WriteMeshNode) called one by one, in the order the mesh section
// takes them, so that each step can be timed without changing the exporter's interfaces. For the
// benchmark's scenes (one mesh node, no material) it writes the same file as RunExport, which
// the benchmark checks byte for byte; the file goes through AtomicFileTarget like RunExport's.
#pragma once

#include <string>

#include "benchmarks/bench_ui.h"
#include "benchmarks/phase_times.h"
#include "export_context/export_options.h"
#include "host/host_scene.h"

namespace cvm::bench {

// Also gives gatheredBytes, the size of the documented gathered per-corner data (a record of
// 16 bytes per corner for each of the three channels, the colours and the faces' material
// ids), and heldBytes, what the exporter's gathering holds instead (the ids it keeps per host
// entry and the values met; colours and material ids are read from the host). The steps run
// on one thread.
bool ExportInPhases(HostNode& node, const ExportOptions& options, BenchUi& ui, const std::string& path,
                    PhaseTimes& times, uint64_t& gatheredBytes, uint64_t& heldBytes, std::string& error);

}  // namespace cvm::bench
