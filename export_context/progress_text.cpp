#include "export_context/progress_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "export_context/export_ui.h"

namespace cvm {

bool FormatProgressText(char (&text)[kProgressTextSize], const char* format, const char* name, int percent) {
  text[0] = '\0';
  // Room left for the name once the rest of the text is formatted around an empty one.
  const int fixed = std::snprintf(nullptr, 0, format, "", percent);
  if (fixed < 0 || fixed >= kProgressTextSize) return false;
  char cutName[kProgressTextSize];
  const size_t room = static_cast<size_t>(kProgressTextSize - 1 - fixed);
  const size_t length = std::min(std::strlen(name), room);
  std::memcpy(cutName, name, length);
  cutName[length] = '\0';
  std::snprintf(text, kProgressTextSize, format, cutName, percent);
  return true;
}

void SetProgressText(const ProgressWindow& window, const char* format, const char* name, int percent) {
  if (window.ui == nullptr) return;
  char text[kProgressTextSize];
  if (FormatProgressText(text, format, name, percent)) window.ui->SetProgressText(text);
}

void SetProgressText(const ProgressWindow& window, const char* text) {
  if (window.ui != nullptr) window.ui->SetProgressText(text);
}

int ProgressPercent(uint64_t i, uint64_t n) {
  if (n == 0 || i >= n) return 99;
  // Exact: floor(i / n * 100) in floating point drifts below whole percentages (58 of 200
  // gives 28.999...) and, for large n, up to 100. Counts stay far below 2^57.
  return static_cast<int>(i * 100 / n);
}

}  // namespace cvm
