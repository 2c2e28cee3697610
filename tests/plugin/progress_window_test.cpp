// The progress window seen from the plug-in's own thread: hooks record its creation, every
// text its line receives and its destruction while DoExport runs.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "maxsdk/scene_export.h"
#include "resources/resource.h"
#include "tests/plugin/check.h"
#include "tests/plugin/light_scene.h"
#include "tests/plugin/window_probe.h"

using namespace cvm::wintest;

namespace {

constexpr const char* kCaption = "Exporting...";

// What the hooks saw of the progress window during one export.
struct ProgressRecord {
  bool rejectCreation = false;
  int created = 0;
  int destroyed = 0;
  HWND window = nullptr;
  HWND owner = nullptr;
  std::string initialText;  // the line's text before the first update
  std::vector<std::string> texts;
  bool layoutChecked = false;
  bool imageSaved = false;
};

ProgressRecord record;
HHOOK cbtHook = nullptr;
HHOOK textHook = nullptr;
HWND hostWindow = nullptr;

bool IsCaption(const CREATESTRUCTA* create, const char* caption) {
  return HIWORD(reinterpret_cast<UINT_PTR>(create->lpszName)) != 0 &&
         std::strcmp(create->lpszName, caption) == 0;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if (IsCaption(create, kCaption) && (create->style & WS_CHILD) == 0) {
      if (record.rejectCreation) return 1;
      ++record.created;
      record.window = reinterpret_cast<HWND>(wParam);
    }
  } else if (code == HCBT_DESTROYWND && record.window != nullptr &&
             reinterpret_cast<HWND>(wParam) == record.window) {
    ++record.destroyed;
  }
  return CallNextHookEx(cbtHook, code, wParam, lParam);
}

void CheckLayout(HWND window) {
  CHECK_EQ(WindowText(window), std::string(kCaption));
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  for (LONG bit : {LONG(WS_POPUP), LONG(WS_VISIBLE), LONG(WS_CAPTION), LONG(DS_MODALFRAME), LONG(DS_CENTER)})
    CHECK_EQ_AT(style & bit, bit, "progress style bit " + std::to_string(bit));
  CHECK_EQ(style & WS_SYSMENU, 0);
  CHECK((GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0);
  RECT client{};
  GetClientRect(window, &client);
  CHECK_EQ(RectText(client), RectText(DialogUnitRect(window, 0, 0, 148, 23)));
  HWND line = GetDlgItem(window, IDC_PROGRESS_TEXT);
  CHECK(line != nullptr && GetWindow(window, GW_CHILD) == line && GetWindow(line, GW_HWNDNEXT) == nullptr);
  CHECK_EQ(RectText(ChildRect(line)), RectText(DialogUnitRect(window, 7, 7, 134, 8)));
  CHECK_EQ(_stricmp(WindowClass(line).c_str(), "Static"), 0);
}

// Before a text reaches the line: the window's layout and its initial text.
LRESULT CALLBACK TextHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (message->message == WM_SETTEXT && record.window != nullptr &&
        GetParent(message->hwnd) == record.window && GetDlgCtrlID(message->hwnd) == IDC_PROGRESS_TEXT) {
      record.texts.push_back(reinterpret_cast<const char*>(message->lParam));
      if (!record.imageSaved && record.texts.back() == "Exporting Lights\n") {
        // The export does not pump messages; let the window paint its frame and line now so
        // that the image shows what a person would see.
        RedrawWindow(record.window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 300) {
          PumpMessages();
          Sleep(20);
        }
        record.imageSaved = SaveWindowImage(record.window, "screenshots/progress_window.bmp", true);
      }
    }
  }
  return CallNextHookEx(textHook, code, wParam, lParam);
}

HHOOK beforeHook = nullptr;
LRESULT CALLBACK BeforeTextHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (message->message == WM_SETTEXT && record.window != nullptr &&
        GetParent(message->hwnd) == record.window && !record.layoutChecked) {
      record.layoutChecked = true;
      record.initialText = WindowText(message->hwnd);
      record.owner = GetWindow(record.window, GW_OWNER);
      CheckLayout(record.window);
    }
  }
  return CallNextHookEx(beforeHook, code, wParam, lParam);
}

// Runs one export with prompts suppressed under the hooks.
int Export(SceneExport& exporter, cvm::HostScene& scene, const char* path, bool rejectCreation,
           Interface& app) {
  record = ProgressRecord();
  record.rejectCreation = rejectCreation;
  ExpInterface exportInterface;
  exportInterface.theScene = &scene;
  const DWORD thread = GetCurrentThreadId();
  cbtHook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, thread);
  textHook = SetWindowsHookExA(WH_CALLWNDPROCRET, TextHook, nullptr, thread);
  beforeHook = SetWindowsHookExA(WH_CALLWNDPROC, BeforeTextHook, nullptr, thread);
  const int result = exporter.DoExport(path, &exportInterface, &app, TRUE, 0);
  UnhookWindowsHookEx(beforeHook);
  UnhookWindowsHookEx(textHook);
  UnhookWindowsHookEx(cbtHook);
  return result;
}

}  // namespace

int main() {
  cvm::cvmhost::ExporterPlugin plugin = LoadPluginOrExit();
  hostWindow = CreateHostWindow();
  TestInterface app(hostWindow);
  SceneExport* exporter = cvm::cvmhost::CreateExporter(plugin);
  CHECK(exporter != nullptr);
  if (exporter == nullptr) return FinishChecks("progress_window_test");
  const char* output = "progress_window_test.cvm";
  const std::vector<std::string> sectionTexts = {"Exporting Lights\n", "Exporting Helpers\n",
                                                 "Exporting Splines\n"};

  // A scene of two lights: the window is made once, shows "Starting Export" until the light
  // section replaces it, receives each section's text and is gone when DoExport returns.
  LightScene lights(2);
  DeleteFileIfPresent(output);
  CHECK_EQ(Export(*exporter, lights, output, false, app), 1);
  CHECK_EQ(record.created, 1);
  CHECK_EQ(record.destroyed, 1);
  CHECK(record.window != nullptr && !IsWindow(record.window));
  CHECK(record.owner == hostWindow);
  CHECK(record.layoutChecked);
  CHECK_EQ(record.initialText, std::string("Starting Export"));
  CHECK(record.texts == sectionTexts);
  CHECK(record.imageSaved);
  const std::vector<uint8_t> withWindow = ReadFileBytes(output);
  CHECK(withWindow.size() > 20);

  // A window that cannot be created: the export runs to its end without it.
  DeleteFileIfPresent(output);
  CHECK_EQ(Export(*exporter, lights, output, true, app), 1);
  CHECK_EQ(record.created, 0);
  CHECK(record.texts.empty());
  CHECK(ReadFileBytes(output) == withWindow);

  // A file that cannot be opened: the window is still destroyed; with prompts suppressed no
  // box is shown (one would stop this thread in its modal loop).
  CHECK_EQ(Export(*exporter, lights, "no such folder/out.cvm", false, app), 0);
  CHECK_EQ(record.created, 1);
  CHECK_EQ(record.destroyed, 1);
  CHECK(record.window != nullptr && !IsWindow(record.window));

  delete exporter;
  DestroyWindow(hostWindow);
  cvm::cvmhost::UnloadExporterPlugin(plugin);
  return FinishChecks("progress_window_test");
}
