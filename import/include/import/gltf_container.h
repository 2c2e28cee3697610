// The bytes of a glTF 2.0 file as its reader sees them (the file mapped into memory,
// files::MappedFile), split into its JSON text and, for a binary glTF (GLB), its binary chunk.
// Nothing is copied: every view points into the mapped file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cvm::import {

// The JSON text and the binary chunk of a glTF file.
struct GltfContainer {
  std::string_view json;
  std::string_view binary;  // the GLB's BIN chunk; empty without one
  bool isGlb = false;
};

// Why a file is not read here: what and where, and whether the file is damaged (its own
// numbers contradict it: a chunk, view or accessor reaching past the bytes it lies in), which
// no reader can take as it stands, or merely holds what is left to assimp.
struct GltfRefusal {
  std::string reason;
  bool damaged = false;
};

// True when bytes start like a binary glTF: "glTF" (any version; SplitGltfContainer checks it).
bool LooksLikeGlb(std::string_view bytes);

// Splits a GLB (when LooksLikeGlb) or takes a .gltf's bytes as its JSON text. A GLB must be
// version 2, as long as its header says, with a JSON chunk first and at most a BIN chunk after
// it, every chunk inside the file. False with refusal naming what is wrong and at which byte
// offset otherwise; damaged when a chunk runs past the end of the file.
bool SplitGltfContainer(std::string_view bytes, GltfContainer& out, GltfRefusal& refusal);

// The unsigned little-endian integers and floats of a glTF buffer, wherever they lie.
inline uint32_t ReadLe32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t ReadLe16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
float ReadLeFloat(const unsigned char* p);

}  // namespace cvm::import
