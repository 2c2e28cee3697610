// The library's process-wide state: its module handle and its string resources.
#pragma once

#include <windows.h>

// The module handle stored by the entry point; null before the first call.
HINSTANCE ModuleInstance();
void StoreModuleInstance(HINSTANCE instance);

// String table entry id, or null when the module handle is not stored yet or the entry is
// missing or empty. All calls share one 256-byte buffer: each call overwrites the text the
// previous one returned, so a caller that needs two strings at once copies the first.
const char* LoadResourceString(int id);
