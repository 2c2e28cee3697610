// The rules a SceneModel must satisfy before StandinScene serves it.
#pragma once

#include <string>

#include "standin/scene_model.h"

namespace cvm::standin {

// Checks what the host access layer relies on and the document format requires of the data
// once it is parsed: every vertex, texture-vertex, colour, material and texmap index in range;
// tvFaces, colors.faces and explicit normals with one entry per face or vertex; at most 255
// normal entries per vertex and at least one when specified; counts that fit the interfaces'
// 32-bit (16-bit for parameters) counts; no material that is its own sub-material, directly
// or through others. Returns true when all hold; otherwise false and error = the first
// violation, starting with its document path (e.g. "nodes[3].object.faces[17][2]: ...").
bool ValidateSceneModel(const SceneModel& model, std::string& error);

}  // namespace cvm::standin
