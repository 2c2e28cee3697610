#include "import/gltf_container.h"

#include <cstring>

namespace cvm::import {

bool LooksLikeGlb(std::string_view bytes) {
  return bytes.substr(0, 4) == "glTF";
}

float ReadLeFloat(const unsigned char* p) {
  const uint32_t bits = ReadLe32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool SplitGltfContainer(std::string_view bytes, GltfContainer& out, GltfRefusal& refusal) {
  std::string& reason = refusal.reason;
  out = GltfContainer();
  if (!LooksLikeGlb(bytes)) {
    out.json = bytes;
    return true;
  }
  out.isGlb = true;
  constexpr uint32_t kJsonChunk = 0x4E4F534A;
  constexpr uint32_t kBinChunk = 0x004E4942;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < 20) {
    refusal.damaged = true;
    reason =
        "GLB of " + std::to_string(bytes.size()) + " bytes: shorter than its header and first chunk header";
    return false;
  }
  if (ReadLe32(p + 4) != 2) {
    reason = "GLB version " + std::to_string(ReadLe32(p + 4)) + " at byte 4 (only version 2 is read here)";
    return false;
  }
  if (ReadLe32(p + 8) != bytes.size()) {
    reason = "GLB header at byte 8 gives a length of " + std::to_string(ReadLe32(p + 8)) +
             " bytes, the file has " + std::to_string(bytes.size());
    return false;
  }
  const uint64_t jsonLength = ReadLe32(p + 12);
  if (ReadLe32(p + 16) != kJsonChunk) {
    reason = "GLB chunk at byte 12 is not the JSON chunk";
    return false;
  }
  if (20 + jsonLength > bytes.size()) {
    refusal.damaged = true;
    reason =
        "GLB JSON chunk at byte 12 of " + std::to_string(jsonLength) + " bytes runs past the end of the file";
    return false;
  }
  out.json = bytes.substr(20, jsonLength);
  // Chunks start on 4-byte boundaries.
  const uint64_t next = 20 + ((jsonLength + 3) & ~uint64_t{3});
  if (next >= bytes.size()) return true;
  if (next + 8 > bytes.size()) {
    refusal.damaged = true;
    reason = "GLB chunk header at byte " + std::to_string(next) + " is cut short";
    return false;
  }
  const uint64_t binLength = ReadLe32(p + next);
  if (ReadLe32(p + next + 4) != kBinChunk) {
    reason = "GLB chunk at byte " + std::to_string(next) + " is not a BIN chunk";
    return false;
  }
  if (next + 8 + binLength > bytes.size()) {
    refusal.damaged = true;
    reason = "GLB BIN chunk at byte " + std::to_string(next) + " of " + std::to_string(binLength) +
             " bytes runs past the end of the file";
    return false;
  }
  out.binary = bytes.substr(next + 8, binLength);
  const uint64_t end = next + 8 + ((binLength + 3) & ~uint64_t{3});
  if (end < bytes.size()) {
    reason = "GLB holds more chunks after the BIN chunk (from byte " + std::to_string(end) + ")";
    return false;
  }
  return true;
}

}  // namespace cvm::import
