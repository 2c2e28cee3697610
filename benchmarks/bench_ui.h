// The user interface of the benchmark's exports: a progress window that keeps its one line of
// text, as a real window would, and counts how often it was set. No dialog, no messages.
#pragma once

#include <cstdint>
#include <string>

#include "export_context/export_ui.h"

namespace cvm::bench {

class BenchUi final : public ExportUi {
 public:
  int ShowOptionsDialog(ExportOptions& /*options*/) override { return 0; }
  void ShowNoDataMessage() override {}
  void ShowExportError(const char* message, bool /*suppressPrompts*/) override { error = message; }
  bool CreateProgressWindow() override { return true; }
  void SetProgressText(const char* text) override {
    shown.assign(text);
    ++textsSet;
  }
  void DestroyProgressWindow() override {}

  std::string shown;
  std::string error;
  uint64_t textsSet = 0;
};

}  // namespace cvm::bench
