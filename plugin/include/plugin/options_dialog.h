// The options dialog (template IDD_EXPORT_OPTIONS) shown before an export.
#pragma once

#include <windows.h>

#include "export_context/export_options.h"

namespace cvm::win32 {

// Shows the dialog modally over owner (may be null), starting from options. "Export Now"
// stores every control into options and gives 0. Cancel, closing the window, or a dialog
// that could not be created give -1; options then keep their values, except
// preserveVertexOrdering, which its check box sets at once. Escape does nothing.
int RunOptionsDialog(HINSTANCE module, HWND owner, ExportOptions& options);

// The dialog procedure; the creation parameter is the ExportOptions to edit.
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cvm::win32
