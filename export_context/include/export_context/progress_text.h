// Progress texts: formatted into a 256-byte buffer, so a text holds at most 255 characters.
// A node name too long to fit is cut so that the rest of the text (percentage, line feed)
// stays whole.
#pragma once

#include <cstdint>

namespace cvm {

class ExportUi;

constexpr int kProgressTextSize = 256;

// The progress window as the sections see it: null ui means no window, and then every
// text update does nothing.
struct ProgressWindow {
  ExportUi* ui = nullptr;
};

// Formats format with %s = name (cut to fit) and, when the format has one, %d = percent into
// text. Returns false, leaving text empty, for a format that cannot fit at all.
bool FormatProgressText(char (&text)[kProgressTextSize], const char* format, const char* name, int percent);

// Sets the window's text to format with %s = name and, when the format has one, %d = percent.
void SetProgressText(const ProgressWindow& window, const char* format, const char* name, int percent = 0);
// Sets a text without arguments.
void SetProgressText(const ProgressWindow& window, const char* text);

// The percentage shown before item i of n (n > 0): floor(i / n * 100), computed exactly, 0 to 99.
int ProgressPercent(uint64_t i, uint64_t n);

}  // namespace cvm
