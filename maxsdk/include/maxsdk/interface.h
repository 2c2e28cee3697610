// The host application as a plug-in sees it during a command. Only what exporters use.
#pragma once

#include <windows.h>

class Interface {
 public:
  virtual ~Interface() = default;
  // The application's main window; null when the host has none (a command-line host).
  virtual HWND GetMAXHWnd() = 0;
};
