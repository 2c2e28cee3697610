// cvmhost: the Windows stand-in for the modelling application. It loads ExportCVM.dle as
// the application does and runs its export over a scene document:
//   cvmhost SCENE.json OUT.cvm [--no-prompts] [--selected-only] [--plugin PATH]
// The exit status is DoExport's result (0 failed, 1 done, 2 cancelled), or one of the
// kExit codes below when the export could not be started.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "import/scene_document.h"
#include "maxsdk/interface.h"
#include "maxsdk/scene_export.h"
#include "standin/standin_scene.h"
#include "tools/cvmhost/plugin_library.h"

namespace {

constexpr int kExitUsage = 10;
constexpr int kExitScene = 11;
constexpr int kExitPlugin = 12;

constexpr const char* kUsage =
    "usage: cvmhost SCENE.json OUT.cvm [--no-prompts] [--selected-only] [--plugin PATH]\n";

struct Arguments {
  std::string scenePath;
  std::string outputPath;
  std::string pluginPath;
  bool noPrompts = false;
  bool selectedOnly = false;
};

bool ParseArguments(int argc, char** argv, Arguments& args, std::string& error) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-prompts") {
      args.noPrompts = true;
    } else if (arg == "--selected-only") {
      args.selectedOnly = true;
    } else if (arg == "--plugin") {
      if (i + 1 >= argc) {
        error = "--plugin needs a path";
        return false;
      }
      args.pluginPath = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (positional == 0) {
      args.scenePath = arg;
      ++positional;
    } else if (positional == 1) {
      args.outputPath = arg;
      ++positional;
    } else {
      error = "unexpected argument " + arg;
      return false;
    }
  }
  if (positional != 2) {
    error = "a scene document and an output file are needed";
    return false;
  }
  if (args.pluginPath.empty()) args.pluginPath = cvm::cvmhost::ProgramFolder() + "ExportCVM.dle";
  return true;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open '" + path + "'";
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    error = "cannot read '" + path + "'";
    return false;
  }
  text = buffer.str();
  return true;
}

// The application as the exporter sees it: this host has no main window.
class CommandLineInterface final : public Interface {
 public:
  HWND GetMAXHWnd() override { return nullptr; }
};

int Run(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!ParseArguments(argc, argv, args, error)) {
    std::fprintf(stderr, "cvmhost: %s\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }

  std::string json;
  if (!ReadFile(args.scenePath, json, error)) {
    std::fprintf(stderr, "cvmhost: %s\n", error.c_str());
    return kExitScene;
  }
  std::unique_ptr<cvm::standin::StandinScene> scene = cvm::import::LoadStandinScene(json, error);
  if (scene == nullptr) {
    std::fprintf(stderr, "cvmhost: %s: %s\n", args.scenePath.c_str(), error.c_str());
    return kExitScene;
  }

  cvm::cvmhost::ExporterPlugin plugin;
  if (!cvm::cvmhost::LoadExporterPlugin(args.pluginPath, plugin, error)) {
    std::fprintf(stderr, "cvmhost: %s\n", error.c_str());
    return kExitPlugin;
  }
  SceneExport* exporter = cvm::cvmhost::CreateExporter(plugin);
  if (exporter == nullptr) {
    std::fprintf(stderr, "cvmhost: '%s' could not create its exporter\n", args.pluginPath.c_str());
    cvm::cvmhost::UnloadExporterPlugin(plugin);
    return kExitPlugin;
  }

  ExpInterface exportInterface;
  exportInterface.theScene = scene.get();
  CommandLineInterface appInterface;
  const int result =
      exporter->DoExport(args.outputPath.c_str(), &exportInterface, &appInterface,
                         args.noPrompts ? TRUE : FALSE, args.selectedOnly ? SCENE_EXPORT_SELECTED : 0);
  delete exporter;
  cvm::cvmhost::UnloadExporterPlugin(plugin);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cvmhost: %s\n", e.what());
    return kExitScene;
  }
}
