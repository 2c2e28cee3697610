// The modeless progress window (template IDD_EXPORT_PROGRESS): one line of text while an
// export runs. It has no procedure of its own; the platform's dialog handling serves it.
#pragma once

#include <windows.h>

namespace cvm::win32 {

// Creates and shows the window over owner (may be null). Returns null when it could not be
// created; the export then runs without it.
HWND CreateProgressWindow(HINSTANCE module, HWND owner);

// Replaces the window's line of text. Does nothing for a null window.
void SetProgressWindowText(HWND window, const char* text);

// Destroys a window made by CreateProgressWindow. Does nothing for a null window.
void DestroyProgressWindow(HWND window);

}  // namespace cvm::win32
