// A progress text that is shown very often but changes seldom (once per percentage), such as
// the per-face gathering text: formatted only when its percentage changes, shown every time.
#pragma once

#include <string>

#include "export_context/progress_text.h"

namespace cvm {

class ProgressTextCache {
 public:
  // Shows format with name and percent in window (nothing without a window), formatting
  // the text anew only when percent differs from the last call's. format and name must stay
  // the same between calls on one cache.
  void Show(const ProgressWindow& window, const char* format, const char* name, int percent);

 private:
  int percent_ = -1;
  std::string text_;
};

}  // namespace cvm
