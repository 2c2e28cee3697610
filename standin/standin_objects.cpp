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
  owner_->NoteUse();
  return static_cast<int32_t>(model_->faces.size());
}
const MeshFace* StandinMesh::MeshFaces() const {
  owner_->NoteUse();
  return model_->faces.data();
}
int32_t StandinMesh::MeshVertexCount() const {
  owner_->NoteUse();
  return static_cast<int32_t>(model_->vertices.size());
}
const Point3* StandinMesh::MeshVertices() const {
  owner_->NoteUse();
  return model_->vertices.data();
}
int32_t StandinMesh::MeshTVertCount() const {
  owner_->NoteUse();
  return static_cast<int32_t>(model_->tverts.size());
}
const Point3* StandinMesh::MeshTVerts() const {
  owner_->NoteUse();
  return model_->tverts.data();
}
const TVFace* StandinMesh::MeshTVFaces() const {
  owner_->NoteUse();
  return model_->tvFaces.data();
}

void StandinMesh::buildNormals() {
  owner_->NoteUse();
  // The mesh never changes, so normals once built stay right.
  if (built_) return;
  BuildMeshNormals(*model_, normals_);
  built_ = true;
}

const Point3* StandinMesh::MeshFaceNormals() const {
  owner_->NoteUse();
  return built_ ? normals_.faceNormals : nullptr;
}
const RVertex* StandinMesh::MeshRenderNormals() const {
  owner_->NoteUse();
  return built_ ? normals_.vertices.data() : nullptr;
}

int32_t StandinMesh::getNumMapVerts(int channel) const {
  owner_->NoteUse();
  if (channel != 0 || !model_->colors) return 0;
  return static_cast<int32_t>(model_->colors->verts.size());
}
const Point3* StandinMesh::mapVerts(int channel) const {
  owner_->NoteUse();
  if (channel != 0 || !model_->colors) return nullptr;
  return model_->colors->verts.data();
}
const TVFace* StandinMesh::mapFaces(int channel) const {
  owner_->NoteUse();
  if (channel != 0 || !model_->colors) return nullptr;
  return model_->colors->faces.data();
}

void StandinMesh::DropNormals() {
  normals_ = MeshNormals();
  built_ = false;
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

StandinObject::StandinObject(const ObjectModel& model, StandinState& state)
    : model_(&model),
      state_(&state),
      kind_(model.kind),
      native_(model.native),
      superClassId_(EffectiveSuperClassId(model)),
      classId_(EffectiveClassId(model)) {
  if (kind_ == ObjectKind::kMesh && native_) mesh_ = std::make_unique<StandinMesh>(model.mesh, *this);
  if (kind_ == ObjectKind::kShape && native_) shape_ = std::make_unique<StandinShape>(model.splines);
}

StandinObject::StandinObject(const ObjectModel& source, StandinState& state, Made made)
    : model_(&source), state_(&state), native_(true), temporary_(true) {
  if (made == Made::kTriObject) {
    kind_ = ObjectKind::kMesh;
    superClassId_ = DefaultSuperClassId(kind_);
    classId_ = triObjectClassID;
    mesh_ =
        std::make_unique<StandinMesh>(source.kind == ObjectKind::kMesh ? source.mesh : EmptyMesh(), *this);
  } else {
    kind_ = ObjectKind::kShape;
    superClassId_ = DefaultSuperClassId(kind_);
    classId_ = kSplineShapeClassId;
    shape_ = std::make_unique<StandinShape>(source.splines);
  }
}

void StandinObject::NoteUse() const {
  if (released_) ++state_->releasedObjectUses;
}

uint32_t StandinObject::ObjectSuperClassId() const {
  NoteUse();
  return superClassId_;
}

ClassId StandinObject::ObjectClassId() const {
  NoteUse();
  return classId_;
}

bool StandinObject::ObjectCanConvertTo(ClassId target) const {
  NoteUse();
  if (target == triObjectClassID) {
    // A temporary spline shape keeps its source's alsoMesh.
    return kind_ == ObjectKind::kMesh || (kind_ == ObjectKind::kShape && model_->alsoMesh);
  }
  if (target == kSplineShapeClassId) return kind_ == ObjectKind::kShape;
  return false;
}

HostObject* StandinObject::ObjectConvertTo(ClassId target, TimeValue /*t*/) {
  NoteUse();
  if (!ObjectCanConvertTo(target)) return nullptr;
  if (target == triObjectClassID) return mesh_ ? this : MakeTemporary(Made::kTriObject);
  return shape_ ? this : MakeTemporary(Made::kSplineShape);
}

HostObject* StandinObject::MakeTemporary(Made made) {
  state_->temporaries.push_back(std::unique_ptr<StandinObject>(new StandinObject(*model_, *state_, made)));
  ++state_->temporariesMade;
  return state_->temporaries.back().get();
}

void StandinObject::ReleaseTemporaryObject() {
  if (!temporary_ || released_) {
    ++state_->invalidReleases;
    return;
  }
  released_ = true;
  ++state_->temporariesReleased;
  if (mesh_) mesh_->DropNormals();
}

int32_t StandinObject::LightTypeCode() const {
  NoteUse();
  return kind_ == ObjectKind::kLight ? model_->light.lightType : LightModel().lightType;
}

Point3 StandinObject::LightColor(TimeValue /*t*/) const {
  NoteUse();
  return kind_ == ObjectKind::kLight ? model_->light.color : LightModel().color;
}

float StandinObject::LightIntensity(TimeValue /*t*/) const {
  NoteUse();
  return kind_ == ObjectKind::kLight ? model_->light.intensity : LightModel().intensity;
}

HostMesh* StandinObject::TriObjectMesh() {
  NoteUse();
  return mesh_.get();
}

const HostBezierShape* StandinObject::ShapeObjectBezierShape() const {
  NoteUse();
  return shape_.get();
}

// ---- StandinNode ------------------------------------------------------------------------

TriObjectResult StandinNode::ConvertNodeToTriangleObject(TimeValue t) {
  if (!object_.ObjectCanConvertTo(triObjectClassID)) return {};
  HostObject* tri = object_.ObjectConvertTo(triObjectClassID, t);
  return {tri, tri != nullptr && tri != &object_};
}

}  // namespace cvm::standin
