// cvmexport: exports scene documents and model files to Corvane Model files.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/cvmexport/child_conversion.h"
#include "tools/cvmexport/console_ui.h"
#include "tools/cvmexport/convert.h"
#include "tools/cvmexport/convert_many.h"
#include "tools/cvmexport/html_page.h"
#include "tools/cvmexport/output_folder.h"
#include "tools/memory_tuning/memory_tuning.h"

namespace {

int Usage(const std::string& message) {
  std::fprintf(stderr, "%s\nRun with --help for more information.\n", message.c_str());
  return cvm::tools::kExitUsage;
}

// The default memory limit of one input's child: half the machine's memory shared by the
// conversions that run at once, and not under 512 MiB.
uint64_t DefaultMaxMemoryMiB(unsigned jobs) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  const uint64_t machine =
      pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : uint64_t{8} << 30;
  return std::max<uint64_t>(512, machine / 2 / std::max(jobs, 1u) >> 20);
}

// What keeps the standard input and output ("-") from being used as asked; empty when nothing.
std::string StandardStreamClash(const std::vector<std::string>& inputs,
                                const cvm::tools::ConvertRequest& request, const std::string& outDir,
                                const std::string& reportPath) {
  using cvm::tools::kStandardStream;
  const bool fromStdin = std::find(inputs.begin(), inputs.end(), kStandardStream) != inputs.end();
  const bool toStdout = request.outputPath == kStandardStream;
  if (fromStdin && (inputs.size() > 1 || !outDir.empty())) return "'-' (the standard input) takes -o";
  if (int(toStdout) + int(reportPath == kStandardStream) + int(request.dumpScenePath == kStandardStream) > 1)
    return "only one of -o, --report and --dump-scene can write to the standard output";
  if ((!request.depfilePath.empty() || request.depfileBesideOutput) && (fromStdin || toStdout))
    return "a dependency file needs an input and an output that are files, not '-'";
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace cvm::tools;
  // A conversion's child runs with the settings its parent started with.
  if (argc == 2 && std::string(argv[1]) == kChildArgument) return RunConversionChild();
  RestartTuned(argc, argv);
  CLI::App app{
      "Exports scene documents (.json) and model files (glTF/GLB, FBX, OBJ, 3DS, ASE, DAE, PLY, STL and "
      "every other "
      "format assimp reads) to Corvane Model files (.cvm).\n"
      "Exit status: 0 written; 1 an error (with several inputs: any input failed); 2 usage; 3 nothing to "
      "export "
      "(with several inputs: none failed, some had nothing)."};
  app.set_version_flag("--version", std::string("cvmexport ") + CVM_VERSION);

  ConvertRequest request;
  std::vector<std::string> inputs;
  std::string outDir, reportPath, htmlPath;
  unsigned jobs = 1;
  bool noNormals = false, preserveOrder = false, noMerge = false, selectedOnly = false, quiet = false;
  app.add_option("scenes", inputs, "Scene documents or model files to export ('-' for stdin)")->required();
  auto* output = app.add_option("-o,--output", request.outputPath,
                                "Output file (.cvm), for a single input ('-' for stdout)");
  auto* outDirOption = app.add_option(
      "--out-dir", outDir, "Folder for the outputs, made when missing: INPUT-NAME.cvm for each input");
  output->excludes(outDirOption);
  auto* depfile =
      app.add_option("--depfile", request.depfilePath,
                     "Write a make rule naming every file read (a dependency file), for a single input");
  depfile->excludes(outDirOption);
  app.add_flag("--depfiles", request.depfileBesideOutput,
               "Write the dependency file OUTPUT.d beside each output");
  app.add_option("--texture-path", request.texturePaths,
                 "A further folder to look for textures in (for the report and --strict); repeatable")
      ->allow_extra_args(false);
  app.add_option("-j,--jobs", jobs, "Conversions run at once (with --out-dir)")->check(CLI::Range(1u, 256u));
  app.add_option("--dump-scene", request.dumpScenePath,
                 "Write the scene as read to this scene document (.json)");
  app.add_option("--report", reportPath, "Write a JSON report of the export to this file ('-' for stdout)");
  app.add_option("--html", htmlPath,
                 "Write a page with a picture and the counts of every input to this file");
  app.add_flag(
      "--strict", request.strict,
      "Fail without writing when there are warnings (skipped nodes, missing textures, dropped data)");
  app.add_option("--scale", request.options.scale,
                 "Scale written to the file header (not applied to geometry)");
  app.add_flag("--no-normals", noNormals, "Do not export normals");
  app.add_flag("--preserve-vertex-order", preserveOrder, "Keep positions in corner order (for morphing)");
  app.add_flag("--no-merge", noMerge, "With --preserve-vertex-order: give every corner its own position");
  app.add_flag("--selected-only", selectedOnly, "Export the selected nodes only");
  app.add_flag("-q,--quiet", quiet, "Show no progress");
  double timeoutSeconds = kDefaultTimeoutSeconds;
  uint64_t maxMemoryMiB = 0;
  bool inProcess = false;
  app.add_option("--timeout", timeoutSeconds,
                 "Seconds a model file's conversion may take before it is stopped and fails (0: no limit)")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  auto* maxMemoryOption = app.add_option(
      "--max-memory", maxMemoryMiB,
      "MiB of memory a model file's conversion may use before it is stopped and fails (0: no limit; "
      "default: half the machine's memory, shared by the -j conversions, at least 512)");
  app.add_flag(
      "--in-process", inProcess,
      "Convert model files in this process instead of a child each (no protection against a reader that "
      "crashes or hangs; no limits)");
  app.add_flag(kNoMemoryTuningFlag, kNoMemoryTuningHelp);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  if (outDir.empty() && request.outputPath.empty()) return Usage("either -o or --out-dir is required");
  if (!request.outputPath.empty() && inputs.size() > 1)
    return Usage("-o takes a single input; use --out-dir for several");
  if (!request.dumpScenePath.empty() && inputs.size() > 1) return Usage("--dump-scene takes a single input");
  if (!outDir.empty()) {
    const std::string clash = FirstOutputClash(inputs, outDir);
    if (!clash.empty()) return Usage(clash);
  }
  const std::string streamClash = StandardStreamClash(inputs, request, outDir, reportPath);
  if (!streamClash.empty()) return Usage(streamClash);

  request.options.exportNormals = !noNormals;
  request.options.preserveVertexOrdering = preserveOrder;
  request.options.mergeVertices = !noMerge;
  request.optionBits = selectedOnly ? 1u : 0u;
  request.showProgress = !quiet && inputs.size() == 1 && StderrIsTerminal();
  if (!inProcess) {
    request.childProgram = ThisProgram();
    if (request.childProgram.empty())
      return Usage("cannot find this program's own file to convert model files in a child; use --in-process");
    request.timeoutSeconds = timeoutSeconds;
    const uint64_t limit =
        maxMemoryOption->count() > 0 ? maxMemoryMiB : DefaultMaxMemoryMiB(outDir.empty() ? 1 : jobs);
    request.maxMemoryBytes = limit << 20;
  }
  request.wantReport = !reportPath.empty() || !htmlPath.empty();  // the page shows the warnings

  std::vector<ConvertResult> results;
  std::string folderError;
  if (outDir.empty()) {
    request.scenePath = inputs[0];
    results.push_back(ConvertScene(request));
  } else if (!MakeOutputFolder(outDir, folderError)) {
    for (const std::string& input : inputs) {
      request.scenePath = input;
      results.push_back(FailedConversion(request, folderError));
    }
  } else {
    results = ConvertMany(inputs, outDir, request, jobs);
  }

  for (size_t i = 0; i < results.size(); ++i) {
    if (results[i].message.empty()) continue;
    // With several inputs every line says which input it is about.
    const bool named = inputs.size() == 1 || results[i].message.rfind(inputs[i], 0) == 0;
    std::fprintf(stderr, "%s%s\n", named ? "" : (inputs[i] + ": ").c_str(), results[i].message.c_str());
  }
  int status = CombinedStatus(results);
  if (!reportPath.empty()) {
    nlohmann::ordered_json report;
    if (results.size() == 1) {
      report = results[0].report;
    } else {
      report = nlohmann::ordered_json::array();
      for (ConvertResult& result : results) report.push_back(std::move(result.report));
    }
    std::string error;
    const std::string text =
        report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    if (!WriteTextOutput(reportPath, text, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      status = kExitError;
    }
  }
  if (!htmlPath.empty()) {
    std::string error;
    if (!WriteHtmlPage(htmlPath, inputs, results, jobs, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      status = kExitError;
    }
  }
  return status;
}
