// The stand-in host's implementations of the host access interfaces (internal to
// StandinScene). Every handle serves a part of the SceneModel the scene owns; none copies the
// model's arrays.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "standin/build_normals.h"
#include "standin/scene_model.h"

namespace cvm::standin {

class StandinTemporaries;

class StandinMesh final : public HostMesh {
 public:
  explicit StandinMesh(const MeshModel& model) : model_(&model) {}

  int32_t MeshFaceCount() const override;
  const MeshFace* MeshFaces() const override;
  int32_t MeshVertexCount() const override;
  const Point3* MeshVertices() const override;
  int32_t MeshTVertCount() const override;
  const Point3* MeshTVerts() const override;
  const TVFace* MeshTVFaces() const override;
  bool MeshTVFacesAreVertexFaces() const override { return model_->tvFacesAreVertexFaces; }
  void buildNormals() override;
  const Point3* MeshFaceNormals() const override;     // null before buildNormals
  const RVertex* MeshRenderNormals() const override;  // null before buildNormals
  int32_t getNumMapVerts(int channel) const override;
  const Point3* mapVerts(int channel) const override;
  const TVFace* mapFaces(int channel) const override;
  bool mapFacesAreVertexFaces(int channel) const override {
    return channel == 0 && model_->colors && model_->colors->facesAreVertexFaces;
  }

 private:
  const MeshModel* model_;
  bool built_ = false;
  // Face normals that explicit normals leave out are made on their first request, which the
  // host's interface makes through a const query.
  mutable MeshNormals normals_;
};

class StandinSpline final : public HostSpline {
 public:
  explicit StandinSpline(const SplineModel& model) : model_(&model) {}
  int32_t SplineKnotCount() const override { return static_cast<int32_t>(model_->knots.size()); }
  bool SplineIsClosed() const override { return model_->closed; }
  Point3 SplineKnotPoint(int32_t knot) const override;  // (0, 0, 0) out of range

 private:
  const SplineModel* model_;
};

class StandinShape final : public HostBezierShape {
 public:
  explicit StandinShape(const std::vector<SplineModel>& splines);
  int32_t BezierShapeSplineCount() const override { return static_cast<int32_t>(splines_.size()); }
  const HostSpline* GetSpline(int32_t index) const override;  // null out of range

 private:
  std::vector<StandinSpline> splines_;
};

// A node's evaluated object, or a temporary made from one by a conversion. Which interfaces
// it serves follows the document's kind table; a temporary is a native triangle object (its
// source's mesh, or an empty mesh for a shape) or a native spline shape (its source's splines).
// Releasing a temporary frees it; releasing a node's own object does nothing.
class StandinObject final : public HostObject {
 public:
  StandinObject(const ObjectModel& model, StandinTemporaries& temporaries);

  uint32_t ObjectSuperClassId() const override;
  ClassId ObjectClassId() const override;
  bool ObjectCanConvertTo(ClassId target) const override;
  HostObject* ObjectConvertTo(ClassId target, TimeValue t) override;
  void ReleaseTemporaryObject() override;
  int32_t LightTypeCode() const override;
  Point3 LightColor(TimeValue t) const override;
  float LightIntensity(TimeValue t) const override;
  HostMesh* TriObjectMesh() override;
  const HostBezierShape* ShapeObjectBezierShape() const override;

 private:
  enum class Made { kTriObject, kSplineShape };
  StandinObject(const ObjectModel& source, StandinTemporaries& temporaries, Made made);
  HostObject* MakeTemporary(Made made);

  const ObjectModel* model_;
  StandinTemporaries* temporaries_;
  ObjectKind kind_;
  bool native_;
  uint32_t superClassId_;
  ClassId classId_;
  bool temporary_ = false;
  std::unique_ptr<StandinMesh> mesh_;    // set when this is a triangle object
  std::unique_ptr<StandinShape> shape_;  // set when this is a spline shape
};

// The temporaries that conversions made and the exporter has not released yet: a release frees
// its temporary at once, the scene frees the rest when it goes. As with the application's own
// objects, releasing a temporary twice or using it after its release is the caller's fault
// (the tests' counting host catches it).
class StandinTemporaries {
 public:
  StandinObject* Keep(std::unique_ptr<StandinObject> temporary);
  // temporary came from Keep and has not been freed.
  void Free(const StandinObject* temporary);

 private:
  std::unordered_map<const StandinObject*, std::unique_ptr<StandinObject>> live_;
};

class StandinTexmap final : public HostTexmap {
 public:
  explicit StandinTexmap(const TexmapModel& model) : model_(&model) {}
  ClassId ObjectClassId() const override { return model_->classId; }
  const char* TexmapFileName() const override { return model_->fileName.c_str(); }

 private:
  const TexmapModel* model_;
};

// A custom attribute's parameter block 0, which is also its own descriptor.
class StandinParamBlock final : public HostParamBlock, public HostParamBlockDesc {
 public:
  explicit StandinParamBlock(const CustAttribModel& model) : model_(&model) {}

