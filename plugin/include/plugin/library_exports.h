// The library's exported functions, by which the host lists its classes. The names are
// exported undecorated (ExportCVM.def); hosts resolve them with GetProcAddress.
#pragma once

#include <windows.h>

#include "maxsdk/class_desc.h"

extern "C" {

// "CVM Exporter", or null when the string resource cannot be loaded.
const char* LibDescription();
int LibNumberClasses();
// The library's class descriptor for i == 0, null for any other i.
ClassDesc* LibClassDesc(int i);
// The plug-in interface version the library was built for (VERSION_3DSMAX).
ULONG LibVersion();
// 1: the host may defer loading the library until its classes are needed.
ULONG CanAutoDefer();

}  // extern "C"

// Signatures for hosts that resolve the functions by name.
using LibDescriptionProc = const char* (*)();
using LibNumberClassesProc = int (*)();
using LibClassDescProc = ClassDesc* (*)(int);
using LibVersionProc = ULONG (*)();
using CanAutoDeferProc = ULONG (*)();
