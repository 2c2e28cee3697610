#include "standin/standin_objects.h"

namespace cvm::standin {
namespace {

// What a shape converted to a triangle object holds: no mesh data (only its face count is
// ever asked, by the classification, and shapes are classified as splines first).
const MeshModel& EmptyMesh() {
  static const MeshModel empty;
  return empty;
}

}  // namespace

// ---- StandinMesh ------------------------------------------------------------------------

int32_t StandinMesh::MeshFaceCount() const {
  return static_cast<int32_t>(model_->faces.size());
}
const MeshFace* StandinMesh::MeshFaces() const {
  return model_->faces.data();
}
int32_t StandinMesh::MeshVertexCount() const {
  return static_cast<int32_t>(model_->vertices.size());
}
const Point3* StandinMesh::MeshVertices() const {
  return model_->vertices.data();
}
int32_t StandinMesh::MeshTVertCount() const {
  return static_cast<int32_t>(model_->tverts.size());
}
const Point3* StandinMesh::MeshTVerts() const {
  return model_->tverts.data();
}
const TVFace* StandinMesh::MeshTVFaces() const {
  return model_->tvFaces.data();
}

void StandinMesh::buildNormals() {
  // The mesh never changes, so normals once built stay right.
  if (built_) return;
  BuildMeshNormals(*model_, normals_);
  built_ = true;
}

const Point3* StandinMesh::MeshFaceNormals() const {
  return built_ ? FaceNormalsOf(*model_, normals_) : nullptr;
}
const RVertex* StandinMesh::MeshRenderNormals() const {
  return built_ ? normals_.vertices.data() : nullptr;
}

int32_t StandinMesh::getNumMapVerts(int channel) const {
  if (channel != 0 || !model_->colors) return 0;
  return static_cast<int32_t>(model_->colors->verts.size());
}
const Point3* StandinMesh::mapVerts(int channel) const {
  if (channel != 0 || !model_->colors) return nullptr;
  return model_->colors->verts.data();
}
const TVFace* StandinMesh::mapFaces(int channel) const {
  if (channel != 0 || !model_->colors) return nullptr;
  return model_->colors->faces.data();
}

// ---- Shapes -----------------------------------------------------------------------------

Point3 StandinSpline::SplineKnotPoint(int32_t knot) const {
  if (knot < 0 || static_cast<size_t>(knot) >= model_->knots.size()) return {};
  return model_->knots[static_cast<size_t>(knot)];
}

StandinShape::StandinShape(const std::vector<SplineModel>& splines) {
  splines_.reserve(splines.size());
  for (const SplineModel& spline : splines) splines_.emplace_back(spline);
}

const HostSpline* StandinShape::GetSpline(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= splines_.size()) return nullptr;
  return &splines_[static_cast<size_t>(index)];
}

// ---- StandinObject ----------------------------------------------------------------------

StandinObject::StandinObject(const ObjectModel& model, StandinTemporaries& temporaries)
    : model_(&model),
      temporaries_(&temporaries),
      kind_(model.kind),
      native_(model.native),
      superClassId_(EffectiveSuperClassId(model)),
      classId_(EffectiveClassId(model)) {
  if (kind_ == ObjectKind::kMesh && native_) mesh_ = std::make_unique<StandinMesh>(model.mesh);
  if (kind_ == ObjectKind::kShape && native_) shape_ = std::make_unique<StandinShape>(model.splines);
}

StandinObject::StandinObject(const ObjectModel& source, StandinTemporaries& temporaries, Made made)
    : model_(&source), temporaries_(&temporaries), native_(true), temporary_(true) {
  if (made == Made::kTriObject) {
    kind_ = ObjectKind::kMesh;
    superClassId_ = DefaultSuperClassId(kind_);
    classId_ = triObjectClassID;
    mesh_ = std::make_unique<StandinMesh>(source.kind == ObjectKind::kMesh ? source.mesh : EmptyMesh());
  } else {
    kind_ = ObjectKind::kShape;
    superClassId_ = DefaultSuperClassId(kind_);
    classId_ = kSplineShapeClassId;
    shape_ = std::make_unique<StandinShape>(source.splines);
  }
}

uint32_t StandinObject::ObjectSuperClassId() const {
  return superClassId_;
}

ClassId StandinObject::ObjectClassId() const {
  return classId_;
}

bool StandinObject::ObjectCanConvertTo(ClassId target) const {
  if (target == triObjectClassID) {
    // A temporary spline shape keeps its source's alsoMesh.
    return kind_ == ObjectKind::kMesh || (kind_ == ObjectKind::kShape && model_->alsoMesh);
  }
  if (target == kSplineShapeClassId) return kind_ == ObjectKind::kShape;
  return false;
}

HostObject* StandinObject::ObjectConvertTo(ClassId target, TimeValue /*t*/) {
  if (!ObjectCanConvertTo(target)) return nullptr;
  if (target == triObjectClassID) return mesh_ ? this : MakeTemporary(Made::kTriObject);
  return shape_ ? this : MakeTemporary(Made::kSplineShape);
}

HostObject* StandinObject::MakeTemporary(Made made) {
  return temporaries_->Keep(std::unique_ptr<StandinObject>(new StandinObject(*model_, *temporaries_, made)));
}

void StandinObject::ReleaseTemporaryObject() {
  // Frees this object: nothing may touch it after the call.
  if (temporary_) temporaries_->Free(this);
}

StandinObject* StandinTemporaries::Keep(std::unique_ptr<StandinObject> temporary) {
  StandinObject* kept = temporary.get();
  live_.emplace(kept, std::move(temporary));
  return kept;
}

void StandinTemporaries::Free(const StandinObject* temporary) {
  live_.erase(temporary);
}

int32_t StandinObject::LightTypeCode() const {
  return kind_ == ObjectKind::kLight ? model_->light.lightType : LightModel().lightType;
}

Point3 StandinObject::LightColor(TimeValue /*t*/) const {
  return kind_ == ObjectKind::kLight ? model_->light.color : LightModel().color;
}

float StandinObject::LightIntensity(TimeValue /*t*/) const {
  return kind_ == ObjectKind::kLight ? model_->light.intensity : LightModel().intensity;
}

HostMesh* StandinObject::TriObjectMesh() {
  return mesh_.get();
}

const HostBezierShape* StandinObject::ShapeObjectBezierShape() const {
  return shape_.get();
}

// ---- StandinNode ------------------------------------------------------------------------

TriObjectResult StandinNode::ConvertNodeToTriangleObject(TimeValue t) {
  if (!object_.ObjectCanConvertTo(triObjectClassID)) return {};
  HostObject* tri = object_.ObjectConvertTo(triObjectClassID, t);
  return {tri, tri != nullptr && tri != &object_};
}

}  // namespace cvm::standin
