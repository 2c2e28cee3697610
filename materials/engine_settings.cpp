#include "materials/engine_settings.h"

#include <array>
#include <cstring>

namespace cvm {
namespace {

// One parameter of the "CV Mat" attribute and the field it fills; exactly one of the three
// field pointers is set, and it decides how the value is read.
struct EngineParameter {
  const char* name;
  int32_t id;
  int32_t EngineMaterialSettings::*intField;
  float EngineMaterialSettings::*floatField;
  Point3 EngineMaterialSettings::*pointField;
};

constexpr EngineParameter Int(const char* name, int32_t id, int32_t EngineMaterialSettings::*field) {
  return {name, id, field, nullptr, nullptr};
}
constexpr EngineParameter Float(const char* name, int32_t id, float EngineMaterialSettings::*field) {
  return {name, id, nullptr, field, nullptr};
}

// The order in which a definition's name is compared; the ids are those the engine's tools
// gave the parameters.
constexpr std::array<EngineParameter, 17> kEngineParameters = {{
    Int("ColorKeyCheckbox", 1, &EngineMaterialSettings::ColorKeyCheckbox),
    Int("RenderLastCheckbox", 2, &EngineMaterialSettings::RenderLastCheckbox),
    Int("RenderFirstCheckbox", 3, &EngineMaterialSettings::RenderFirstCheckbox),
    {"ColorKey", 0, nullptr, nullptr, &EngineMaterialSettings::ColorKey},
    Float("USpinner", 4, &EngineMaterialSettings::USpinner),
    Float("VSpinner", 5, &EngineMaterialSettings::VSpinner),
    Int("HFSpinner", 6, &EngineMaterialSettings::HFSpinner),
    Int("VFSpinner", 7, &EngineMaterialSettings::VFSpinner),
    Float("TimeSpinner", 8, &EngineMaterialSettings::TimeSpinner),
    Int("Collideable", 9, &EngineMaterialSettings::Collideable),
    Int("Visible", 11, &EngineMaterialSettings::Visible),
    Float("USpinner2", 12, &EngineMaterialSettings::USpinner2),
    Float("VSpinner2", 13, &EngineMaterialSettings::VSpinner2),
    Int("HFSpinner2", 14, &EngineMaterialSettings::HFSpinner2),
    Int("VFSpinner2", 15, &EngineMaterialSettings::VFSpinner2),
    Float("TimeSpinner2", 16, &EngineMaterialSettings::TimeSpinner2),
    Int("DataIDSpinner", 10, &EngineMaterialSettings::DataIDSpinner),
}};

constexpr TimeValue kReadTime = 0;
constexpr int32_t kTabIndex = 0;

// The block 0 of an attribute and its descriptor, or nulls when either is missing.
struct AttributeBlock {
  const HostParamBlock* block = nullptr;
  const HostParamBlockDesc* descriptor = nullptr;
};

AttributeBlock BlockOf(const HostCustAttribContainer& container, int32_t index) {
  const HostCustAttrib* attribute = container.CustAttribAt(index);
  if (attribute == nullptr) return {};
  const HostParamBlock* block = attribute->CustAttribParamBlock();
  if (block == nullptr) return {};
  const HostParamBlockDesc* descriptor = block->ParamBlockDescriptor();
  if (descriptor == nullptr) return {};
  return {block, descriptor};
}

void ReadParameter(const HostParamBlock& block, const EngineParameter& parameter,
                   EngineMaterialSettings& settings) {
  // The whole time line; the validity the host narrows it to is not needed.
  Interval valid{INT32_MIN, INT32_MAX};
  if (parameter.intField != nullptr) {
    block.ParamBlockGetInt(parameter.id, kReadTime, settings.*parameter.intField, valid, kTabIndex);
  } else if (parameter.floatField != nullptr) {
    block.ParamBlockGetFloat(parameter.id, kReadTime, settings.*parameter.floatField, valid, kTabIndex);
  } else {
    block.ParamBlockGetPoint3(parameter.id, kReadTime, settings.*parameter.pointField, valid, kTabIndex);
  }
}

void ReadAttributeParameters(const AttributeBlock& attribute, EngineMaterialSettings& settings) {
  const uint16_t count = attribute.descriptor->ParamCount();
  for (uint16_t i = 0; i < count; ++i) {
    const char* name = attribute.descriptor->ParamInternalName(i);
    for (const EngineParameter& parameter : kEngineParameters)
      if (EqualsIgnoringAsciiCase(name, parameter.name)) ReadParameter(*attribute.block, parameter, settings);
  }
}

}  // namespace

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  const auto fold = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
  };
  for (;; ++a, ++b) {
    const unsigned char ca = fold(static_cast<unsigned char>(*a));
    const unsigned char cb = fold(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == '\0') return true;
  }
}

int32_t FindEngineAttribute(const HostCustAttribContainer& container) {
  const int32_t count = container.CustAttribCount();
  for (int32_t i = 0; i < count; ++i) {
    const AttributeBlock attribute = BlockOf(container, i);
    if (attribute.descriptor == nullptr) continue;
    if (std::strcmp(attribute.descriptor->ClassDescClassName(), kEngineAttributeClassName) == 0) return i;
  }
  return -1;
}

EngineMaterialSettings ReadEngineMaterialSettings(HostMaterial& material) {
  const HostCustAttribContainer* container = material.GetCustAttribContainer();
  if (container == nullptr) {
    material.AllocCustAttribContainer();
    container = material.GetCustAttribContainer();
  }
  EngineMaterialSettings settings;
  if (container == nullptr || FindEngineAttribute(*container) < 0) return settings;
  // The attribute only marks the material as carrying engine settings: the parameters are
  // taken from every attribute of the container, later ones overwriting earlier ones.
  const int32_t count = container->CustAttribCount();
  for (int32_t i = 0; i < count; ++i) {
    const AttributeBlock attribute = BlockOf(*container, i);
    if (attribute.descriptor != nullptr) ReadAttributeParameters(attribute, settings);
  }
  return settings;
}

}  // namespace cvm
