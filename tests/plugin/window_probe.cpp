#include "tests/plugin/window_probe.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace cvm::wintest {

// ---- Plug-in --------------------------------------------------------------------------

cvm::cvmhost::ExporterPlugin LoadPluginOrExit() {
  cvm::cvmhost::ExporterPlugin plugin;
  std::string error;
  if (!cvm::cvmhost::LoadExporterPlugin(cvm::cvmhost::ProgramFolder() + "ExportCVM.dle", plugin, error)) {
    std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
    std::exit(1);
  }
  return plugin;
}

namespace {

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateHostWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HostWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  windowClass.lpszClassName = "CvmTestHostWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "CvmTestHostWindow", "Test Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30,
                                720, 520, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(window);
  SetActiveWindow(window);
  PumpMessages();
  return window;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// ---- Files ----------------------------------------------------------------------------

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void DeleteFileIfPresent(const std::string& path) {
  DeleteFileA(path.c_str());
}

std::string HexBytes(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
  std::string text;
  for (size_t i = offset; i < offset + count && i < bytes.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02X", bytes[i]);
    if (!text.empty()) text += ' ';
    text += byte;
  }
  return text;
}

// ---- Windows --------------------------------------------------------------------------

namespace {

struct WindowSearch {
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindCaption(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<WindowSearch*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  if (WindowText(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindVisibleWindow(const char* caption) {
  WindowSearch search{caption, nullptr};
  EnumWindows(FindCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND WaitForWindow(const char* caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindVisibleWindow(caption)) != nullptr; }, timeoutMs);
  return found;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(10);
  }
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string WindowClass(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

RECT ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT DialogUnitRect(HWND dialog, int x, int y, int width, int height) {
  // The dialog manager converts a control's position and its size separately, so the far
  // edge is not always the converted far edge.
  RECT position{x, y, x, y};
  RECT size{0, 0, width, height};
  MapDialogRect(dialog, &position);
  MapDialogRect(dialog, &size);
  return RECT{position.left, position.top, position.left + size.right, position.top + size.bottom};
}

std::string RectText(const RECT& r) {
  char text[96];
  std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
  return text;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

HWND FocusOfThread(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

void ClickButton(HWND button) {
  SendMessageA(button, BM_CLICK, 0, 0);
}

void PostKey(HWND window, UINT virtualKey) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(window, WM_KEYDOWN, virtualKey, scan | 1);
  PostMessageA(window, WM_KEYUP, virtualKey, scan | 1 | (LPARAM{3} << 30));
}

bool SaveWindowImage(HWND window, const std::string& path, bool fromScreen) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool drawn = fromScreen ? BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0
                                : PrintWindow(window, memory, 0) != 0;
  SelectObject(memory, previous);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files store rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height);
  const int rows = GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                             DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!drawn || rows != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  CreateDirectoryA("screenshots", nullptr);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

// ---- Running the plug-in against a driver ------------------------------------------------

namespace {

// Captions of every window the plug-in can leave waiting for a person.
constexpr const char* kPluginCaptions[] = {"Corvane CVM Exporter", "No Data", "CVM Export Failed"};

DWORD WINAPI DriveThread(LPVOID parameter) {
  try {
    (*static_cast<const std::function<void()>*>(parameter))();
  } catch (...) {
    std::fprintf(stderr, "driver thread: exception\n");
  }
  // Whatever the driver left open would keep the test thread in a modal loop for ever.
  for (const char* caption : kPluginCaptions) {
    if (HWND window = FindVisibleWindow(caption)) {
      std::fprintf(stderr, "driver left '%s' open; closing it\n", caption);
      PostMessageA(window, WM_CLOSE, 0, 0);
    }
  }
  return 0;
}

CRITICAL_SECTION logLock;
struct LoggedCommand {
  HWND window;
  int id;
  int code;
};
std::vector<LoggedCommand> loggedCommands;
HHOOK commandHook = nullptr;

LRESULT CALLBACK CommandHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (message->message == WM_COMMAND) {
      EnterCriticalSection(&logLock);
      loggedCommands.push_back({message->hwnd, LOWORD(message->wParam), HIWORD(message->wParam)});
      LeaveCriticalSection(&logLock);
    }
  }
  return CallNextHookEx(commandHook, code, wParam, lParam);
}

}  // namespace

void RunDriven(const std::function<void()>& call, const std::function<void()>& drive) {
  HANDLE thread =
      CreateThread(nullptr, 0, DriveThread, const_cast<std::function<void()>*>(&drive), 0, nullptr);
  call();
  // The driver may still ask this thread's windows for their text; keep answering.
  const DWORD start = GetTickCount();
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0 &&
         GetTickCount() - start < 60000)
    PumpMessages();
  CloseHandle(thread);
}

CommandLog::CommandLog() {
  InitializeCriticalSection(&logLock);
  loggedCommands.clear();
  commandHook = SetWindowsHookExA(WH_CALLWNDPROCRET, CommandHookProc, nullptr, GetCurrentThreadId());
}

CommandLog::~CommandLog() {
  UnhookWindowsHookEx(commandHook);
  DeleteCriticalSection(&logLock);
}

bool CommandLog::Seen(HWND window, int id, int code) {
  EnterCriticalSection(&logLock);
  bool seen = false;
  for (const LoggedCommand& c : loggedCommands)
    seen = seen || (c.window == window && c.id == id && c.code == code);
  LeaveCriticalSection(&logLock);
  return seen;
}

void CommandLog::Clear() {
  EnterCriticalSection(&logLock);
  loggedCommands.clear();
  LeaveCriticalSection(&logLock);
}

}  // namespace cvm::wintest
