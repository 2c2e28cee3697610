// Random scenes of every kind within sane bounds, reproducible from a seed on every platform
// (the generator draws from mt19937's raw output only, never from the library's
// implementation-defined distributions).
#pragma once

#include <cstdint>

#include "standin/scene_model.h"

namespace cvm::test {

// A scene of 1 to 14 nodes: meshes (with and without texture coordinates, colours, explicit
// normals; several smoothing groups and material ids; native or converted), shapes (open and
// closed splines, native or converted, some also convertible to meshes), lights with any type
// code, helpers of both accepted classes and of another class, cameras; hidden and selected
// nodes, user texts. Materials include multi- and shell materials, bitmap and other maps on
// random slots with switched-on and -off slots, and "CV Mat" attributes. The model passes
// ValidateSceneModel. No value is NaN or infinite.
standin::SceneModel RandomScene(uint32_t seed);

}  // namespace cvm::test