  const HostParamBlockDesc* ParamBlockDescriptor() const override { return this; }
  bool ParamBlockGetInt(int32_t id, TimeValue t, int32_t& value, Interval& valid,
                        int32_t tabIndex) const override;
  bool ParamBlockGetFloat(int32_t id, TimeValue t, float& value, Interval& valid,
                          int32_t tabIndex) const override;
  bool ParamBlockGetPoint3(int32_t id, TimeValue t, Point3& value, Interval& valid,
                           int32_t tabIndex) const override;

  uint16_t ParamCount() const override { return static_cast<uint16_t>(model_->params.size()); }
  const char* ParamInternalName(uint16_t index) const override;  // "" out of range
  const char* ClassDescClassName() const override { return model_->className.c_str(); }

 private:
  const ParamModel* FindParam(int32_t id) const;
  const CustAttribModel* model_;
};

class StandinCustAttrib final : public HostCustAttrib {
 public:
  explicit StandinCustAttrib(const CustAttribModel& model);
  const HostParamBlock* CustAttribParamBlock() const override { return block_ ? &*block_ : nullptr; }

 private:
  std::optional<StandinParamBlock> block_;
};

class StandinCustAttribContainer final : public HostCustAttribContainer {
 public:
  explicit StandinCustAttribContainer(const std::vector<CustAttribModel>& attributes);
  StandinCustAttribContainer() = default;
  int32_t CustAttribCount() const override { return static_cast<int32_t>(attributes_.size()); }
  const HostCustAttrib* CustAttribAt(int32_t index) const override;  // null out of range

 private:
  std::vector<StandinCustAttrib> attributes_;
};

class StandinMaterial final : public HostMaterial {
 public:
  explicit StandinMaterial(const MaterialModel& model);
  // Resolves sub-material and texmap indices to handles; called once all handles exist.
  void Link(const std::vector<std::unique_ptr<StandinMaterial>>& materials,
            const std::vector<std::unique_ptr<StandinTexmap>>& texmaps);

  ClassId ObjectClassId() const override { return model_->classId; }
  const char* MaterialName() const override { return model_->name.c_str(); }
  bool MaterialIsTwoSided() const override { return model_->twoSided; }
  bool MaterialIsMulti() const override { return EffectiveIsMulti(*model_); }
  int32_t MaterialSubCount() const override { return static_cast<int32_t>(subs_.size()); }
  HostMaterial* MaterialSub(int32_t index) const override;  // null for an empty slot or out of range
  Point3 MaterialDiffuseColor() const override { return model_->diffuse; }
  Point3 MaterialAmbientColor() const override { return model_->ambient; }
  Point3 MaterialSpecularColor() const override { return model_->specular; }
  Point3 MaterialSelfIllumColor() const override { return model_->selfIllum; }
  float MaterialShininess() const override { return model_->shininess; }
  float MaterialShininessStrength() const override { return model_->shininessStrength; }
  const HostTexmap* MaterialSubTexmap(int32_t slot) const override;  // null outside 0 to 11
  bool MaterialSubTexmapEnabled(int32_t slot) const override;        // false outside 0 to 11
  const HostCustAttribContainer* GetCustAttribContainer() const override;
  // Gives a material without a container an empty one; no effect otherwise.
  void AllocCustAttribContainer() override;

 private:
  const MaterialModel* model_;
  std::vector<HostMaterial*> subs_;
  std::array<const HostTexmap*, kMaterialMapSlotCount> maps_{};
  std::optional<StandinCustAttribContainer> container_;
};

class StandinNode final : public HostNode {
 public:
  StandinNode(const NodeModel& model, HostMaterial* material, StandinTemporaries& temporaries)
      : model_(&model), material_(material), object_(model.object, temporaries) {}

  const char* NodeName() const override { return model_->name.c_str(); }
  const char* NodeUserText() const override { return model_->userText.c_str(); }
  bool NodeIsSelected() const override { return model_->selected; }
  bool NodeIsHidden(int32_t /*hideFrozen*/, int32_t /*hideHidden*/) const override { return model_->hidden; }
  HostObject* EvaluateNodeObject(TimeValue /*t*/) override { return &object_; }
  Matrix3 ObjectToWorldTransform(TimeValue /*t*/) const override { return model_->transform; }
  Matrix3 NodePivotTransform(TimeValue /*t*/) const override { return EffectivePivot(*model_); }
  HostMaterial* NodeMaterial() const override { return material_; }
  // The node's object converted to a triangle object: the object itself when it is one,
  // else a temporary (isTemporary), or null when the object cannot convert.
  TriObjectResult ConvertNodeToTriangleObject(TimeValue t) override;

 private:
  const NodeModel* model_;
  HostMaterial* material_;
  StandinObject object_;
};

}  // namespace cvm::standin
