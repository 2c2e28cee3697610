#include "plugin/win32_export_ui.h"

#include <cstdio>

#include "plugin/options_dialog.h"
#include "plugin/progress_window.h"

namespace cvm::win32 {

Win32ExportUi::Win32ExportUi(HINSTANCE module, HWND owner, const ExportOptions& options)
    : module_(module), owner_(owner), options_(options) {}

Win32ExportUi::~Win32ExportUi() {
  DestroyProgressWindow();
}

int Win32ExportUi::ShowOptionsDialog(ExportOptions& options) {
  return RunOptionsDialog(module_, owner_, options);
}

void Win32ExportUi::ShowNoDataMessage() {
  if (!options_.showWarningDialogs) return;
  MessageBoxA(owner_, "No Data to Export.", "No Data", MB_OK);
}

void Win32ExportUi::ShowExportError(const char* message, bool suppressPrompts) {
  if (!options_.showWarningDialogs || suppressPrompts) return;
  char text[1024];
  std::snprintf(text, sizeof text, "The Corvane Model file was not written.\n\n%s",
                message != nullptr ? message : "");
  MessageBoxA(owner_, text, kExportFailedCaption, MB_OK | MB_ICONERROR);
}

bool Win32ExportUi::CreateProgressWindow() {
  DestroyProgressWindow();
  progress_ = win32::CreateProgressWindow(module_, owner_);
  return progress_ != nullptr;
}

void Win32ExportUi::SetProgressText(const char* text) {
  SetProgressWindowText(progress_, text);
}

void Win32ExportUi::DestroyProgressWindow() {
  win32::DestroyProgressWindow(progress_);
  progress_ = nullptr;
}

}  // namespace cvm::win32
