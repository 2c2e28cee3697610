#include "tests/support/fake_host.h"

namespace cvm::test {
namespace {

// A refused read leaves the value as it was, as the host's does.
template <typename T>
bool Answer(const FakeParam* param, T FakeParam::*field, T& value) {
  if (param == nullptr) return false;
  value = param->*field;
  return true;
}

}  // namespace

void FakeMesh::SetVertexNormals(uint32_t j, std::vector<RNormalEntry> entries, bool specified) {
  if (entries_.size() <= j) entries_.resize(j + 1);
  entries_[j] = std::move(entries);
  if (specified_.size() <= j) specified_.resize(j + 1, false);
  specified_[j] = specified;
}

void FakeMesh::buildNormals() {
  ++buildNormalsCalls;
  rverts_.assign(vertices.size(), RVertex{0, Point3{}, nullptr});
  entries_.resize(vertices.size());
  specified_.resize(vertices.size(), false);
  for (size_t j = 0; j < vertices.size(); ++j) {
    const auto& e = entries_[j];
    rverts_[j].rFlags = static_cast<uint32_t>(e.size()) | (specified_[j] ? kRVertexSpecifiedNormal : 0u);
    if (!e.empty()) rverts_[j].primaryNormal = e[0].normal;
    rverts_[j].ern = e.empty() ? nullptr : e.data();
  }
}

const FakeParam* FakeCustAttrib::RecordRead(int32_t id, FakeParam::Kind kind, TimeValue t,
                                            const Interval& valid, int32_t tab) const {
  reads.push_back({id, t, valid, tab});
  for (const FakeParam& param : params)
    if (param.readId == id) return param.kind == kind ? &param : nullptr;
  return nullptr;
}

bool FakeCustAttrib::ParamBlockGetInt(int32_t id, TimeValue t, int32_t& value, Interval& valid,
                                      int32_t tab) const {
  return Answer(RecordRead(id, FakeParam::kInt, t, valid, tab), &FakeParam::intValue, value);
}

bool FakeCustAttrib::ParamBlockGetFloat(int32_t id, TimeValue t, float& value, Interval& valid,
                                        int32_t tab) const {
  return Answer(RecordRead(id, FakeParam::kFloat, t, valid, tab), &FakeParam::floatValue, value);
}

bool FakeCustAttrib::ParamBlockGetPoint3(int32_t id, TimeValue t, Point3& value, Interval& valid,
                                         int32_t tab) const {
  return Answer(RecordRead(id, FakeParam::kPoint3, t, valid, tab), &FakeParam::pointValue, value);
}

}  // namespace cvm::test
