// The message boxes: "No Data" when nothing qualifies and the failure box when the file
// cannot be written, each under the rules of "Show warning dialogs" and suppressed prompts.
// A watcher thread records and closes every box while the test thread sits in DoExport.
#include <windows.h>

#include <string>

#include "maxsdk/scene_export.h"
#include "resources/resource.h"
#include "tests/plugin/check.h"
#include "tests/plugin/light_scene.h"
#include "tests/plugin/window_probe.h"

using namespace cvm::wintest;

namespace {

constexpr const char* kDialogCaption = "Corvane CVM Exporter";
constexpr const char* kNoDataCaption = "No Data";
constexpr const char* kFailedCaption = "CVM Export Failed";
constexpr const char* kMissingFolderPath = "no such folder/out.cvm";
constexpr const char* kOutput = "message_box_test.cvm";

struct SeenBox {
  std::string caption;  // empty: no box appeared
  std::string text;
  HWND owner = nullptr;
  bool hasIcon = false;
  int buttons = 0;
};

// Reads a message box's text, icon and buttons, then presses its first button.
SeenBox ReadAndClose(HWND box) {
  SeenBox seen;
  seen.caption = WindowText(box);
  seen.owner = GetWindow(box, GW_OWNER);
  HWND firstButton = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string kind = WindowClass(child);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (_stricmp(kind.c_str(), "Button") == 0 && (style & WS_VISIBLE) != 0) {
      ++seen.buttons;
      if (firstButton == nullptr) firstButton = child;
    } else if (_stricmp(kind.c_str(), "Static") == 0 && (style & WS_VISIBLE) != 0) {
      if ((style & SS_TYPEMASK) == SS_ICON)
        seen.hasIcon = seen.hasIcon || SendMessageA(child, STM_GETICON, 0, 0) != 0;
      else if (!WindowText(child).empty())
        seen.text = WindowText(child);
    }
  }
  if (firstButton != nullptr)
    ClickButton(firstButton);
  else
    PostMessageA(box, WM_CLOSE, 0, 0);
  return seen;
}

// Waits for whichever box appears first, within timeoutMs.
SeenBox WatchForBox(DWORD timeoutMs) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        for (const char* caption : {kNoDataCaption, kFailedCaption}) {
          if ((box = WaitForWindow(caption, 0)) != nullptr) return true;
        }
        return false;
      },
      timeoutMs);
  return box != nullptr ? ReadAndClose(box) : SeenBox();
}

// Confirms the options dialog, first setting "Show warning dialogs" to warnings.
void ConfirmDialog(bool warnings) {
  HWND dialog = WaitForWindow(kDialogCaption);
  CHECK(dialog != nullptr);
  if (dialog == nullptr) return;
  if ((SendDlgItemMessageA(dialog, IDC_SHOW_WARNINGS, BM_GETCHECK, 0, 0) == BST_CHECKED) != warnings)
    ClickButton(GetDlgItem(dialog, IDC_SHOW_WARNINGS));
  ClickButton(GetDlgItem(dialog, IDC_EXPORT_NOW));
}

}  // namespace

int main() {
  cvm::cvmhost::ExporterPlugin plugin = LoadPluginOrExit();
  HWND host = CreateHostWindow();
  TestInterface app(host);
  SceneExport* exporter = cvm::cvmhost::CreateExporter(plugin);
  CHECK(exporter != nullptr);
  if (exporter == nullptr) return FinishChecks("message_box_test");
  LightScene empty(0);
  LightScene light(1);

  struct Row {
    const char* name;
    bool viaDialog;  // prompts on: the dialog is confirmed with "Show warning dialogs" = warnings
    bool warnings;   // the value in force (set by the last confirmed dialog)
    cvm::HostScene* scene;
    const char* path;
    int result;
    const char* box;  // caption of the box expected, or null
  };
  // In order: the option value carries over from row to row.
  const Row rows[] = {
      {"no data, prompts suppressed, defaults", false, true, &empty, kOutput, 1, kNoDataCaption},
      {"no data, dialog confirmed", true, true, &empty, kOutput, 1, kNoDataCaption},
      {"missing folder, dialog confirmed", true, true, &light, kMissingFolderPath, 0, kFailedCaption},
      {"missing folder, prompts suppressed", false, true, &light, kMissingFolderPath, 0, nullptr},
      {"no data, warnings switched off", true, false, &empty, kOutput, 1, nullptr},
      {"no data, prompts suppressed, warnings off", false, false, &empty, kOutput, 1, nullptr},
      {"missing folder, warnings off", true, false, &light, kMissingFolderPath, 0, nullptr},
      {"written, warnings back on", true, true, &light, kOutput, 1, nullptr},
  };
  for (const Row& row : rows) {
    DeleteFileIfPresent(kOutput);
    ExpInterface exportInterface;
    exportInterface.theScene = row.scene;
    int result = -99;
    SeenBox seen;
    RunDriven(
        [&] {
          result = exporter->DoExport(row.path, &exportInterface, &app, row.viaDialog ? FALSE : TRUE, 0);
        },
        [&] {
          if (row.viaDialog) ConfirmDialog(row.warnings);
          seen = WatchForBox(row.box != nullptr ? 10000 : 1000);
        });
    PumpMessages();
    CHECK_EQ_AT(result, row.result, row.name);
    CHECK_EQ_AT(seen.caption, std::string(row.box != nullptr ? row.box : ""), row.name);
    CHECK_EQ_AT(FileExists(kOutput), row.path == kOutput && row.scene == &light, row.name);
    if (row.box == kNoDataCaption) {
      CHECK_EQ_AT(seen.text, std::string("No Data to Export."), row.name);
      CHECK_EQ_AT(seen.hasIcon, false, row.name);
      CHECK_EQ_AT(seen.buttons, 1, row.name);
      CHECK_EQ_AT(seen.owner == host, true, row.name);
    } else if (row.box == kFailedCaption) {
      CHECK_EQ_AT(seen.text.find("no such folder") != std::string::npos, true, row.name + (": " + seen.text));
      CHECK_EQ_AT(seen.hasIcon, true, row.name);
      CHECK_EQ_AT(seen.buttons, 1, row.name);
      CHECK_EQ_AT(seen.owner == host, true, row.name);
    }
  }

  delete exporter;
  DestroyWindow(host);
  cvm::cvmhost::UnloadExporterPlugin(plugin);
  return FinishChecks("message_box_test");
}
