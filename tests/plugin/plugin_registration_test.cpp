// What the host sees of the library before and around an export: the five exported
// functions, the class descriptor, the exporter's descriptions, the string and version
// resources, and the entry point's one-time initialisation.
#include <windows.h>

#include <cstring>
#include <string>

#include "maxsdk/class_desc.h"
#include "maxsdk/plugin_api.h"
#include "maxsdk/scene_export.h"
#include "maxsdk/standin_diagnostics.h"
#include "tests/plugin/check.h"
#include "tests/plugin/window_probe.h"

using namespace cvm::wintest;

namespace {

std::string Text(const char* text) {
  return text != nullptr ? text : "(null)";
}

DWORD WINAPI DoNothing(LPVOID) {
  return 0;
}

// Starts and ends a thread, which calls every loaded library's entry point twice more.
void AttachAndDetachThread() {
  HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

std::string VersionString(const std::vector<char>& info, const char* name) {
  const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ||
      value == nullptr)
    return "(missing)";
  return value;
}

void CheckVersionResource(const std::string& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  CHECK(size > 0);
  if (size == 0) return;
  std::vector<char> info(size);
  CHECK(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  CHECK(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed != nullptr);
  if (fixed != nullptr) {
    CHECK_EQ(fixed->dwFileVersionMS, DWORD{0x00030000});
    CHECK_EQ(fixed->dwFileVersionLS, DWORD{0});
    CHECK_EQ(fixed->dwProductVersionMS, DWORD{0x00030000});
    CHECK_EQ(fixed->dwProductVersionLS, DWORD{0});
  }
  CHECK_EQ(VersionString(info, "FileDescription"), std::string("Corvane CVM exporter"));
  CHECK_EQ(VersionString(info, "OriginalFilename"), std::string("ExportCVM.dle"));
  CHECK_EQ(VersionString(info, "ProductName"), std::string("3D Studio MAX"));
  CHECK_EQ(VersionString(info, "FileVersion"), std::string("3.0.0.0"));
  CHECK_EQ(VersionString(info, "ProductVersion"), std::string("3.0.0.0"));
}

}  // namespace

int main() {
  MaxStandinSetAssertionEcho(false);
  const std::string path = cvm::cvmhost::ProgramFolder() + "ExportCVM.dle";
  CHECK_EQ(MaxStandinInitCustomControlsCount(), 0);
  cvm::cvmhost::ExporterPlugin plugin = LoadPluginOrExit();

  // Entry point: controls initialised once per load, whatever further calls it gets.
  CHECK_EQ(MaxStandinInitCustomControlsCount(), 1);
  AttachAndDetachThread();
  AttachAndDetachThread();
  CHECK_EQ(MaxStandinInitCustomControlsCount(), 1);

  // Exported functions.
  CHECK_EQ(Text(plugin.libDescription()), std::string("CVM Exporter"));
  CHECK_EQ(plugin.libNumberClasses(), 1);
  CHECK_EQ(plugin.libVersion(), ULONG{0x17700D00});
  CHECK_EQ(plugin.canAutoDefer(), ULONG{1});
  ClassDesc* first = plugin.libClassDesc(0);
  CHECK(first != nullptr);
  CHECK(plugin.libClassDesc(0) == first);
  CHECK(plugin.libClassDesc(0) == first);
  for (int index : {1, -1, 2, 1000})
    CHECK_EQ_AT(plugin.libClassDesc(index) == nullptr, true, std::to_string(index));
  if (first == nullptr) return FinishChecks("plugin_registration_test");

  // Class descriptor.
  auto* desc = static_cast<ClassDesc2*>(first);
  CHECK_EQ(desc->IsPublic(), 1);
  CHECK_EQ(Text(desc->ClassName()), std::string("ExportCVM"));
  CHECK_EQ(desc->SuperClassID(), SClass_ID{0xA20});
  CHECK(desc->ClassID() == Class_ID(0x1BC650C4, 0x49D45B37));
  CHECK_EQ(Text(desc->Category()), std::string("CVM Export"));
  CHECK_EQ(Text(desc->InternalName()), std::string("EXPORTCVM"));
  CHECK(desc->HInstance() == plugin.module);
  CHECK_EQ(desc->NumParamBlockDescs(), 0);
  // The string lookups share one buffer: a later lookup replaces the text of an earlier one.
  const char* description = plugin.libDescription();
  const char* category = desc->Category();
  CHECK(description == category);
  CHECK_EQ(Text(description), std::string("CVM Export"));
  // The string table's unreferenced entries are there as well.
  char text[64] = {};
  CHECK(LoadStringA(plugin.module, 4, text, sizeof text) > 0);
  CHECK_EQ(std::string(text), std::string("Parameters"));
  CHECK(LoadStringA(plugin.module, 5, text, sizeof text) > 0);
  CHECK_EQ(std::string(text), std::string("Spin"));
  CHECK(LoadStringA(plugin.module, 6, text, sizeof text) == 0);

  // Exporter objects: independent instances with fixed answers.
  auto* exporter = static_cast<SceneExport*>(desc->Create(FALSE));
  auto* other = static_cast<SceneExport*>(desc->Create(TRUE));
  CHECK(exporter != nullptr && other != nullptr && exporter != other);
  if (exporter == nullptr) return FinishChecks("plugin_registration_test");
  CHECK_EQ(exporter->ExtCount(), 1);
  for (int index : {0, 1, -1, 7})
    CHECK_EQ_AT(Text(exporter->Ext(index)), std::string("CVM"), std::to_string(index));
  CHECK_EQ(Text(exporter->LongDesc()), std::string("Corvane Model"));
  CHECK_EQ(Text(exporter->ShortDesc()), std::string("Corvane Model"));
  CHECK(std::strlen(exporter->AuthorName()) > 0);
  CHECK(std::strlen(exporter->CopyrightMessage()) > 0);
  CHECK_EQ(Text(exporter->OtherMessage1()), std::string(""));
  CHECK_EQ(Text(exporter->OtherMessage2()), std::string(""));
  CHECK_EQ(exporter->Version(), 201u);
  exporter->ShowAbout(nullptr);

  // Options: only "selected objects only" on extension 0; another extension raises the
  // host's assertion (file and line 314) and is answered as 0.
  struct OptionsRow {
    int ext;
    DWORD options;
    BOOL supported;
    int assertions;
  };
  const OptionsRow rows[] = {{0, 1, TRUE, 0}, {0, 0, FALSE, 0},  {0, 3, FALSE, 0}, {0, 2, FALSE, 0},
                             {1, 1, TRUE, 1}, {-1, 0, FALSE, 1}, {2, 3, FALSE, 1}};
  for (const OptionsRow& row : rows) {
    const std::string context = std::to_string(row.ext) + "," + std::to_string(row.options);
    const int before = MaxStandinAssertionCount();
    CHECK_EQ_AT(exporter->SupportsOptions(row.ext, row.options), row.supported, context);
    CHECK_EQ_AT(MaxStandinAssertionCount() - before, row.assertions, context);
  }
  const MaxStandinAssertion assertion = MaxStandinLastAssertion();
  CHECK_EQ(assertion.line, 314);
  const std::string file = assertion.file;
  CHECK(file.size() >= 16 && file.compare(file.size() - 16, 16, "cvm_exporter.cpp") == 0);

  // A bad call gives a failure, not a crash.
  CHECK_EQ(exporter->DoExport(nullptr, nullptr, nullptr, TRUE, 0), 0);
  ExpInterface noScene;
  CHECK_EQ(exporter->DoExport("nothing.cvm", &noScene, nullptr, TRUE, 0), 0);
  delete exporter;
  delete other;

  CheckVersionResource(path);

  // A library loaded again is initialised again.
  cvm::cvmhost::UnloadExporterPlugin(plugin);
  plugin = LoadPluginOrExit();
  CHECK_EQ(MaxStandinInitCustomControlsCount(), 2);
  cvm::cvmhost::UnloadExporterPlugin(plugin);
  return FinishChecks("plugin_registration_test");
}
