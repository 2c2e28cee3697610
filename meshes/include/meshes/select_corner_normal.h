// Which of the host's normals a face corner gets.
#pragma once

#include <cstdint>

#include "host/host_scene.h"

namespace cvm {

// Where a face corner's normal comes from: its vertex's own (primary) normal, its face's
// normal, or one of its vertex's further normals (rv.ern[further]).
enum class NormalSource : uint8_t { kVertex, kFace, kFurther };
struct NormalChoice {
  NormalSource source;
  uint32_t further;  // kFurther only
};

// The normal of a face corner whose vertex has the render normals rv, on a face with the
// smoothing mask smoothing. Rules, in order: the specified normal (0x4000) when set; the face
// normal when rv has no normal or smoothing is 0; rv's only normal when it has one; else the
// first further normal that shares a smoothing bit with smoothing, and the face normal when
// none does.
inline NormalChoice ChooseCornerNormal(const RVertex& rv, uint32_t smoothing) {
  if (rv.rFlags & kRVertexSpecifiedNormal) return {NormalSource::kVertex, 0};
  const uint32_t count = rv.rFlags & kRVertexNormalCountMask;
  if (count == 0 || smoothing == 0) return {NormalSource::kFace, 0};
  if (count == 1) return {NormalSource::kVertex, 0};
  if (rv.ern != nullptr) {
    for (uint32_t k = 0; k < count; ++k)
      if (rv.ern[k].smGroup & smoothing) return {NormalSource::kFurther, k};
  }
  // No normal of this vertex serves the face's smoothing groups: the face is flat here.
  return {NormalSource::kFace, 0};
}

// The normal that choice names, in the host's object space (not transformed); faceNormal is
// read only when choice names the face's.
inline const Point3& ChosenNormal(const RVertex& rv, const NormalChoice& choice, const Point3* faceNormal) {
  switch (choice.source) {
    case NormalSource::kVertex:
      return rv.primaryNormal;
    case NormalSource::kFace:
      return *faceNormal;
    case NormalSource::kFurther:
      break;
  }
  return rv.ern[choice.further].normal;
}

// The normal ChooseCornerNormal picks.
inline const Point3& SelectCornerNormal(const RVertex& rv, uint32_t smoothing, const Point3& faceNormal) {
  return ChosenNormal(rv, ChooseCornerNormal(rv, smoothing), &faceNormal);
}

// The same for face f's corner at vertex j of mesh. Needs the mesh's face and render normals
// (after buildNormals), f < face count and j < vertex count.
Point3 SelectCornerNormal(const HostMesh& mesh, uint32_t f, uint32_t j);

}  // namespace cvm
