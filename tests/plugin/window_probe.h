// Helpers for the plug-in's Windows tests: loading ExportCVM.dle as the host does, driving
// its windows from a second thread while the test thread sits in the plug-in's modal loop,
// recording what the plug-in's thread does with hooks, and capturing window images.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/cvmhost/plugin_library.h"

namespace cvm::wintest {

// ---- Plug-in --------------------------------------------------------------------------

// Loads ExportCVM.dle from the test program's folder; a failure is reported and ends the
// program (every later check would need it).
cvm::cvmhost::ExporterPlugin LoadPluginOrExit();

// The application interface the tests hand to DoExport: its main window is mainWindow.
class TestInterface final : public Interface {
 public:
  explicit TestInterface(HWND mainWindow) : mainWindow_(mainWindow) {}
  HWND GetMAXHWnd() override { return mainWindow_; }

 private:
  HWND mainWindow_;
};

// A visible top-level window standing for the host's main window, made active so that
// the plug-in's windows are owned by it.
HWND CreateHostWindow();
// Handles the calling thread's pending messages.
void PumpMessages();

// ---- Files ----------------------------------------------------------------------------

bool FileExists(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void DeleteFileIfPresent(const std::string& path);
std::string HexBytes(const std::vector<uint8_t>& bytes, size_t offset, size_t count);

// ---- Windows --------------------------------------------------------------------------

// Waits (polling) until a window of this process with that caption is visible; null after
// timeoutMs.
HWND WaitForWindow(const char* caption, DWORD timeoutMs = 10000);
// Polls condition until it holds or timeoutMs pass; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
std::string WindowText(HWND window);
std::string WindowClass(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
// A rectangle in dialog units converted to the dialog's pixels.
RECT DialogUnitRect(HWND dialog, int x, int y, int width, int height);
std::string RectText(const RECT& r);
bool SameRect(const RECT& a, const RECT& b);
// The window that has the keyboard focus in thread's input state.
HWND FocusOfThread(DWORD threadId);
// Clicks a button the way the mouse does (it takes the focus and notifies its parent).
void ClickButton(HWND button);
// Posts a key press to window as the keyboard would; the modal loop's dialog handling sees it.
void PostKey(HWND window, UINT virtualKey);

// Writes the window's image as a 24-bit BMP. fromScreen: copy what the screen shows;
// otherwise ask the window to paint itself into the image (for windows whose thread is
// busy and does not repaint).
bool SaveWindowImage(HWND window, const std::string& path, bool fromScreen);

// ---- Running the plug-in against a driver ------------------------------------------------

// Runs drive on a second thread while call runs on this one, then waits for drive to end.
// Windows the driver leaves open are closed once call has had timeoutMs to finish.
void RunDriven(const std::function<void()>& call, const std::function<void()>& drive);

// WM_COMMAND messages handled by windows of this thread, recorded after the window
// procedure returned. Install on the thread that runs the dialog.
class CommandLog {
 public:
  CommandLog();
  ~CommandLog();
  // Whether command id with notification code reached window since the log started.
  static bool Seen(HWND window, int id, int code);
  static void Clear();
};

}  // namespace cvm::wintest
