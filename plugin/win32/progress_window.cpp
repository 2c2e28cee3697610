#include "plugin/progress_window.h"

#include "resources/resource.h"

namespace cvm::win32 {

HWND CreateProgressWindow(HINSTANCE module, HWND owner) {
  HWND window = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_EXPORT_PROGRESS), owner, nullptr, 0);
  // The export pumps no messages, so paint the initial text now or the window stays blank.
  if (window != nullptr) UpdateWindow(window);
  return window;
}

void SetProgressWindowText(HWND window, const char* text) {
  if (window == nullptr || text == nullptr) return;
  SendDlgItemMessageA(window, IDC_PROGRESS_TEXT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void DestroyProgressWindow(HWND window) {
  if (window != nullptr) DestroyWindow(window);
}

}  // namespace cvm::win32
