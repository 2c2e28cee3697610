// cvmexport: exports a scene document to a Corvane Model file.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "tools/cvmexport/console_ui.h"
#include "tools/cvmexport/convert.h"

int main(int argc, char** argv) {
  using namespace cvm::tools;
  CLI::App app{"Exports a scene document (JSON) to a Corvane Model file (.cvm)."};
  app.set_version_flag("--version", std::string("cvmexport ") + CVM_VERSION);

  ConvertRequest request;
  bool noNormals = false, preserveOrder = false, noMerge = false, selectedOnly = false, quiet = false;
  app.add_option("scene", request.scenePath, "Scene document to export")->required();
  app.add_option("-o,--output", request.outputPath, "Output file (.cvm)")->required();
  app.add_option("--scale", request.options.scale, "Scale written to the file header (not applied to geometry)");
  app.add_flag("--no-normals", noNormals, "Do not export normals");
  app.add_flag("--preserve-vertex-order", preserveOrder, "Keep positions in corner order (for morphing)");
  app.add_flag("--no-merge", noMerge, "With --preserve-vertex-order: give every corner its own position");
  app.add_flag("--selected-only", selectedOnly, "Export the selected nodes only");
  app.add_flag("-q,--quiet", quiet, "Show no progress");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  request.options.exportNormals = !noNormals;
  request.options.preserveVertexOrdering = preserveOrder;
  request.options.mergeVertices = !noMerge;
  request.optionBits = selectedOnly ? 1u : 0u;
  request.showProgress = !quiet && StderrIsTerminal();

  std::string message;
  const int status = ConvertScene(request, message);
  if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
  return status;
}
