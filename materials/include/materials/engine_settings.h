// The engine's per-material settings, entered in the host through the "CV Mat" custom
// attribute of a material. The fields carry the attribute's parameter names.
#pragma once

#include <cstdint>

#include "host/host_scene.h"

namespace cvm {

struct EngineMaterialSettings {
  int32_t ColorKeyCheckbox = 0;
  int32_t RenderLastCheckbox = 0;
  int32_t RenderFirstCheckbox = 0;
  Point3 ColorKey{0.0f, 0.0f, 0.0f};  // black unless the attribute gives a colour
  float USpinner = 0.0f;
  float VSpinner = 0.0f;
  int32_t HFSpinner = 1;
  int32_t VFSpinner = 1;
  float TimeSpinner = 0.0f;
  int32_t Collideable = 1;
  int32_t Visible = 1;
  float USpinner2 = 0.0f;
  float VSpinner2 = 0.0f;
  int32_t HFSpinner2 = 1;
  int32_t VFSpinner2 = 1;
  float TimeSpinner2 = 0.0f;
  int32_t DataIDSpinner = 0;
};

// The class name that marks a material's engine attribute (compared case-sensitively).
constexpr const char* kEngineAttributeClassName = "CV Mat";

// Position of the first attribute of container whose parameter block 0 belongs to the class
// "CV Mat" (whole string, case-sensitive), or -1. Attributes without a block are skipped.
int32_t FindEngineAttribute(const HostCustAttribContainer& container);

// The settings of one material. A material without a custom-attribute container gets an
// empty one (AllocCustAttribContainer: the export's one change to the scene) and the
// defaults. When the container holds a "CV Mat" attribute, every attribute with a block is
// read, not only that one: each parameter whose internal name equals a field name ignoring
// ASCII case is read by the field's own parameter id (not the definition's), at time 0,
// into that field; the last attribute and the last definition carrying a name win. Reads
// the host cannot answer leave the field as it was.
EngineMaterialSettings ReadEngineMaterialSettings(HostMaterial& material);

// Whether two names are equal when ASCII letters are folded to one case; other bytes must
// match exactly. This is what the host's multibyte case-insensitive comparison gives for the
// all-ASCII parameter names: a double-byte character never equals an ASCII one.
bool EqualsIgnoringAsciiCase(const char* a, const char* b);

}  // namespace cvm
