#include "tests/support/recording_ui.h"

namespace cvm::test {

int RecordingUi::ShowOptionsDialog(ExportOptions& options) {
  ++dialogsShown;
  if (dialogResult == 0 && applyDialogEdit) options = dialogEdit;
  return dialogResult;
}

bool RecordingUi::CreateProgressWindow() {
  if (!progressWindowCanBeCreated) return false;
  ++windowsCreated;
  windowOpen = true;
  return true;
}

void RecordingUi::SetProgressText(const char* text) {
  if (!windowOpen) textSetWithoutWindow = true;
  progressTexts.emplace_back(text);
}

void RecordingUi::DestroyProgressWindow() {
  ++windowsDestroyed;
  windowOpen = false;
}

}  // namespace cvm::test
