// Linkage of the functions and classes that the host application itself provides to its
// plug-ins (they live in the host's SDK library, not in the plug-in).
#pragma once

#ifdef MAXSDK_BUILDING_HOST
#define MAXSDK_API __declspec(dllexport)
#else
#define MAXSDK_API __declspec(dllimport)
#endif
