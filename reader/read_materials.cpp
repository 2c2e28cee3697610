#include <string>

#include "reader/read_sections.h"

namespace cvm::reader {
namespace {

bool ReadUvAnimation(ByteCursor& c, const char* flagField, const char* valueField,
                     std::optional<CvmUvAnimation>& out) {
  bool present = false;
  if (!ReadFlag(c, 4, flagField, present)) return false;
  if (!present) return true;
  CvmUvAnimation uv;
  if (!Need(c, 8, valueField)) return false;
  ReadF32(c, valueField, uv.u);
  ReadF32(c, valueField, uv.v);
  out = uv;
  return true;
}

bool ReadFrameAnimation(ByteCursor& c, const char* flagField, const char* valueField,
                        std::optional<CvmFrameAnimation>& out) {
  bool present = false;
  if (!ReadFlag(c, 4, flagField, present)) return false;
  if (!present) return true;
  CvmFrameAnimation frames;
  if (!Need(c, 8, valueField)) return false;
  ReadU16(c, valueField, frames.hf);
  ReadU16(c, valueField, frames.vf);
  ReadF32(c, valueField, frames.time);
  out = frames;
  return true;
}

bool ReadEngineSettings(ByteCursor& c, CvmEngineSettings& engine) {
  if (!ReadU32(c, "collideable", engine.collideable) || !ReadU32(c, "visible", engine.visible) ||
      !ReadU32(c, "data id", engine.dataId)) {
    return false;
  }
  bool hasColorKey = false;
  if (!ReadFlag(c, 4, "colour key flag", hasColorKey)) return false;
  if (hasColorKey) {
    Color16 key;
    if (!ReadColor16(c, "colour key", key)) return false;
    engine.colorKey = key;
  }
  return ReadUvAnimation(c, "U/V 1 flag", "U/V 1", engine.uv1) &&
         ReadFrameAnimation(c, "HF/VF 1 flag", "HF/VF 1", engine.frames1) &&
         ReadUvAnimation(c, "U/V 2 flag", "U/V 2", engine.uv2) &&
         ReadFrameAnimation(c, "HF/VF 2 flag", "HF/VF 2", engine.frames2) &&
         ReadU32(c, "render last", engine.renderLast) && ReadU32(c, "render first", engine.renderFirst);
}

bool ReadMaterialRecord(ByteCursor& c, size_t position, size_t textureCount, CvmMaterial& material) {
  if (!ReadString(c, "name", material.name)) return false;
  const size_t indexOffset = c.offset;
  if (!ReadU32(c, "index", material.index)) return false;
  if (material.index != position) {
    return Fail(c, indexOffset,
                "index " + std::to_string(material.index) + " differs from the record's position " +
                    std::to_string(position));
  }
  if (!ReadFlag(c, 4, "two-sided flag", material.twoSided)) return false;
  if (!ReadEngineSettings(c, material.engine)) return false;
  if (!ReadColor16(c, "diffuse colour", material.diffuse) ||
      !ReadColor16(c, "ambient colour", material.ambient) ||
      !ReadColor16(c, "specular colour", material.specular) ||
      !ReadColor16(c, "self-illumination colour", material.selfIllum) ||
      !ReadF32(c, "shininess", material.shininess) ||
      !ReadF32(c, "shininess strength", material.shininessStrength)) {
    return false;
  }
  for (size_t slot = 0; slot < material.textureRefs.size(); ++slot) {
    const size_t refOffset = c.offset;
    uint32_t& ref = material.textureRefs[slot];
    if (!ReadU32(c, "texture reference", ref)) return false;
    if (ref != kNoTexture && ref >= textureCount) {
      return Fail(c, refOffset,
                  "texture reference " + std::to_string(slot) + " (slot " +
                      std::to_string(kTextureRefSlots[slot]) + ") is " + std::to_string(ref) +
                      ", out of range (" + std::to_string(textureCount) + " textures)");
    }
  }
  return true;
}

}  // namespace

bool ReadMaterialSection(ByteCursor& c, std::vector<CvmTexture>& textures,
                         std::vector<CvmMaterial>& materials) {
  c.context = "material section";
  uint32_t materialCount = 0;
  uint32_t textureCount = 0;
  const size_t materialCountOffset = c.offset;
  if (!ReadU32(c, "material count", materialCount)) return false;
  const size_t textureCountOffset = c.offset;
  if (!ReadU32(c, "texture count", textureCount)) return false;
  if (!CheckCount(c, textureCountOffset, textureCount, kMinTextureRecord, "texture")) return false;
  if (!CheckCount(c, materialCountOffset, materialCount, kMinMaterialRecord, "material")) return false;
  if (static_cast<uint64_t>(textureCount) * kMinTextureRecord +
          static_cast<uint64_t>(materialCount) * kMinMaterialRecord >
      Remaining(c)) {
    return Fail(c, materialCountOffset,
                "material count " + std::to_string(materialCount) + " and texture count " +
                    std::to_string(textureCount) + ": the records cannot fit in the " +
                    std::to_string(Remaining(c)) + " bytes that remain");
  }

  textures.assign(textureCount, CvmTexture{});
  for (size_t i = 0; i < textures.size(); ++i) {
    c.context = "texture " + std::to_string(i);
    CvmTexture& texture = textures[i];
    const size_t nameOffset = c.offset;
    if (!ReadString(c, "name", texture.name)) return false;
    // The exporter only lists textures that have a file name.
    if (texture.name.empty()) return Fail(c, nameOffset, "empty name");
    const size_t indexOffset = c.offset;
    if (!ReadU32(c, "index", texture.index)) return false;
    if (texture.index != i) {
      return Fail(c, indexOffset,
                  "index " + std::to_string(texture.index) + " differs from the record's position " +
                      std::to_string(i));
    }
  }

  materials.assign(materialCount, CvmMaterial{});
  for (size_t i = 0; i < materials.size(); ++i) {
    c.context = "material " + std::to_string(i);
    if (!ReadMaterialRecord(c, i, textureCount, materials[i])) return false;
  }
  return true;
}

}  // namespace cvm::reader
