#include "meshes/progress_text_cache.h"

#include "export_context/export_ui.h"

namespace cvm {

void ProgressTextCache::Show(const ProgressWindow& window, const char* format, const char* name,
                             int percent) {
  if (window.ui == nullptr) return;
  if (percent != percent_) {
    char text[kProgressTextSize];
    text_ = FormatProgressText(text, format, name, percent) ? text : "";
    percent_ = percent;
  }
  // An empty text is one SetProgressText would not show either.
  if (!text_.empty()) window.ui->SetProgressText(text_.c_str());
}

}  // namespace cvm
