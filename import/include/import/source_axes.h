// From assimp's right-handed y-up frame to the host's right-handed z-up frame: a quarter turn
// about x, (x, y, z) -> (x, -z, y). A rotation, so winding and handedness are kept.
#pragma once

#include <assimp/matrix4x4.h>
#include <assimp/vector3.h>

#include "host/geometry.h"

namespace cvm::import {

inline Point3 ToPoint3(const aiVector3D& v) {
  return {v.x, v.y, v.z};
}

// The host transform of a node whose world transform (assimp's column-vector matrix, source
// axes) is world: the world transform followed by the turn upright. Host rows 0 to 2 are the
// images of the object's axes, row 3 the image of its origin. 0 - z rather than -z: a zero
// stays +0, so unmoved nodes do not write -0.
inline Matrix3 HostTransform(const aiMatrix4x4& world) {
  Matrix3 m;
  for (int k = 0; k < 4; ++k) {
    const float* column[3] = {&world.a1, &world.b1, &world.c1};  // rows x, y, z of the source
    m.row[k] = {column[0][k], 0.0f - column[2][k], column[1][k]};
  }
  return m;
}

}  // namespace cvm::import
