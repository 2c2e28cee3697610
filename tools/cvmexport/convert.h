// One conversion of the converter: a scene file in, a CVM file out, an exit status back.
#pragma once

#include <cstdint>
#include <string>

#include "export/export_options.h"

namespace cvm::tools {

// Exit statuses of cvmexport.
constexpr int kExitWritten = 0;
constexpr int kExitError = 1;   // invalid or unreadable scene, output not writable, failed write
constexpr int kExitUsage = 2;
constexpr int kExitNoData = 3;  // nothing qualified; no file created or touched

struct ConvertRequest {
  std::string scenePath;
  std::string outputPath;
  ExportOptions options;
  uint32_t optionBits = 0;
  bool showProgress = false;
};

// Loads the scene, exports it and returns the exit status; message is the one line to print
// on stderr (empty when there is nothing to say).
int ConvertScene(const ConvertRequest& request, std::string& message);

}  // namespace cvm::tools
