// The host's geometry library: Point3, Matrix3 and the few operations on them that the
// exporter uses. The arithmetic is IEEE single precision with one rounding per operation,
// in the order written here (the build turns off floating-point contraction), because the
// bytes of exported normals and knots depend on it.
#pragma once

#include <cstdint>

namespace cvm {

struct Point3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

inline Point3 operator-(const Point3& a, const Point3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Point3 operator+(const Point3& a, const Point3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
// Component-wise unary minus: a zero component becomes -0.
inline Point3 operator-(const Point3& a) {
  return {-a.x, -a.y, -a.z};
}

// Cross product (y1*z2 - z1*y2, z1*x2 - x1*z2, x1*y2 - y1*x2).
inline Point3 CrossProd(const Point3& a, const Point3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Unit-length copy of p: l = sqrt((x*x + y*y) + z*z); a zero-length p is returned unchanged.
Point3 Normalize(const Point3& p);

// 4 x 3 transform: rows 0 to 2 are the X, Y and Z axes, row 3 the translation.
struct Matrix3 {
  Point3 row[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};

  void SetRow(int i, const Point3& p) { row[i] = p; }
  const Point3& GetRow(int i) const { return row[i]; }
};

// The host's only point transform, row-vector convention:
// component k = ((x*M[0][k] + y*M[1][k]) + z*M[2][k]) + M[3][k].
// Row 3 is always added, so a matrix whose row 3 was cleared still turns -0 into +0.
Point3 TransformPoint(const Matrix3& m, const Point3& p);

}  // namespace cvm
