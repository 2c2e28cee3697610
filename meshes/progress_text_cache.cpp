#include "meshes/progress_text_cache.h"

#include "export/export_ui.h"

namespace cvm {
namespace {

// Receives the formatted text from SetProgressText, which owns the formatting rules (the
// 255-character limit and the cutting of long names), so they are not repeated here.
class TextCapture final : public ExportUi {
 public:
  explicit TextCapture(std::string& text) : text_(text) {}
  int ShowOptionsDialog(ExportOptions& /*options*/) override { return -1; }
  void ShowNoDataMessage() override {}
  void ShowExportError(const char* /*message*/, bool /*suppressPrompts*/) override {}
  bool CreateProgressWindow() override { return true; }
  void SetProgressText(const char* text) override { text_ = text; }
  void DestroyProgressWindow() override {}

 private:
  std::string& text_;
};

}  // namespace

void ProgressTextCache::Show(const ProgressWindow& window, const char* format, const char* name, int percent) {
  if (window.ui == nullptr) return;
  if (percent != percent_) {
    text_.clear();
    TextCapture capture(text_);
    SetProgressText(ProgressWindow{&capture}, format, name, percent);
    percent_ = percent;
  }
  // An empty capture is a text SetProgressText would not show either.
  if (!text_.empty()) window.ui->SetProgressText(text_.c_str());
}

}  // namespace cvm
