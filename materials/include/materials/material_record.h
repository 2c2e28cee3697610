// One material record of the material section: name, position, two-sided flag, the engine
// settings block, four colours, two floats and seven texture references.
#pragma once

#include <array>
#include <cstdint>

#include "format/binary_writer.h"
#include "format/records.h"
#include "host/host_scene.h"
#include "materials/engine_settings.h"
#include "materials/texture_names.h"

namespace cvm {

// Texture-map slots of a record's seven references, in file order (diffuse, opacity,
// reflection, self-illumination, bump, refraction, filter colour). Reflection comes before
// self-illumination here, unlike TEXTURE_SLOTS_COLLECT.
constexpr std::array<int32_t, 7> TEXTURE_SLOTS_RECORD = {1, 6, 9, 5, 8, 10, 7};

// The engine settings block as the record holds it, 40 to 78 bytes: collideable, visible, data
// id, then the colour key, U/V 1, HF/VF 1, U/V 2 and HF/VF 2 blocks each behind a 0/1 flag,
// then render last and render first. Integers are kept as read. A U/V block is left out when
// both values equal 0.0 (so -0.0 too; NaN does not), an HF/VF block when both values are 1
// (otherwise their low 16 bits are written), the colour key unless ColorKeyCheckbox > 0; the
// colours are ColorToU16 of each component.
format::CvmEngineSettings EngineSettingsRecord(const EngineMaterialSettings& settings);

// The record of material, which stands at position in the MaterialList. Its engine settings
// are read with ReadEngineMaterialSettings (which may give the material an empty
// custom-attribute container). A slot's reference is the first table position of its bitmap
// name when the slot is switched on, else kNoReference.
format::CvmMaterial MaterialRecord(HostMaterial& material, uint32_t position,
                                   const TextureNameTable& textures);

// Writes MaterialRecord(material, position, textures).
void WriteMaterialRecord(OutputStream& stream, HostMaterial& material, uint32_t position,
                         const TextureNameTable& textures);

}  // namespace cvm
