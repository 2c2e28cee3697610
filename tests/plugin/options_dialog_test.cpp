// The options dialog driven for real: a second thread reads and operates the dialog while
// the test thread is inside the plug-in's DoExport. The scenarios run in order, because
// the plug-in keeps its option values from one export to the next.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "maxsdk/scene_export.h"
#include "resources/resource.h"
#include "tests/plugin/check.h"
#include "tests/plugin/light_scene.h"
#include "tests/plugin/window_probe.h"

using namespace cvm::wintest;

namespace {

constexpr const char* kCaption = "Corvane CVM Exporter";
constexpr const char* kOutput = "options_dialog_test.cvm";

enum class Kind { kCheckBox, kDefaultButton, kButton, kEdit, kLabel };

struct ControlRow {
  int id;  // -1: the label, which has no id of its own
  Kind kind;
  const char* text;
  int x, y, width, height;
};

// The dialog's controls in tab order, positions in dialog units.
const ControlRow kControls[] = {
    {IDC_SHOW_WARNINGS, Kind::kCheckBox, "Show warning dialogs", 9, 34, 83, 10},
    {IDC_EXPORT_NOW, Kind::kDefaultButton, "Export Now", 69, 57, 50, 14},
    {IDC_CANCEL_EXPORT, Kind::kButton, "Cancel", 124, 57, 50, 14},
    {IDC_SCALE, Kind::kEdit, nullptr, 34, 9, 34, 14},
    {-1, Kind::kLabel, "Scale", 7, 12, 19, 8},
    {IDC_EXPORT_NORMALS, Kind::kCheckBox, "Export Normals", 91, 11, 63, 10},
    {IDC_PRESERVE_VERTEX_ORDERING, Kind::kCheckBox, "Preserve Vertex Ordering (for morphing)", 91, 23, 139,
     10},
    {IDC_MERGE_VERTICES, Kind::kCheckBox, "Merge Vertices", 106, 33, 63, 10},
};

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckControl(HWND control, const ControlRow& row) {
  const std::string name = row.text != nullptr ? row.text : "edit " + std::to_string(row.id);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  const LONG exStyle = GetWindowLongA(control, GWL_EXSTYLE);
  if (row.id >= 0) CHECK_EQ_AT(GetDlgCtrlID(control), row.id, name);
  if (row.text != nullptr) CHECK_EQ_AT(WindowText(control), std::string(row.text), name);
  CHECK_EQ_AT((style & WS_TABSTOP) != 0, row.kind != Kind::kLabel, name + ": tab stop");
  CHECK_EQ_AT((style & WS_VISIBLE) != 0, true, name + ": visible");
  switch (row.kind) {
    case Kind::kCheckBox:
    case Kind::kDefaultButton:
    case Kind::kButton: {
      CHECK_EQ_AT(_stricmp(WindowClass(control).c_str(), "Button"), 0, name + ": class");
      const LONG type = style & BS_TYPEMASK;
      const LONG want = row.kind == Kind::kCheckBox        ? BS_AUTOCHECKBOX
                        : row.kind == Kind::kDefaultButton ? BS_DEFPUSHBUTTON
                                                           : BS_PUSHBUTTON;
      CHECK_EQ_AT(type, want, name + ": button kind");
      break;
    }
    case Kind::kEdit:
      CHECK_EQ_AT(_stricmp(WindowClass(control).c_str(), "Edit"), 0, name + ": class");
      CHECK_EQ_AT((style & ES_AUTOHSCROLL) != 0, true, name + ": automatic horizontal scroll");
      // The dialog manager shows a bordered edit box with a sunken client edge.
      CHECK_EQ_AT((style & WS_BORDER) != 0 || (exStyle & WS_EX_CLIENTEDGE) != 0, true, name + ": border");
      break;
    case Kind::kLabel:
      CHECK_EQ_AT(_stricmp(WindowClass(control).c_str(), "Static"), 0, name + ": class");
      CHECK_EQ_AT(style & SS_TYPEMASK, SS_LEFT, name + ": left-aligned text");
      CHECK_EQ_AT((style & WS_GROUP) != 0, true, name + ": starts a group");
      break;
  }
  const RECT want = DialogUnitRect(GetParent(control), row.x, row.y, row.width, row.height);
  CHECK_EQ_AT(RectText(ChildRect(control)), RectText(want), name + ": rectangle");
}

void CheckLayout(HWND dialog, HWND host) {
  CHECK_EQ(WindowText(dialog), std::string(kCaption));
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  for (LONG bit : {LONG(WS_POPUP), LONG(WS_VISIBLE), LONG(WS_CAPTION), LONG(DS_MODALFRAME), LONG(DS_SETFONT)})
    CHECK_EQ_AT(style & bit, bit, "dialog style bit " + std::to_string(bit));
  CHECK_EQ(style & WS_SYSMENU, 0);
  CHECK((GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0);
  CHECK(GetWindow(dialog, GW_OWNER) == host);

  RECT client{};
  GetClientRect(dialog, &client);
  const RECT size = DialogUnitRect(dialog, 0, 0, 237, 87);
  CHECK_EQ(RectText(client), RectText(size));

  // Centred over the host window.
  RECT d{}, h{};
  GetWindowRect(dialog, &d);
  GetWindowRect(host, &h);
  CHECK(std::abs((d.left + d.right) - (h.left + h.right)) <= 2);
  CHECK(std::abs((d.top + d.bottom) - (h.top + h.bottom)) <= 2);

  // Children in creation order are the tab order.
  HWND child = GetWindow(dialog, GW_CHILD);
  for (const ControlRow& row : kControls) {
    CHECK(child != nullptr);
    if (child == nullptr) return;
    CheckControl(child, row);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  CHECK(child == nullptr);
}

// The dialog's values: scale text and the four boxes; "Merge Vertices" is enabled exactly
// when "Preserve Vertex Ordering (for morphing)" is checked.
void CheckValues(HWND dialog, const char* scale, bool warnings, bool normals, bool preserve, bool merge,
                 const std::string& context) {
  CHECK_EQ_AT(WindowText(GetDlgItem(dialog, IDC_SCALE)), std::string(scale), context);
  CHECK_EQ_AT(IsChecked(dialog, IDC_SHOW_WARNINGS), warnings, context + ": Show warning dialogs");
  CHECK_EQ_AT(IsChecked(dialog, IDC_EXPORT_NORMALS), normals, context + ": Export Normals");
  CHECK_EQ_AT(IsChecked(dialog, IDC_PRESERVE_VERTEX_ORDERING), preserve,
              context + ": Preserve Vertex Ordering");
  CHECK_EQ_AT(IsChecked(dialog, IDC_MERGE_VERTICES), merge, context + ": Merge Vertices");
  CHECK_EQ_AT(IsWindowEnabled(GetDlgItem(dialog, IDC_MERGE_VERTICES)) != 0, preserve,
              context + ": Merge Vertices enabled");
}

bool MergeEnabled(HWND dialog) {
  return IsWindowEnabled(GetDlgItem(dialog, IDC_MERGE_VERTICES)) != 0;
}

// The header's first field, the scale, as bytes.
std::string ScaleBytes() {
  return HexBytes(ReadFileBytes(kOutput), 0, 4);
}

HHOOK rejectHook = nullptr;

LRESULT CALLBACK RejectOptionsDialog(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if (HIWORD(reinterpret_cast<UINT_PTR>(create->lpszName)) != 0 &&
        std::strcmp(create->lpszName, kCaption) == 0)
      return 1;
  }
  return CallNextHookEx(rejectHook, code, wParam, lParam);
}

}  // namespace

int main() {
  cvm::cvmhost::ExporterPlugin plugin = LoadPluginOrExit();
  HWND host = CreateHostWindow();
  TestInterface app(host);
  LightScene scene(1);
  ExpInterface exportInterface;
  exportInterface.theScene = &scene;
  SceneExport* exporter = cvm::cvmhost::CreateExporter(plugin);
  CHECK(exporter != nullptr);
  if (exporter == nullptr) return FinishChecks("options_dialog_test");
  CommandLog commands;
  const DWORD testThread = GetCurrentThreadId();

  int scenario = 0;
  auto exportWith = [&](BOOL suppressPrompts, const std::function<void()>& drive) {
    std::fprintf(stderr, "scenario %d\n", ++scenario);
    DeleteFileIfPresent(kOutput);
    int result = -99;
    RunDriven([&] { result = exporter->DoExport(kOutput, &exportInterface, &app, suppressPrompts, 0); },
              drive);
    PumpMessages();
    return result;
  };

  // The defaults, the layout, the live link between the two vertex boxes, then Cancel.
  int result = exportWith(FALSE, [&] {
    HWND dialog = WaitForWindow(kCaption);
    CHECK(dialog != nullptr);
    if (dialog == nullptr) return;
    CHECK(WaitUntil([&] { return FocusOfThread(testThread) == GetDlgItem(dialog, IDC_EXPORT_NOW); }));
    CheckLayout(dialog, host);
    CheckValues(dialog, "1", true, true, false, true, "defaults");
    Sleep(300);  // let the dialog's thread paint before the screen is copied
    CHECK(SaveWindowImage(dialog, "screenshots/options_dialog.bmp", true));
    HWND preserve = GetDlgItem(dialog, IDC_PRESERVE_VERTEX_ORDERING);
    ClickButton(preserve);
    CHECK(IsChecked(dialog, IDC_PRESERVE_VERTEX_ORDERING) && MergeEnabled(dialog));
    ClickButton(preserve);
    CHECK(!IsChecked(dialog, IDC_PRESERVE_VERTEX_ORDERING) && !MergeEnabled(dialog));
    ClickButton(preserve);
    CHECK(MergeEnabled(dialog));
    ClickButton(GetDlgItem(dialog, IDC_CANCEL_EXPORT));
  });
  CHECK_EQ(result, 2);
  CHECK(!FileExists(kOutput));

  // The cancelled "Preserve Vertex Ordering" change was kept. Escape and notifications
  // other than clicks leave the dialog open; Enter presses "Export Now" with 0.5 entered.
  result = exportWith(FALSE, [&] {
    HWND dialog = WaitForWindow(kCaption);
    CHECK(dialog != nullptr);
    if (dialog == nullptr) return;
    CheckValues(dialog, "1", true, true, true, true, "after a cancelled change");
    CHECK(WaitUntil([&] { return FocusOfThread(testThread) != nullptr; }));
    CommandLog::Clear();
    PostKey(FocusOfThread(testThread), VK_ESCAPE);
    CHECK(WaitUntil([&] { return CommandLog::Seen(dialog, IDCANCEL, 0); }));
    CHECK(IsWindowVisible(dialog));
    for (int id : {IDC_CANCEL_EXPORT, IDC_EXPORT_NOW})
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_SETFOCUS),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    CHECK(IsWindowVisible(dialog));
    ClickButton(GetDlgItem(dialog, IDC_PRESERVE_VERTEX_ORDERING));
    CHECK(!MergeEnabled(dialog));
    SetWindowTextA(GetDlgItem(dialog, IDC_SCALE), "0.5");
    PostKey(FocusOfThread(testThread), VK_RETURN);
    CHECK(WaitUntil([&] { return !IsWindowVisible(dialog); }));
  });
  CHECK_EQ(result, 1);
  CHECK_EQ(ScaleBytes(), std::string("00 00 00 3F"));
  CHECK_EQ(HexBytes(ReadFileBytes(kOutput), 4, 16),
           std::string("00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00"));

