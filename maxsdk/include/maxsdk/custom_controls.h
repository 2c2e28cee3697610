// User-interface services of the host for plug-in dialogs.
#pragma once

#include <windows.h>

#include "maxsdk/host_api.h"

// Registers the host's custom control classes for dialogs of the module hInst.
MAXSDK_API void InitCustomControls(HINSTANCE hInst);

// Moves hWndChild so that its centre is the centre of hWndParent (of the work area when
// hWndParent is null), kept inside the work area.
MAXSDK_API void CenterWindow(HWND hWndChild, HWND hWndParent);
