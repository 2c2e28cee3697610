// The host's z-up points in the file's y-up frame: every position, pivot, axis and knot of
// the file is stored x, z, y (the field writers' WritePointXZY), so a record holds them so.
#pragma once

#include "format/records.h"
#include "host/geometry.h"

namespace cvm {

inline format::Vec3 ToFileAxes(const Point3& p) {
  return {p.x, p.z, p.y};
}

}  // namespace cvm
