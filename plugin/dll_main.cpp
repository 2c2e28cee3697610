// The library's entry point.
// windows.h must come first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "maxsdk/custom_controls.h"
#include "plugin/module_state.h"

namespace {

bool controlsInitialised = false;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  StoreModuleInstance(instance);
  // The host's custom controls and the common controls are registered once per load, not
  // again on thread attach or detach.
  if (!controlsInitialised) {
    controlsInitialised = true;
    InitCustomControls(instance);
    InitCommonControls();
  }
  return TRUE;
}
