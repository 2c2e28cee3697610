// The stand-in host's records of plug-in calls (see standin_diagnostics.h). Plug-ins call
// on the host's user-interface thread only, so plain counters do.
#pragma once

#include "maxsdk/standin_diagnostics.h"

namespace maxstandin {

extern int initCustomControlsCount;
extern int assertionCount;
extern MaxStandinAssertion lastAssertion;
extern bool echoAssertions;

}  // namespace maxstandin
