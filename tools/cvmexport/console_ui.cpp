#include "tools/cvmexport/console_ui.h"

#ifdef _WIN32
#include <io.h>
#define CVM_ISATTY _isatty
#define CVM_FILENO _fileno
#else
#include <unistd.h>
#define CVM_ISATTY isatty
#define CVM_FILENO fileno
#endif

namespace cvm::tools {
namespace {
// At most about ten redraws a second: a million-face mesh sets a text per face.
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr size_t kLineWidth = 79;
}  // namespace

bool StderrIsTerminal() {
  return CVM_ISATTY(CVM_FILENO(stderr)) != 0;
}

bool ConsoleUi::CreateProgressWindow() {
  if (showProgress_) Draw("Starting Export");
  return true;
}

void ConsoleUi::SetProgressText(const char* text) {
  if (!showProgress_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
  Draw(text);
}

void ConsoleUi::DestroyProgressWindow() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(kLineWidth), "");
  std::fflush(stderr);
  drawn_ = false;
}

void ConsoleUi::Draw(const std::string& text) {
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.size() > kLineWidth) line.resize(kLineWidth);
  std::fprintf(stderr, "\r%-*s", static_cast<int>(kLineWidth), line.c_str());
  std::fflush(stderr);
  drawn_ = true;
  lastDraw_ = std::chrono::steady_clock::now();
}

}  // namespace cvm::tools
