#include "tests/support/counting_host.h"

#include <unordered_map>
#include <utility>
#include <vector>

namespace cvm::test {

class CountingNode;
class CountingObject;
class CountingMaterial;

// The counts, and every handle made so far. Handles are looked up by the wrapped scene's
// handle and made on first sight; temporaries are kept after their release.
class CountingState {
 public:
  explicit CountingState(HostScene& wrapped) : scene(wrapped) {}

  HostNode* Node(HostNode* wrapped);
  HostMaterial* Material(HostMaterial* wrapped);
  HostObject* OwnObject(HostObject* wrapped);  // a node's evaluated object
  HostObject* Temporary(HostObject* wrapped);  // a conversion's temporary
  void ForgetTemporary(HostObject* wrapped);   // on its release, before the address is reused

  HostScene& scene;
  int temporariesMade = 0;
  int temporariesReleased = 0;
  int invalidReleases = 0;
  int releasedObjectUses = 0;
  std::vector<const HostMaterial*> containersAllocated;

 private:
  std::unordered_map<HostNode*, std::unique_ptr<CountingNode>> nodes_;
  std::unordered_map<HostMaterial*, std::unique_ptr<CountingMaterial>> materials_;
  std::unordered_map<HostObject*, std::unique_ptr<CountingObject>> ownObjects_;
  std::unordered_map<HostObject*, CountingObject*> liveTemporaries_;
  std::vector<std::unique_ptr<CountingObject>> temporaries_;
};

namespace {

template <typename Handle, typename Wrapped, typename... Args>
Handle* HandleOf(std::unordered_map<Wrapped*, std::unique_ptr<Handle>>& handles, Wrapped* wrapped,
                 Args&&... args) {
  if (wrapped == nullptr) return nullptr;
  std::unique_ptr<Handle>& handle = handles[wrapped];
  if (handle == nullptr) handle = std::make_unique<Handle>(wrapped, std::forward<Args>(args)...);
  return handle.get();
}

}  // namespace

// The handle of one object; temporary when a conversion made it.
class CountingObject final : public HostObject {
 public:
  CountingObject(HostObject* wrapped, CountingState& state, bool temporary);

  uint32_t ObjectSuperClassId() const override {
    return Ask(wrapped_, [](auto& o) { return o.ObjectSuperClassId(); });
  }
  ClassId ObjectClassId() const override {
    return Ask(wrapped_, [](auto& o) { return o.ObjectClassId(); });
  }
  bool ObjectCanConvertTo(ClassId target) const override {
    return Ask(wrapped_, [target](auto& o) { return o.ObjectCanConvertTo(target); });
  }
  HostObject* ObjectConvertTo(ClassId target, TimeValue t) override;
  void ReleaseTemporaryObject() override;
  int32_t LightTypeCode() const override {
    return Ask(wrapped_, [](auto& o) { return o.LightTypeCode(); });
  }
  Point3 LightColor(TimeValue t) const override {
    return Ask(wrapped_, [t](auto& o) { return o.LightColor(t); });
  }
  float LightIntensity(TimeValue t) const override {
    return Ask(wrapped_, [t](auto& o) { return o.LightIntensity(t); });
  }
  HostMesh* TriObjectMesh() override;
  const HostBezierShape* ShapeObjectBezierShape() const override;

  // query(*wrapped) while this object is unreleased. After its release the query is counted
  // and answered with a value-initialised result (0, false, null, zeros) without reaching
  // wrapped, which may be gone.
  template <typename Wrapped, typename Query>
  auto Ask(Wrapped* wrapped, Query&& query) const -> decltype(query(*wrapped)) {
    using Answer = decltype(query(*wrapped));
    if (QueriedAfterRelease()) return Answer();
    return query(*wrapped);
  }

 private:
  class Mesh;
  class Shape;
  class Spline;

  HostObject* wrapped_;
  CountingState* state_;
  bool temporary_;
  bool released_ = false;
  std::unique_ptr<Mesh> mesh_;
  std::unique_ptr<Shape> shape_;

