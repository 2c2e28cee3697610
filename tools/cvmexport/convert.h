// One conversion of the converter: a scene file in, a CVM file out, an exit status back.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "export_context/export_options.h"

namespace cvm::tools {

// Exit statuses of cvmexport.
constexpr int kExitWritten = 0;
constexpr int kExitError = 1;  // unreadable scene, output not writable, failed write, strict warnings
constexpr int kExitUsage = 2;
constexpr int kExitNoData = 3;  // nothing qualified; no file created or touched

struct ConvertRequest {
  std::string scenePath;  // a scene document (.json) or any model file assimp reads
  std::string outputPath;
  std::string dumpScenePath;              // when set, the scene as read is written there as a document
  std::vector<std::string> texturePaths;  // further folders to look for textures in
  ExportOptions options;
  uint32_t optionBits = 0;
  bool showProgress = false;
  bool wantReport = false;  // fill ConvertResult::report
  bool strict = false;      // any warning fails the conversion and no file is written
};

struct ConvertResult {
  int status = kExitError;
  std::string message;            // one line for stderr, empty when there is nothing to say
  nlohmann::ordered_json report;  // with wantReport; only input, output, status and error when the
                                  // scene could not be read or exported
};

// Reads the scene and exports it to the output file, written atomically. With a report or
// --strict the written bytes are read back first, and under --strict any warning keeps them
// from replacing the output.
// Never throws; safe to run several at once (each has its own options and scene).
ConvertResult ConvertScene(const ConvertRequest& request);

// Writes text to path atomically (nothing changes on failure), or to stdout for "-".
bool WriteTextOutput(const std::string& path, const std::string& text, std::string& error);

}  // namespace cvm::tools
