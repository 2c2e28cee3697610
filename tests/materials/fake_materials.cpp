#include "tests/materials/fake_materials.h"

namespace cvm::test {

const FakeParam* FakeCustAttrib::Find(int32_t id, FakeParam::Kind kind) const {
  for (const FakeParam& param : params_)
    if (param.readId == id) return param.kind == kind ? &param : nullptr;
  return nullptr;
}

void FakeCustAttrib::Record(int32_t id, TimeValue t, const Interval& valid, int32_t tab) const {
  reads.push_back({id, t, valid, tab});
}

bool FakeCustAttrib::ParamBlockGetInt(int32_t id, TimeValue t, int32_t& value, Interval& valid,
                                      int32_t tab) const {
  Record(id, t, valid, tab);
  const FakeParam* param = Find(id, FakeParam::kInt);
  if (param == nullptr) return false;
  value = param->intValue;
  return true;
}

bool FakeCustAttrib::ParamBlockGetFloat(int32_t id, TimeValue t, float& value, Interval& valid,
                                        int32_t tab) const {
  Record(id, t, valid, tab);
  const FakeParam* param = Find(id, FakeParam::kFloat);
  if (param == nullptr) return false;
  value = param->floatValue;
  return true;
}

bool FakeCustAttrib::ParamBlockGetPoint3(int32_t id, TimeValue t, Point3& value, Interval& valid,
                                         int32_t tab) const {
  Record(id, t, valid, tab);
  const FakeParam* param = Find(id, FakeParam::kPoint3);
  if (param == nullptr) return false;
  value = param->pointValue;
  return true;
}

}  // namespace cvm::test
