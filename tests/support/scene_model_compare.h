// Field-by-field comparison of two scene models (round-trip tests, --dump-scene checks).
#pragma once

#include <string>

#include "standin/scene_model.h"

namespace cvm::standin {

// Empty when a and b hold the same data; otherwise the document path of the first field that
// differs, e.g. "nodes[0].object.vertices[2][1]". Floats are the same when their bits are
// equal or both are NaN (so -0 and +0 differ, and any NaN matches any NaN, as the document
// keeps no NaN payload). Every member the scene serves is compared: of an object only the
// members of its kind, of a param only the value of its type. The low 16 bits of face flags
// are compared too, although a document does not keep them.
std::string SceneModelDifference(const SceneModel& a, const SceneModel& b);

inline bool SameSceneModel(const SceneModel& a, const SceneModel& b) {
  return SceneModelDifference(a, b).empty();
}

}  // namespace cvm::standin
