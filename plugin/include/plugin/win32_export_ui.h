// The export's user interface inside the host: the options dialog, the progress window and
// the message boxes, all owned by the host's window.
#pragma once

#include <windows.h>

#include "export_context/export_options.h"
#include "export_context/export_ui.h"

namespace cvm::win32 {

// Caption of the box that reports a failed export.
constexpr const char* kExportFailedCaption = "CVM Export Failed";

// module holds the dialog templates; owner is the host's active window (may be null).
// options are the process-wide options: their showWarningDialogs decides, at the moment a
// box would be shown, whether it is: off, no box at all; on, the "No Data" box always and
// the failure box only when prompts are not suppressed. A progress window still open when
// the object goes away is destroyed.
class Win32ExportUi final : public ExportUi {
 public:
  Win32ExportUi(HINSTANCE module, HWND owner, const ExportOptions& options);
  ~Win32ExportUi() override;
  Win32ExportUi(const Win32ExportUi&) = delete;
  Win32ExportUi& operator=(const Win32ExportUi&) = delete;

  int ShowOptionsDialog(ExportOptions& options) override;
  void ShowNoDataMessage() override;
  void ShowExportError(const char* message, bool suppressPrompts) override;
  bool CreateProgressWindow() override;
  void SetProgressText(const char* text) override;
  void DestroyProgressWindow() override;

 private:
  HINSTANCE module_;
  HWND owner_;
  const ExportOptions& options_;
  HWND progress_ = nullptr;
};

}  // namespace cvm::win32
