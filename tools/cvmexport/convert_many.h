// Several conversions at once: every input to its own file in one folder, on worker threads.
#pragma once

#include <string>
#include <vector>

#include "tools/cvmexport/convert.h"

namespace cvm::tools {

// The output of input in outDir: the input's file name with its last extension replaced by
// ".cvm" ("models/a.glb" -> "DIR/a.cvm").
std::string OutputPathFor(const std::string& input, const std::string& outDir);

// Two inputs that would write the same output; empty when all outputs differ.
std::string FirstOutputClash(const std::vector<std::string>& inputs, const std::string& outDir);

// Converts every input with the settings of base (its scenePath and outputPath are replaced),
// on up to `jobs` threads; each conversion is independent and one failing does not stop the
// others. Results are in input order.
std::vector<ConvertResult> ConvertMany(const std::vector<std::string>& inputs, const std::string& outDir,
                                       const ConvertRequest& base, unsigned jobs);

// The exit status of several conversions: 0 when all wrote their file, 1 when any failed,
// else 3 (some had nothing to export).
int CombinedStatus(const std::vector<ConvertResult>& results);

}  // namespace cvm::tools
