#include "materials/material_record.h"

#include <string>

#include "format/record_writer.h"

namespace cvm {
namespace {

format::Color16 Color16Of(const Point3& color) {
  return {ColorToU16(color.x), ColorToU16(color.y), ColorToU16(color.z)};
}

std::optional<format::CvmUvAnimation> UvAnimation(float u, float v) {
  if (u == 0.0f && v == 0.0f) return std::nullopt;
  return format::CvmUvAnimation{u, v};
}

std::optional<format::CvmFrameAnimation> FrameAnimation(int32_t hf, int32_t vf, float time) {
  if (hf == 1 && vf == 1) return std::nullopt;
  return format::CvmFrameAnimation{static_cast<uint16_t>(hf), static_cast<uint16_t>(vf), time};
}

}  // namespace

format::CvmEngineSettings EngineSettingsRecord(const EngineMaterialSettings& settings) {
  format::CvmEngineSettings e;
  e.collideable = static_cast<uint32_t>(settings.Collideable);
  e.visible = static_cast<uint32_t>(settings.Visible);
  e.dataId = static_cast<uint32_t>(settings.DataIDSpinner);
  if (settings.ColorKeyCheckbox > 0) e.colorKey = Color16Of(settings.ColorKey);
  e.uv1 = UvAnimation(settings.USpinner, settings.VSpinner);
  e.frames1 = FrameAnimation(settings.HFSpinner, settings.VFSpinner, settings.TimeSpinner);
  e.uv2 = UvAnimation(settings.USpinner2, settings.VSpinner2);
  e.frames2 = FrameAnimation(settings.HFSpinner2, settings.VFSpinner2, settings.TimeSpinner2);
  e.renderLast = static_cast<uint32_t>(settings.RenderLastCheckbox);
  e.renderFirst = static_cast<uint32_t>(settings.RenderFirstCheckbox);
  return e;
}

format::CvmMaterial MaterialRecord(HostMaterial& material, uint32_t position,
                                   const TextureNameTable& textures) {
  format::CvmMaterial record;
  record.name = material.MaterialName();
  record.index = position;
  record.twoSided = material.MaterialIsTwoSided();
  record.engine = EngineSettingsRecord(ReadEngineMaterialSettings(material));
  record.diffuse = Color16Of(material.MaterialDiffuseColor());
  record.ambient = Color16Of(material.MaterialAmbientColor());
  record.specular = Color16Of(material.MaterialSpecularColor());
  record.selfIllum = Color16Of(material.MaterialSelfIllumColor());
  record.shininess = material.MaterialShininess();
  record.shininessStrength = material.MaterialShininessStrength();
  for (size_t i = 0; i < TEXTURE_SLOTS_RECORD.size(); ++i) {
    const int32_t slot = TEXTURE_SLOTS_RECORD[i];
    const std::string name = GetTextureFileName(material.MaterialSubTexmap(slot));
    const bool enabled = material.MaterialSubTexmapEnabled(slot);
    record.textureRefs[i] = enabled ? FindTextureName(textures, name) : kNoReference;
  }
  return record;
}

void WriteMaterialRecord(OutputStream& stream, HostMaterial& material, uint32_t position,
                         const TextureNameTable& textures) {
  format::WriteRecord(stream, MaterialRecord(material, position, textures));
}

}  // namespace cvm
