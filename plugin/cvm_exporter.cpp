#include "plugin/cvm_exporter.h"

#include "export/run_export.h"
#include "maxsdk/assert1.h"
#include "output/atomic_file_target.h"
#include "plugin/module_state.h"
#include "plugin/win32_export_ui.h"

namespace {

constexpr unsigned int kExporterVersion = 201;

// The host's assertion reports for this check have always named line 314; keep the number
// when this file changes so that reports stay comparable.
constexpr int kSupportsOptionsAssertLine = 314;

}  // namespace

int CvmExporter::ExtCount() {
  return 1;
}

const char* CvmExporter::Ext(int /*n*/) {
  return "CVM";
}

const char* CvmExporter::LongDesc() {
  return "Corvane Model";
}

const char* CvmExporter::ShortDesc() {
  return "Corvane Model";
}

const char* CvmExporter::AuthorName() {
  return "Corvane engine team";
}

const char* CvmExporter::CopyrightMessage() {
  return "Copyright (C) Corvane";
}

const char* CvmExporter::OtherMessage1() {
  return "";
}

const char* CvmExporter::OtherMessage2() {
  return "";
}

unsigned int CvmExporter::Version() {
  return kExporterVersion;
}

void CvmExporter::ShowAbout(HWND /*hWnd*/) {}

int CvmExporter::DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts,
                          DWORD options) {
  if (name == nullptr || ei == nullptr || ei->theScene == nullptr) return cvm::kExportFailed;
  try {
    HWND owner = GetActiveWindow();
    if (owner == nullptr && i != nullptr) owner = i->GetMAXHWnd();
    cvm::win32::Win32ExportUi ui(ModuleInstance(), owner, cvm::TheExportOptions());
    cvm::AtomicFileTarget target(name);
    return cvm::DoExport(target, *ei->theScene, ui, suppressPrompts, options);
  } catch (...) {
    // Out of memory in the middle of an export: the atomic output has left the target as it
    // was and the progress window is gone with the ui.
    return cvm::kExportFailed;
  }
}

BOOL CvmExporter::SupportsOptions(int ext, DWORD options) {
  if (ext != 0) assert1(kSupportsOptionsAssertLine, __FILE__);
  return options == SCENE_EXPORT_SELECTED ? TRUE : FALSE;
}
