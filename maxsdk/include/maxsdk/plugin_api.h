// The plug-in interface version a library reports from LibVersion: the host loads only
// libraries built against its own release.
#pragma once

#include <windows.h>

constexpr ULONG VERSION_3DSMAX = 0x17700D00;  // release 6 plug-in interface
