// A glTF 2.0 document read for import: what its scene reaches, checked and resolved, with
// every accessor a view into the file's own bytes. Internal to the glTF importer (gltf_import.h).
//
// The document is read the way assimp's glTF 2 reader reads it, because the import must give
// exactly the scene that reader gives: objects are taken when the scene first reaches them
// (nodes before their meshes, children before their parents' meshes, cameras and lights), and
// materials, images and lights are numbered in that order. What the import does not take over
// exactly is refused with a reason, and the file is left to assimp.
#pragma once

#include <assimp/matrix4x4.h>
#include <assimp/vector3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/gltf_container.h"

namespace cvm::import {

constexpr int kGltfUnsignedByte = 5121;
constexpr int kGltfUnsignedShort = 5123;
constexpr int kGltfUnsignedInt = 5125;
constexpr int kGltfFloat = 5126;

// count elements of components values of componentType each, stride bytes apart from data,
// all inside their buffer view.
struct GltfAccessor {
  const unsigned char* data = nullptr;
  uint32_t count = 0;
  uint32_t stride = 0;
  int componentType = 0;
  int components = 0;
};

struct GltfPrimitive {
  uint32_t mode = 4;                    // 4 triangles; 0 points, 1 lines, 2 a line loop, 3 a line strip
  uint32_t faces = 0;                   // the triangles, points or lines of its corners
  GltfAccessor positions;               // VEC3 floats
  GltfAccessor normals;                 // VEC3 floats, as many as positions (triangles only)
  std::optional<GltfAccessor> uvs;      // TEXCOORD_0: VEC2 floats
  std::optional<GltfAccessor> colors;   // COLOR_0: VEC3 or VEC4 floats
  std::optional<GltfAccessor> indices;  // unsigned scalars; none: every three positions
  uint32_t material = 0;                // into GltfDocument::materials (the last is the default)
};

// A texture slot: the texture file's name, or an embedded image (numbered among the embedded
// images in the order they were first reached) with the image's own name.
struct GltfTextureRef {
  bool present = false;
  bool embedded = false;
  uint32_t embeddedIndex = 0;
  std::string fileName;
};

struct GltfMaterial {
  std::string name;
  float baseColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float emissive[3] = {0.0f, 0.0f, 0.0f};
  float roughness = 1.0f;
  bool doubleSided = false;
  GltfTextureRef baseColorTexture;
  GltfTextureRef emissiveTexture;
  GltfTextureRef normalTexture;
};

enum class GltfLightType { kDirectional, kPoint, kSpot };

struct GltfLight {
  GltfLightType type = GltfLightType::kPoint;
  float color[3] = {1.0f, 1.0f, 1.0f};
  float intensity = 1.0f;
};

struct GltfNode {
  std::string name;                       // the node's name, or "nodes[i]" without one
  aiMatrix4x4 local;                      // its transform in its parent
  std::optional<aiVector3D> translation;  // as given without a matrix
  int32_t mesh = -1;                      // into GltfDocument::meshes
  int32_t camera = -1;                    // in order first reached
  int32_t light = -1;                     // into GltfDocument::lights
  std::vector<uint32_t> children;         // into GltfDocument::nodes
  std::string userText;                   // from the node's extras (and a light's range)
};

struct GltfDocument {
  std::vector<GltfNode> nodes;  // by the file's node index; only those the scene reaches are read
  std::vector<uint32_t> roots;  // the scene's nodes
  std::vector<std::vector<GltfPrimitive>> meshes;  // by the file's mesh index
  std::vector<GltfMaterial> materials;             // in order first reached, then the default material
  std::vector<GltfLight> lights;                   // in order first reached
  uint32_t cameras = 0;
  uint32_t embeddedImages = 0;
};

// Gives the bytes of an external buffer by its URI (kept alive by the caller until the
// document is no longer used), or false with reason.
using GltfBufferLoader =
    std::function<bool(const std::string& uri, std::string_view& bytes, std::string& reason)>;

// Reads the document of container. False with refusal (what and where, e.g. "accessors[3]:
// sparse accessor") when the document holds anything the import does not take over exactly,
// which includes a reference out of range, a value of the wrong type and a node cycle;
// damaged when a buffer is shorter than its byteLength, a view lies outside its buffer or an
// accessor outside its view.
bool ReadGltfDocument(const GltfContainer& container, const GltfBufferLoader& loadBuffer, GltfDocument& out,
                      GltfRefusal& refusal);

}  // namespace cvm::import
