#include "plugin/options_dialog.h"

#include <string>

#include "maxsdk/custom_controls.h"
#include "plugin/scale_text.h"
#include "resources/resource.h"

namespace cvm::win32 {
namespace {

// The edit box is read into a buffer of this size: at most 126 characters and the 0.
constexpr int kScaleTextBufferSize = 127;

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetCheck(HWND dialog, int id, bool on) {
  SendDlgItemMessageA(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EnableMergeVertices(HWND dialog, bool enable) {
  EnableWindow(GetDlgItem(dialog, IDC_MERGE_VERTICES), enable ? TRUE : FALSE);
}

ExportOptions* DialogOptions(HWND dialog) {
  return reinterpret_cast<ExportOptions*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR InitDialog(HWND dialog, ExportOptions& options) {
  CenterWindow(dialog, GetParent(dialog));
  SetDlgItemTextA(dialog, IDC_SCALE, FormatScaleText(options.scale).c_str());
  SetCheck(dialog, IDC_SHOW_WARNINGS, options.showWarningDialogs);
  SetCheck(dialog, IDC_EXPORT_NORMALS, options.exportNormals);
  SetCheck(dialog, IDC_PRESERVE_VERTEX_ORDERING, options.preserveVertexOrdering);
  SetCheck(dialog, IDC_MERGE_VERTICES, options.mergeVertices);
  EnableMergeVertices(dialog, options.preserveVertexOrdering);
  // Answering TRUE would let the dialog manager move the focus on to the first tab stop
  // ("Show warning dialogs"); the focus belongs on "Export Now", so answer FALSE.
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_EXPORT_NOW)), TRUE);
  return FALSE;
}

void ConfirmDialog(HWND dialog, ExportOptions& options) {
  options.showWarningDialogs = IsChecked(dialog, IDC_SHOW_WARNINGS);
  options.exportNormals = IsChecked(dialog, IDC_EXPORT_NORMALS);
  options.preserveVertexOrdering = IsChecked(dialog, IDC_PRESERVE_VERTEX_ORDERING);
  // A disabled box keeps its mark, and the mark is what is stored.
  options.mergeVertices = IsChecked(dialog, IDC_MERGE_VERTICES);
  char text[kScaleTextBufferSize] = {};
  GetDlgItemTextA(dialog, IDC_SCALE, text, kScaleTextBufferSize);
  options.scale = ParseScaleText(text);
  EndDialog(dialog, 0);
}

INT_PTR Command(HWND dialog, WORD id) {
  ExportOptions* options = DialogOptions(dialog);
  if (options == nullptr) return TRUE;
  switch (id) {
    case IDC_EXPORT_NOW:
      ConfirmDialog(dialog, *options);
      break;
    case IDC_PRESERVE_VERTEX_ORDERING:
      options->preserveVertexOrdering = IsChecked(dialog, IDC_PRESERVE_VERTEX_ORDERING);
      EnableMergeVertices(dialog, options->preserveVertexOrdering);
      break;
    case IDC_CANCEL_EXPORT:
      EndDialog(dialog, -1);
      break;
    default:  // IDCANCEL from the Escape key among them: the dialog stays
      break;
  }
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG: {
        auto* options = reinterpret_cast<ExportOptions*>(lParam);
        if (options == nullptr) {
          EndDialog(dialog, -1);
          return TRUE;
        }
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return InitDialog(dialog, *options);
      }
      case WM_COMMAND:
        // Only button clicks (notification code 0) are acted on.
        if (HIWORD(wParam) != 0) return TRUE;
        return Command(dialog, LOWORD(wParam));
      case WM_CLOSE:
        EndDialog(dialog, -1);
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    // Nothing may leave a window procedure; an export that cannot set up its dialog is
    // treated as cancelled.
    EndDialog(dialog, -1);
    return TRUE;
  }
}

int RunOptionsDialog(HINSTANCE module, HWND owner, ExportOptions& options) {
  const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_EXPORT_OPTIONS), owner,
                                         OptionsDialogProc, reinterpret_cast<LPARAM>(&options));
  return result == 0 ? 0 : -1;
}

}  // namespace cvm::win32
