#include "materials/material_record.h"

#include <string>

namespace cvm {
namespace {

void WriteFlag(bool present, OutputStream& stream) {
  WriteU32(present ? 1 : 0, stream);
}

void WriteUvBlock(float u, float v, OutputStream& stream) {
  const bool present = !(u == 0.0f && v == 0.0f);
  WriteFlag(present, stream);
  if (!present) return;
  WriteF32(u, stream);
  WriteF32(v, stream);
}

void WriteFrameBlock(int32_t hf, int32_t vf, float time, OutputStream& stream) {
  const bool present = !(hf == 1 && vf == 1);
  WriteFlag(present, stream);
  if (!present) return;
  WriteU16(static_cast<uint32_t>(hf), stream);
  WriteU16(static_cast<uint32_t>(vf), stream);
  WriteF32(time, stream);
}

}  // namespace

void WriteEngineSettingsBlock(const EngineMaterialSettings& settings, OutputStream& stream) {
  WriteU32(static_cast<uint32_t>(settings.Collideable), stream);
  WriteU32(static_cast<uint32_t>(settings.Visible), stream);
  WriteU32(static_cast<uint32_t>(settings.DataIDSpinner), stream);
  const bool colorKey = settings.ColorKeyCheckbox > 0;
  WriteFlag(colorKey, stream);
  if (colorKey) WriteColorU16(settings.ColorKey, stream);
  WriteUvBlock(settings.USpinner, settings.VSpinner, stream);
  WriteFrameBlock(settings.HFSpinner, settings.VFSpinner, settings.TimeSpinner, stream);
  WriteUvBlock(settings.USpinner2, settings.VSpinner2, stream);
  WriteFrameBlock(settings.HFSpinner2, settings.VFSpinner2, settings.TimeSpinner2, stream);
  WriteU32(static_cast<uint32_t>(settings.RenderLastCheckbox), stream);
  WriteU32(static_cast<uint32_t>(settings.RenderFirstCheckbox), stream);
}

void WriteMaterialRecord(OutputStream& stream, HostMaterial& material, uint32_t position,
                         const TextureNameIndex& textures) {
  WriteString(material.MaterialName(), stream);
  WriteU32(position, stream);
  WriteFlag(material.MaterialIsTwoSided(), stream);
  WriteEngineSettingsBlock(ReadEngineMaterialSettings(material), stream);

  const Point3 diffuse = material.MaterialDiffuseColor();
  const Point3 ambient = material.MaterialAmbientColor();
  const Point3 specular = material.MaterialSpecularColor();
  const Point3 selfIllum = material.MaterialSelfIllumColor();
  const float shininess = material.MaterialShininess();
  const float shininessStrength = material.MaterialShininessStrength();
  WriteColorU16(diffuse, stream);
  WriteColorU16(ambient, stream);
  WriteColorU16(specular, stream);
  WriteColorU16(selfIllum, stream);
  WriteF32(shininess, stream);
  WriteF32(shininessStrength, stream);

  for (const int32_t slot : TEXTURE_SLOTS_RECORD) {
    const std::string name = GetTextureFileName(material.MaterialSubTexmap(slot));
    const bool enabled = material.MaterialSubTexmapEnabled(slot);
    WriteU32(enabled ? FindTextureName(textures, name) : kNoReference, stream);
  }
}

}  // namespace cvm
