// What the stand-in host records of the services plug-ins called, for tests. The real host
// has no such functions; nothing in a plug-in may call them.
#pragma once

#include "maxsdk/host_api.h"

struct MaxStandinAssertion {
  int line;
  char file[260];
};

MAXSDK_API int MaxStandinInitCustomControlsCount();
MAXSDK_API int MaxStandinAssertionCount();
// The last assertion raised; all zero when none was.
MAXSDK_API MaxStandinAssertion MaxStandinLastAssertion();
// Whether a raised assertion is also written to stderr (on by default).
MAXSDK_API void MaxStandinSetAssertionEcho(bool echo);
