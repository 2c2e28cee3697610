// Class identifiers of the host: a plug-in class is named by a two-word Class_ID and belongs
// to a super class (what kind of plug-in it is).
#pragma once

#include <windows.h>

using SClass_ID = ULONG;

// Super class of scene exporters.
constexpr SClass_ID SCENE_EXPORT_CLASS_ID = 0xA20;

class Class_ID {
 public:
  constexpr Class_ID() = default;
  constexpr Class_ID(ULONG aa, ULONG bb) : a(aa), b(bb) {}
  constexpr ULONG PartA() const { return a; }
  constexpr ULONG PartB() const { return b; }
  constexpr bool operator==(const Class_ID& other) const { return a == other.a && b == other.b; }
  constexpr bool operator!=(const Class_ID& other) const { return !(*this == other); }

 private:
  ULONG a = 0xFFFFFFFF;
  ULONG b = 0xFFFFFFFF;
};
