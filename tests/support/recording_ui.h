// An ExportUi that records everything the export shows, for tests.
#pragma once

#include <string>
#include <vector>

#include "export_context/export_ui.h"

namespace cvm::test {

class RecordingUi : public ExportUi {
 public:
  int ShowOptionsDialog(ExportOptions& options) override;
  void ShowNoDataMessage() override { ++noDataMessages; }
  void ShowExportError(const char* message, bool /*suppressPrompts*/) override {
    errors.emplace_back(message);
  }
  bool CreateProgressWindow() override;
  void SetProgressText(const char* text) override;
  void DestroyProgressWindow() override;

  // What the dialog does when shown: -1 cancels; 0 confirms after applying dialogEdit.
  int dialogResult = 0;
  ExportOptions dialogEdit;
  bool applyDialogEdit = false;
  bool progressWindowCanBeCreated = true;

  int dialogsShown = 0;
  int noDataMessages = 0;
  std::vector<std::string> errors;
  int windowsCreated = 0;
  int windowsDestroyed = 0;
  bool windowOpen = false;
  std::vector<std::string> progressTexts;  // every text set, in order
  bool textSetWithoutWindow = false;
};

}  // namespace cvm::test
