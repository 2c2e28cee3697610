// Hand-built materials, texture maps and custom attributes for the cases a scene document
// cannot express (a material that is its own sub-material, tens of thousands of materials)
// and for reading engine settings without a whole scene.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm::test {

class FakeTexmap final : public HostTexmap {
 public:
  explicit FakeTexmap(std::string fileName, ClassId classId = kBitmapTexClassId)
      : fileName_(std::move(fileName)), classId_(classId) {}
  ClassId ObjectClassId() const override { return classId_; }
  const char* TexmapFileName() const override { return fileName_.c_str(); }

 private:
  std::string fileName_;
  ClassId classId_;
};

// One parameter definition and the value it answers under readId.
struct FakeParam {
  std::string name;
  int32_t readId;
  enum Kind { kInt, kFloat, kPoint3 } kind;
  int32_t intValue = 0;
  float floatValue = 0.0f;
  Point3 pointValue{};
};

// An attribute with a parameter block 0 (unless hasBlock is false) owned by className.
class FakeCustAttrib final : public HostCustAttrib, HostParamBlock, HostParamBlockDesc {
 public:
  FakeCustAttrib(std::string className, std::vector<FakeParam> params, bool hasBlock = true)
      : className_(std::move(className)), params_(std::move(params)), hasBlock_(hasBlock) {}

  const HostParamBlock* CustAttribParamBlock() const override { return hasBlock_ ? this : nullptr; }
  const HostParamBlockDesc* ParamBlockDescriptor() const override { return this; }
  uint16_t ParamCount() const override { return static_cast<uint16_t>(params_.size()); }
  const char* ParamInternalName(uint16_t index) const override { return params_[index].name.c_str(); }
  const char* ClassDescClassName() const override { return className_.c_str(); }

  bool ParamBlockGetInt(int32_t id, TimeValue t, int32_t& value, Interval& valid, int32_t tab) const override;
  bool ParamBlockGetFloat(int32_t id, TimeValue t, float& value, Interval& valid, int32_t tab) const override;
  bool ParamBlockGetPoint3(int32_t id, TimeValue t, Point3& value, Interval& valid,
                           int32_t tab) const override;

  // Every read as it was asked: id, time, the interval passed in and the table index.
  struct Read {
    int32_t id;
    TimeValue t;
    Interval valid;
    int32_t tab;
  };
  mutable std::vector<Read> reads;

 private:
  const FakeParam* Find(int32_t id, FakeParam::Kind kind) const;
  void Record(int32_t id, TimeValue t, const Interval& valid, int32_t tab) const;

  std::string className_;
  std::vector<FakeParam> params_;
  bool hasBlock_;
};

class FakeContainer final : public HostCustAttribContainer {
 public:
  int32_t CustAttribCount() const override { return static_cast<int32_t>(attributes.size()); }
  const HostCustAttrib* CustAttribAt(int32_t index) const override { return attributes[index]; }
  std::vector<const FakeCustAttrib*> attributes;
};

class FakeMaterial final : public HostMaterial {
 public:
  explicit FakeMaterial(std::string name = "", bool isMulti = false)
      : name_(std::move(name)), isMulti_(isMulti) {}

  ClassId ObjectClassId() const override { return classId; }
  const char* MaterialName() const override { return name_.c_str(); }
  bool MaterialIsTwoSided() const override { return false; }
  bool MaterialIsMulti() const override { return isMulti_; }
  int32_t MaterialSubCount() const override { return static_cast<int32_t>(subs.size()); }
  HostMaterial* MaterialSub(int32_t index) const override {
    ++subQueries;
    return subs[index];
  }
  Point3 MaterialDiffuseColor() const override { return {}; }
  Point3 MaterialAmbientColor() const override { return {}; }
  Point3 MaterialSpecularColor() const override { return {}; }
  Point3 MaterialSelfIllumColor() const override { return {}; }
  float MaterialShininess() const override { return 0.0f; }
  float MaterialShininessStrength() const override { return 0.0f; }
  const HostTexmap* MaterialSubTexmap(int32_t slot) const override {
    return slot >= 0 && slot < 12 ? maps[slot] : nullptr;
  }
  bool MaterialSubTexmapEnabled(int32_t slot) const override {
    return slot >= 0 && slot < 12 && maps[slot] != nullptr;
  }
  const HostCustAttribContainer* GetCustAttribContainer() const override { return container; }
  void AllocCustAttribContainer() override {
    ++allocations;
    container = &allocated_;
  }

  ClassId classId{2, 0};
  std::vector<HostMaterial*> subs;
  const HostTexmap* maps[12] = {};
  const HostCustAttribContainer* container = nullptr;
  int allocations = 0;
  mutable long subQueries = 0;

 private:
  std::string name_;
  bool isMulti_;
  FakeContainer allocated_;
};

// A node that only answers for its material; the material section asks nothing else.
class FakeMaterialNode final : public HostNode {
 public:
  explicit FakeMaterialNode(HostMaterial* material) : material_(material) {}
  const char* NodeName() const override { return ""; }
  const char* NodeUserText() const override { return ""; }
  bool NodeIsSelected() const override { return false; }
  bool NodeIsHidden(int32_t, int32_t) const override { return false; }
  HostObject* EvaluateNodeObject(TimeValue) override { return nullptr; }
  Matrix3 ObjectToWorldTransform(TimeValue) const override { return Matrix3(); }
  Matrix3 NodePivotTransform(TimeValue) const override { return Matrix3(); }
  HostMaterial* NodeMaterial() const override { return material_; }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue) override { return {}; }

 private:
  HostMaterial* material_;
};

// Materials with stable addresses, so that tests can wire sub-materials by pointer.
struct FakeMaterials {
  std::deque<FakeMaterial> all;
  FakeMaterial& Add(std::string name, bool isMulti = false) {
    return all.emplace_back(std::move(name), isMulti);
  }
};

}  // namespace cvm::test
