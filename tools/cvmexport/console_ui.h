// The converter's user interface on a terminal: progress texts as one updating line on
// stderr, messages left to the caller (which knows the exit status to give).
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "export_context/export_ui.h"

namespace cvm::tools {

class ConsoleUi final : public ExportUi {
 public:
  // showProgress: draw progress texts (only sensible when stderr is a terminal).
  explicit ConsoleUi(bool showProgress) : showProgress_(showProgress) {}

  int ShowOptionsDialog(ExportOptions& /*options*/) override { return 0; }
  void ShowNoDataMessage() override {}
  void ShowExportError(const char* /*message*/, bool /*suppressPrompts*/) override {}
  bool CreateProgressWindow() override;
  void SetProgressText(const char* text) override;
  void DestroyProgressWindow() override;

 private:
  void Draw(const std::string& text);

  bool showProgress_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// Whether stderr is an interactive terminal.
bool StderrIsTerminal();

}  // namespace cvm::tools
