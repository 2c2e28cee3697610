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

// The input or output path that names the standard input or output.
inline constexpr const char* kStandardStream = "-";

struct ConvertRequest {
  std::string scenePath;             // a scene document (.json) or any model file assimp reads; "-": stdin
  std::string outputPath;            // "-": the standard output, written once the export is whole
  std::string dumpScenePath;         // when set, the scene as read is written there as a document
  std::string depfilePath;           // when set, a make rule naming every file read is written there
  bool depfileBesideOutput = false;  // the same rule in OUTPUT.d (--depfiles)
  std::vector<std::string> texturePaths;  // further folders to look for textures in
  ExportOptions options;
  uint32_t optionBits = 0;
  bool showProgress = false;
  bool wantReport = false;  // fill ConvertResult::report
  bool strict = false;      // any warning fails the conversion and no file is written
  // When set, a model file is converted by a child process of this program (child_conversion.h),
  // under the limits below (0: none); scene documents are always converted in this process, with
  // no limits. Without a child program, a memory limit is checked against this process's peak
  // before the output replaces the target (the child's side of the limit).
  std::string childProgram;
  double timeoutSeconds = 0;
  uint64_t maxMemoryBytes = 0;
};

struct ConvertResult {
  int status = kExitError;
  bool unchanged = false;         // written: the output held the same bytes and was left alone
  std::string message;            // one line for stderr, empty when there is nothing to say
  nlohmann::ordered_json report;  // with wantReport; only input, output, status and error when the
                                  // scene could not be read or exported
};

// Reads the scene and exports it to the output file, written atomically and not touched when
// it already holds the same bytes. With a report or --strict the written bytes are read back
// first, and under --strict any warning keeps them from replacing the output. A dependency
// file is written only with the output (or after finding it unchanged).
// Never throws; safe to run several at once (each has its own options and scene).
ConvertResult ConvertScene(const ConvertRequest& request);

// The input's name in messages: its path, or "standard input" for "-".
std::string InputName(const std::string& scenePath);

// The result of a conversion that failed with message before its scene was read: the message,
// and with wantReport a report of input, output, status and error.
ConvertResult FailedConversion(const ConvertRequest& request, const std::string& message);

// Writes text to path atomically (nothing changes on failure), or to stdout for "-".
bool WriteTextOutput(const std::string& path, const std::string& text, std::string& error);

}  // namespace cvm::tools
