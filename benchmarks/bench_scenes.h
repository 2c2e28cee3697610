// The scenes the benchmark exports, built in memory as stand-in scene models: one mesh node
// each, no material, a node transform that rotates, scales and moves (so every position goes
// through real arithmetic). No value has a NaN or a -0, so sorting with CornerRecordGreater is
// well defined and the literal baseline must give the exporter's bytes exactly.
#pragma once

#include <cstdint>
#include <string>

#include "standin/scene_model.h"

namespace cvm::bench {

enum class BenchShape {
  // A torus grid of shared vertices in 8 bands of smoothing groups (adjacent bands share no
  // group, so their borders are creases), texture coordinates with seams where the grid wraps,
  // and one colour per corner (colours are written only when every corner has one).
  kSmooth,
  // The same grid with smoothing group 0 everywhere (every corner takes its face's normal),
  // texture coordinates, no colours.
  kFaceted,
};

const char* ShapeName(BenchShape shape);

// A scene whose one mesh has close to faceCount faces (2 per grid cell; the grid's sides are
// divisors of faceCount / 2 where one exists, so 10K, 100K and 1M come out exact).
standin::SceneModel MakeBenchScene(BenchShape shape, uint32_t faceCount);

}  // namespace cvm::bench
