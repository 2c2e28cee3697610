// The host's assertion: reports a failed check with its source file and line and lets the
// caller go on (the host decides whether to break, log or ignore).
#pragma once

#include "maxsdk/host_api.h"

MAXSDK_API int assert1(int line, const char* file);