  // Whether the object is released; a query that finds it so is counted.
  bool QueriedAfterRelease() const {
    if (released_) ++state_->releasedObjectUses;
    return released_;
  }
};

namespace {

// A part of an object (its mesh, its shape, a spline of the shape). It asks through its
// object, so that it falls silent with the object's release.
template <typename Wrapped>
class CountingPart {
 public:
  explicit CountingPart(const CountingObject& owner, Wrapped* wrapped = nullptr)
      : owner_(owner), wrapped_(wrapped) {}
  void Bind(Wrapped* wrapped) { wrapped_ = wrapped; }

 protected:
  template <typename Query>
  auto Ask(Query&& query) const -> decltype(query(std::declval<Wrapped&>())) {
    return owner_.Ask(wrapped_, std::forward<Query>(query));
  }

  const CountingObject& owner_;
  Wrapped* wrapped_;
};

}  // namespace

class CountingObject::Mesh final : public HostMesh, public CountingPart<HostMesh> {
 public:
  using CountingPart::CountingPart;

  int32_t MeshFaceCount() const override {
    return Ask([](auto& m) { return m.MeshFaceCount(); });
  }
  const MeshFace* MeshFaces() const override {
    return Ask([](auto& m) { return m.MeshFaces(); });
  }
  int32_t MeshVertexCount() const override {
    return Ask([](auto& m) { return m.MeshVertexCount(); });
  }
  const Point3* MeshVertices() const override {
    return Ask([](auto& m) { return m.MeshVertices(); });
  }
  int32_t MeshTVertCount() const override {
    return Ask([](auto& m) { return m.MeshTVertCount(); });
  }
  const Point3* MeshTVerts() const override {
    return Ask([](auto& m) { return m.MeshTVerts(); });
  }
  const TVFace* MeshTVFaces() const override {
    return Ask([](auto& m) { return m.MeshTVFaces(); });
  }
  void buildNormals() override {
    Ask([](auto& m) { m.buildNormals(); });
  }
  const Point3* MeshFaceNormals() const override {
    return Ask([](auto& m) { return m.MeshFaceNormals(); });
  }
  const RVertex* MeshRenderNormals() const override {
    return Ask([](auto& m) { return m.MeshRenderNormals(); });
  }
  int32_t getNumMapVerts(int channel) const override {
    return Ask([channel](auto& m) { return m.getNumMapVerts(channel); });
  }
  const Point3* mapVerts(int channel) const override {
    return Ask([channel](auto& m) { return m.mapVerts(channel); });
  }
  const TVFace* mapFaces(int channel) const override {
    return Ask([channel](auto& m) { return m.mapFaces(channel); });
  }
};

class CountingObject::Spline final : public HostSpline, public CountingPart<const HostSpline> {
 public:
  Spline(const HostSpline* wrapped, const CountingObject& owner) : CountingPart(owner, wrapped) {}

  int32_t SplineKnotCount() const override {
    return Ask([](auto& s) { return s.SplineKnotCount(); });
  }
  bool SplineIsClosed() const override {
    return Ask([](auto& s) { return s.SplineIsClosed(); });
  }
  Point3 SplineKnotPoint(int32_t knot) const override {
    return Ask([knot](auto& s) { return s.SplineKnotPoint(knot); });
  }
};

class CountingObject::Shape final : public HostBezierShape, public CountingPart<const HostBezierShape> {
 public:
  using CountingPart::CountingPart;

  int32_t BezierShapeSplineCount() const override {
    return Ask([](auto& s) { return s.BezierShapeSplineCount(); });
  }
  const HostSpline* GetSpline(int32_t index) const override {
    return Ask([&](auto& s) -> const HostSpline* { return HandleOf(splines_, s.GetSpline(index), owner_); });
  }

