#include "host/geometry.h"

#include <cmath>

namespace cvm {

Point3 Normalize(const Point3& p) {
  const float l = std::sqrt((p.x * p.x + p.y * p.y) + p.z * p.z);
  if (l == 0.0f) return p;
  return {p.x / l, p.y / l, p.z / l};
}

Point3 TransformPoint(const Matrix3& m, const Point3& p) {
  const Point3* r = m.row;
  return {((p.x * r[0].x + p.y * r[1].x) + p.z * r[2].x) + r[3].x,
          ((p.x * r[0].y + p.y * r[1].y) + p.z * r[2].y) + r[3].y,
          ((p.x * r[0].z + p.y * r[1].z) + p.z * r[2].z) + r[3].z};
}

}  // namespace cvm
