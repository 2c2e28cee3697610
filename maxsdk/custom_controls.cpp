#include "maxsdk/custom_controls.h"

#include "maxsdk/standin_counters.h"

void InitCustomControls(HINSTANCE /*hInst*/) {
  // The stand-in host has no custom controls of its own; the count lets tests see that a
  // plug-in initialises them once per load.
  ++maxstandin::initCustomControlsCount;
}

void CenterWindow(HWND hWndChild, HWND hWndParent) {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT over = work;
  if (hWndParent != nullptr) GetWindowRect(hWndParent, &over);
  RECT child{};
  if (!GetWindowRect(hWndChild, &child)) return;
  const LONG width = child.right - child.left;
  const LONG height = child.bottom - child.top;
  LONG x = over.left + ((over.right - over.left) - width) / 2;
  LONG y = over.top + ((over.bottom - over.top) - height) / 2;
  // A parent near a screen edge must not push the dialog out of reach.
  if (x + width > work.right) x = work.right - width;
  if (y + height > work.bottom) y = work.bottom - height;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(hWndChild, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