 private:
  mutable std::unordered_map<const HostSpline*, std::unique_ptr<Spline>> splines_;
};

CountingObject::CountingObject(HostObject* wrapped, CountingState& state, bool temporary)
    : wrapped_(wrapped),
      state_(&state),
      temporary_(temporary),
      mesh_(std::make_unique<Mesh>(*this)),
      shape_(std::make_unique<Shape>(*this)) {}

HostObject* CountingObject::ObjectConvertTo(ClassId target, TimeValue t) {
  HostObject* converted = Ask(wrapped_, [&](auto& o) { return o.ObjectConvertTo(target, t); });
  if (converted == nullptr) return nullptr;
  return converted == wrapped_ ? this : state_->Temporary(converted);
}

void CountingObject::ReleaseTemporaryObject() {
  if (!temporary_ || released_) {
    ++state_->invalidReleases;
    return;
  }
  HostObject* wrapped = wrapped_;
  released_ = true;
  ++state_->temporariesReleased;
  state_->ForgetTemporary(wrapped);
  wrapped->ReleaseTemporaryObject();
}

// A released object answers with its own mesh and shape, which answer as empty ones: an
// exporter that goes on using it is counted at every query instead of stopping at a null.
HostMesh* CountingObject::TriObjectMesh() {
  if (QueriedAfterRelease()) return mesh_.get();
  HostMesh* mesh = wrapped_->TriObjectMesh();
  if (mesh == nullptr) return nullptr;
  mesh_->Bind(mesh);
  return mesh_.get();
}

const HostBezierShape* CountingObject::ShapeObjectBezierShape() const {
  if (QueriedAfterRelease()) return shape_.get();
  const HostBezierShape* shape = wrapped_->ShapeObjectBezierShape();
  if (shape == nullptr) return nullptr;
  shape_->Bind(shape);
  return shape_.get();
}

class CountingMaterial final : public HostMaterial {
 public:
  CountingMaterial(HostMaterial* wrapped, CountingState& state) : wrapped_(wrapped), state_(&state) {}

  ClassId ObjectClassId() const override { return wrapped_->ObjectClassId(); }
  const char* MaterialName() const override { return wrapped_->MaterialName(); }
  bool MaterialIsTwoSided() const override { return wrapped_->MaterialIsTwoSided(); }
  bool MaterialIsMulti() const override { return wrapped_->MaterialIsMulti(); }
  int32_t MaterialSubCount() const override { return wrapped_->MaterialSubCount(); }
  HostMaterial* MaterialSub(int32_t index) const override {
    return state_->Material(wrapped_->MaterialSub(index));
  }
  Point3 MaterialDiffuseColor() const override { return wrapped_->MaterialDiffuseColor(); }
  Point3 MaterialAmbientColor() const override { return wrapped_->MaterialAmbientColor(); }
  Point3 MaterialSpecularColor() const override { return wrapped_->MaterialSpecularColor(); }
  Point3 MaterialSelfIllumColor() const override { return wrapped_->MaterialSelfIllumColor(); }
  float MaterialShininess() const override { return wrapped_->MaterialShininess(); }
  float MaterialShininessStrength() const override { return wrapped_->MaterialShininessStrength(); }
  const HostTexmap* MaterialSubTexmap(int32_t slot) const override {
    return wrapped_->MaterialSubTexmap(slot);
  }
  bool MaterialSubTexmapEnabled(int32_t slot) const override {
    return wrapped_->MaterialSubTexmapEnabled(slot);
  }
  const HostCustAttribContainer* GetCustAttribContainer() const override {
    return wrapped_->GetCustAttribContainer();
  }
  void AllocCustAttribContainer() override {
    const bool had = wrapped_->GetCustAttribContainer() != nullptr;
    wrapped_->AllocCustAttribContainer();
    if (!had && wrapped_->GetCustAttribContainer() != nullptr)
      state_->containersAllocated.push_back(wrapped_);
  }

 private:
  HostMaterial* wrapped_;
  CountingState* state_;
};

class CountingNode final : public HostNode {
 public:
  CountingNode(HostNode* wrapped, CountingState& state) : wrapped_(wrapped), state_(&state) {}