  // The confirmed values come back; closing the window stores nothing.
  result = exportWith(FALSE, [&] {
    HWND dialog = WaitForWindow(kCaption);
    CHECK(dialog != nullptr);
    if (dialog == nullptr) return;
    CheckValues(dialog, "0.5", true, true, false, true, "after 0.5 confirmed");
    ClickButton(GetDlgItem(dialog, IDC_EXPORT_NORMALS));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    CHECK(WaitUntil([&] { return !IsWindowVisible(dialog); }));
  });
  CHECK_EQ(result, 2);
  CHECK(!FileExists(kOutput));

  // With prompts suppressed no dialog appears and the last confirmed values are used.
  result = exportWith(TRUE, [&] { CHECK(WaitForWindow(kCaption, 500) == nullptr); });
  CHECK_EQ(result, 1);
  CHECK_EQ(ScaleBytes(), std::string("00 00 00 3F"));

  // A scale text with a numeric beginning gives that number; a disabled "Merge Vertices"
  // keeps its mark and the mark is stored.
  result = exportWith(FALSE, [&] {
    HWND dialog = WaitForWindow(kCaption);
    CHECK(dialog != nullptr);
    if (dialog == nullptr) return;
    CheckValues(dialog, "0.5", true, true, false, true, "after a closed dialog");
    SendDlgItemMessageA(dialog, IDC_MERGE_VERTICES, BM_SETCHECK, BST_UNCHECKED, 0);
    SetWindowTextA(GetDlgItem(dialog, IDC_SCALE), "2.5cm");
    ClickButton(GetDlgItem(dialog, IDC_EXPORT_NOW));
  });
  CHECK_EQ(result, 1);
  CHECK_EQ(ScaleBytes(), std::string("00 00 20 40"));
  result = exportWith(FALSE, [&] {
    HWND dialog = WaitForWindow(kCaption);
    CHECK(dialog != nullptr);
    if (dialog == nullptr) return;
    CheckValues(dialog, "2.5", true, true, false, false, "after 2.5cm confirmed");
    ClickButton(GetDlgItem(dialog, IDC_CANCEL_EXPORT));
  });
  CHECK_EQ(result, 2);

  // A dialog that cannot be created counts as cancelled.
  rejectHook = SetWindowsHookExA(WH_CBT, RejectOptionsDialog, nullptr, GetCurrentThreadId());
  result = exportWith(FALSE, [] {});
  UnhookWindowsHookEx(rejectHook);
  CHECK_EQ(result, 2);
  CHECK(!FileExists(kOutput));

  delete exporter;
  DestroyWindow(host);
  cvm::cvmhost::UnloadExporterPlugin(plugin);
  return FinishChecks("options_dialog_test");
}
