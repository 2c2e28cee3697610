// Loading an export plug-in library the way the host application does: load the library,
// resolve its five functions by name, check its interface version and pick its scene
// exporter class.
#pragma once

#include <windows.h>

#include <string>

#include "maxsdk/class_desc.h"
#include "maxsdk/scene_export.h"

namespace cvm::cvmhost {

struct ExporterPlugin {
  HMODULE module = nullptr;
  const char* (*libDescription)() = nullptr;
  int (*libNumberClasses)() = nullptr;
  ClassDesc* (*libClassDesc)(int) = nullptr;
  ULONG (*libVersion)() = nullptr;
  ULONG (*canAutoDefer)() = nullptr;
  ClassDesc* exporterClass = nullptr;  // the first class of super class SCENE_EXPORT_CLASS_ID
};

// Loads the library at path into plugin. Returns false with error filled (and nothing left
// loaded) when it cannot be loaded, lacks one of the functions, was built for another
// interface version or offers no scene exporter.
bool LoadExporterPlugin(const std::string& path, ExporterPlugin& plugin, std::string& error);

// Unloads a library loaded by LoadExporterPlugin; the plugin record is cleared.
void UnloadExporterPlugin(ExporterPlugin& plugin);

// A new exporter made by the plug-in's class descriptor, or null. The caller deletes it.
SceneExport* CreateExporter(const ExporterPlugin& plugin);

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();

}  // namespace cvm::cvmhost