  const char* NodeName() const override { return wrapped_->NodeName(); }
  const char* NodeUserText() const override { return wrapped_->NodeUserText(); }
  bool NodeIsSelected() const override { return wrapped_->NodeIsSelected(); }
  bool NodeIsHidden(int32_t hideFrozen, int32_t hideHidden) const override {
    return wrapped_->NodeIsHidden(hideFrozen, hideHidden);
  }
  HostObject* EvaluateNodeObject(TimeValue t) override {
    return state_->OwnObject(wrapped_->EvaluateNodeObject(t));
  }
  Matrix3 ObjectToWorldTransform(TimeValue t) const override { return wrapped_->ObjectToWorldTransform(t); }
  Matrix3 NodePivotTransform(TimeValue t) const override { return wrapped_->NodePivotTransform(t); }
  HostMaterial* NodeMaterial() const override { return state_->Material(wrapped_->NodeMaterial()); }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue t) override {
    TriObjectResult result = wrapped_->ConvertNodeToTriangleObject(t);
    result.triObject =
        result.isTemporary ? state_->Temporary(result.triObject) : state_->OwnObject(result.triObject);
    return result;
  }

 private:
  HostNode* wrapped_;
  CountingState* state_;
};

HostNode* CountingState::Node(HostNode* wrapped) {
  return HandleOf(nodes_, wrapped, *this);
}

HostMaterial* CountingState::Material(HostMaterial* wrapped) {
  return HandleOf(materials_, wrapped, *this);
}

HostObject* CountingState::OwnObject(HostObject* wrapped) {
  return HandleOf(ownObjects_, wrapped, *this, false);
}

HostObject* CountingState::Temporary(HostObject* wrapped) {
  if (wrapped == nullptr) return nullptr;
  // The same temporary handed out again before its release keeps its handle.
  CountingObject*& live = liveTemporaries_[wrapped];
  if (live == nullptr) {
    temporaries_.push_back(std::make_unique<CountingObject>(wrapped, *this, true));
    live = temporaries_.back().get();
    ++temporariesMade;
  }
  return live;
}

void CountingState::ForgetTemporary(HostObject* wrapped) {
  liveTemporaries_.erase(wrapped);
}

CountingHost::CountingHost(HostScene& scene) : state_(std::make_unique<CountingState>(scene)) {}

CountingHost::~CountingHost() = default;

void CountingHost::EnumerateSceneNodes(HostSceneEnumCallback& callback) {
  struct Forward final : HostSceneEnumCallback {
    Forward(CountingState& s, HostSceneEnumCallback& t) : state(s), target(t) {}
    int32_t callback(HostNode* node) override { return target.callback(state.Node(node)); }
    CountingState& state;
    HostSceneEnumCallback& target;
  } forward(*state_, callback);
  state_->scene.EnumerateSceneNodes(forward);
}

HostNode* CountingHost::Wrap(HostNode* node) {
  return state_->Node(node);
}

HostMaterial* CountingHost::Wrap(HostMaterial* material) {
  return state_->Material(material);
}

int CountingHost::TemporariesMade() const {
  return state_->temporariesMade;
}

int CountingHost::TemporariesReleased() const {
  return state_->temporariesReleased;
}

int CountingHost::InvalidReleases() const {
  return state_->invalidReleases;
}

int CountingHost::ReleasedObjectUses() const {
  return state_->releasedObjectUses;
}

const std::vector<const HostMaterial*>& CountingHost::ContainersAllocated() const {
  return state_->containersAllocated;
}

std::vector<int32_t> MaterialIndices(standin::StandinScene& scene,
                                     const std::vector<const HostMaterial*>& materials) {
  std::vector<int32_t> indices;
  for (const HostMaterial* material : materials) {
    int32_t index = -1;
    for (size_t m = 0; m < scene.Model().materials.size() && index < 0; ++m) {
      if (scene.Material(m) == material) index = static_cast<int32_t>(m);
    }
    indices.push_back(index);
  }
  return indices;
}

}  // namespace cvm::test
