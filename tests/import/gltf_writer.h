// Tiny glTF 2.0 files for tests: triangles with positions (and optionally normals) per
// primitive, nodes with a matrix, materials by name, punctual lights and node extras.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace cvm::test {

struct GltfPrimitive {
  std::vector<std::array<float, 3>> positions;  // every three make a triangle (no indices)
  std::vector<std::array<float, 3>> normals;    // empty or one per position
  int material = -1;
  int mode = 4;  // 4 triangles, 0 points, 1 lines
};

struct GltfNode {
  std::string name;
  std::vector<GltfPrimitive> primitives;        // none: a node without a mesh
  std::optional<std::array<float, 16>> matrix;  // column-major, as glTF stores it
  std::string extrasJson;                       // e.g. {"note": "hello"}; empty for none
  int light = -1;                               // index into lightsJson
};

struct GltfScene {
  std::vector<GltfNode> nodes;  // all roots, in this order
  std::vector<std::string> materialNames;
  std::vector<std::string> lightsJson;  // KHR_lights_punctual light objects
};

// Writes dir/name.gltf and dir/name.bin; returns the .gltf path.
std::string WriteGltf(const std::string& dir, const std::string& name, const GltfScene& scene);

// Writes the same scene as one binary glTF, dir/name.glb; returns its path.
std::string WriteGlb(const std::string& dir, const std::string& name, const GltfScene& scene);

// The bytes of a binary glTF of a JSON text (padded with spaces) and a binary chunk (padded
// with zeros; none when empty), lengths as the container gives them.
std::vector<uint8_t> GlbBytes(const std::string& json, const std::vector<uint8_t>& binary);

}  // namespace cvm::test
