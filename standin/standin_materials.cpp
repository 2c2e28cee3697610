#include "format/float_to_int.h"
#include "standin/standin_objects.h"

namespace cvm::standin {

// ---- Parameter blocks -------------------------------------------------------------------

const ParamModel* StandinParamBlock::FindParam(int32_t id) const {
  // Ids are u32 in the document; the interface's int32 id is compared by its bits.
  const auto wanted = static_cast<uint32_t>(id);
  for (const ParamModel& param : model_->params) {
    if (param.id == wanted) return &param;
  }
  return nullptr;
}

bool StandinParamBlock::ParamBlockGetInt(int32_t id, TimeValue /*t*/, int32_t& value, Interval& /*valid*/,
                                         int32_t /*tabIndex*/) const {
  const ParamModel* param = FindParam(id);
  if (param == nullptr) return false;
  switch (param->type) {
    case ParamType::kInt:
      value = param->intValue;
      return true;
    case ParamType::kFloat:
      value = TruncateToInt32(static_cast<double>(param->floatValue));
      return true;
    case ParamType::kPoint3:
      return false;
  }
  return false;
}

bool StandinParamBlock::ParamBlockGetFloat(int32_t id, TimeValue /*t*/, float& value, Interval& /*valid*/,
                                           int32_t /*tabIndex*/) const {
  const ParamModel* param = FindParam(id);
  if (param == nullptr) return false;
  switch (param->type) {
    case ParamType::kFloat:
      value = param->floatValue;
      return true;
    case ParamType::kInt:
      value = static_cast<float>(param->intValue);
      return true;
    case ParamType::kPoint3:
      return false;
  }
  return false;
}

bool StandinParamBlock::ParamBlockGetPoint3(int32_t id, TimeValue /*t*/, Point3& value, Interval& /*valid*/,
                                            int32_t /*tabIndex*/) const {
  const ParamModel* param = FindParam(id);
  if (param == nullptr || param->type != ParamType::kPoint3) return false;
  value = param->point3Value;
  return true;
}

const char* StandinParamBlock::ParamInternalName(uint16_t index) const {
  if (index >= model_->params.size()) return "";
  return model_->params[index].name.c_str();
}

StandinCustAttrib::StandinCustAttrib(const CustAttribModel& model) {
  if (model.paramBlock) block_.emplace(model);
}

StandinCustAttribContainer::StandinCustAttribContainer(const std::vector<CustAttribModel>& attributes) {
  attributes_.reserve(attributes.size());
  for (const CustAttribModel& attribute : attributes) attributes_.emplace_back(attribute);
}

const HostCustAttrib* StandinCustAttribContainer::CustAttribAt(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= attributes_.size()) return nullptr;
  return &attributes_[static_cast<size_t>(index)];
}

// ---- Materials --------------------------------------------------------------------------

StandinMaterial::StandinMaterial(const MaterialModel& model) : model_(&model) {
  if (model.customAttributes) container_.emplace(*model.customAttributes);
}

void StandinMaterial::Link(const std::vector<std::unique_ptr<StandinMaterial>>& materials,
                           const std::vector<std::unique_ptr<StandinTexmap>>& texmaps) {
  subs_.clear();
  for (int32_t sub : model_->subMaterials) {
    subs_.push_back(sub >= 0 ? materials[static_cast<size_t>(sub)].get() : nullptr);
  }
  for (size_t slot = 0; slot < maps_.size(); ++slot) {
    const int32_t texmap = model_->maps[slot].texmap;
    maps_[slot] = texmap >= 0 ? texmaps[static_cast<size_t>(texmap)].get() : nullptr;
  }
}

HostMaterial* StandinMaterial::MaterialSub(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= subs_.size()) return nullptr;
  return subs_[static_cast<size_t>(index)];
}

const HostTexmap* StandinMaterial::MaterialSubTexmap(int32_t slot) const {
  if (slot < 0 || slot >= kMaterialMapSlotCount) return nullptr;
  return maps_[static_cast<size_t>(slot)];
}

bool StandinMaterial::MaterialSubTexmapEnabled(int32_t slot) const {
  if (slot < 0 || slot >= kMaterialMapSlotCount) return false;
  return model_->maps[static_cast<size_t>(slot)].enabled;
}

const HostCustAttribContainer* StandinMaterial::GetCustAttribContainer() const {
  return container_ ? &*container_ : nullptr;
}

void StandinMaterial::AllocCustAttribContainer() {
  if (!container_) container_.emplace();
}

}  // namespace cvm::standin
