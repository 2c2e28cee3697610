#include "tools/cvmhost/plugin_library.h"

#include "maxsdk/plugin_api.h"

namespace cvm::cvmhost {
namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (function == nullptr) error = std::string("the library does not export ") + name;
  return function != nullptr;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                 sizeof text, nullptr);
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

bool ResolveAll(ExporterPlugin& plugin, std::string& error) {
  HMODULE module = plugin.module;
  if (!Resolve(module, "LibDescription", plugin.libDescription, error)) return false;
  if (!Resolve(module, "LibNumberClasses", plugin.libNumberClasses, error)) return false;
  if (!Resolve(module, "LibClassDesc", plugin.libClassDesc, error)) return false;
  if (!Resolve(module, "LibVersion", plugin.libVersion, error)) return false;
  if (!Resolve(module, "CanAutoDefer", plugin.canAutoDefer, error)) return false;
  const ULONG version = plugin.libVersion();
  if (version != VERSION_3DSMAX) {
    char text[128];
    wsprintfA(text, "the library was built for interface version 0x%08lX, not 0x%08lX", version,
              static_cast<ULONG>(VERSION_3DSMAX));
    error = text;
    return false;
  }
  const int count = plugin.libNumberClasses();
  for (int i = 0; i < count; ++i) {
    ClassDesc* desc = plugin.libClassDesc(i);
    if (desc != nullptr && desc->SuperClassID() == SCENE_EXPORT_CLASS_ID) {
      plugin.exporterClass = desc;
      return true;
    }
  }
  error = "the library offers no scene exporter";
  return false;
}

}  // namespace

bool LoadExporterPlugin(const std::string& path, ExporterPlugin& plugin, std::string& error) {
  plugin = ExporterPlugin();
  plugin.module = LoadLibraryA(path.c_str());
  if (plugin.module == nullptr) {
    error = "cannot load '" + path + "': " + LastErrorText();
    return false;
  }
  if (!ResolveAll(plugin, error)) {
    error = "'" + path + "': " + error;
    UnloadExporterPlugin(plugin);
    return false;
  }
  return true;
}

void UnloadExporterPlugin(ExporterPlugin& plugin) {
  if (plugin.module != nullptr) FreeLibrary(plugin.module);
  plugin = ExporterPlugin();
}

SceneExport* CreateExporter(const ExporterPlugin& plugin) {
  if (plugin.exporterClass == nullptr) return nullptr;
  return static_cast<SceneExport*>(plugin.exporterClass->Create(FALSE));
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  const size_t cut = folder.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
}

}  // namespace cvm::cvmhost
