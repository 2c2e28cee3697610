// The host scene access layer: the only way the exporter reads the scene.
//
// The host implements these abstract interfaces, as the modelling application's SDK does;
// the exporter holds pointers to them and never sees how the scene is stored. Handles are
// compared by identity (pointer equality). Every query is made at time 0. Objects, nodes,
// materials and maps belong to the host and are only borrowed; the one exception is a
// temporary object made by a conversion, which its requester releases exactly once with
// ReleaseTemporaryObject. The only change the exporter makes to the scene is
// AllocCustAttribContainer.
//
// Nothing here throws: the interfaces cross the plug-in boundary.
#pragma once

#include <cstdint>

#include "host/geometry.h"

namespace cvm {

using TimeValue = int32_t;

struct ClassId {
  uint32_t a = 0;
  uint32_t b = 0;
  friend bool operator==(const ClassId& l, const ClassId& r) { return l.a == r.a && l.b == r.b; }
  friend bool operator!=(const ClassId& l, const ClassId& r) { return !(l == r); }
};

// Class and super-class identifiers the exporter tests against.
constexpr uint32_t kLightSuperClassId = 0x30;
constexpr uint32_t kHelperSuperClassId = 0x50;
constexpr ClassId triObjectClassID{9, 0};
constexpr ClassId kSplineShapeClassId{10, 0};
constexpr ClassId kDummyHelperClassId{0x2013, 0};
constexpr ClassId kPointHelperClassId{0x876234, 0};
constexpr ClassId kShellMaterialClassId{0x255, 0};
constexpr ClassId kBitmapTexClassId{0x240, 0};

class HostObject;
class HostMaterial;

// ---- Meshes ----------------------------------------------------------------------------

// One triangle: three vertex indices, the smoothing-group mask (one bit per group) and a
// flags word whose high 16 bits are the face's material id.
struct MeshFace {
  uint32_t v[3];
  uint32_t smGroup;
  uint32_t flags;
};

// Three indices into a texture-vertex or map-vertex array.
struct TVFace {
  uint32_t t[3];
};

// One further render normal of a vertex and the smoothing groups it serves.
struct RNormalEntry {
  Point3 normal;
  uint32_t smGroup;
};

// Render normals of one vertex. Low 8 bits of rFlags: the number of normals; bit 0x4000:
// the primary normal holds for every face. ern points at the normals 0 .. count - 1.
struct RVertex {
  uint32_t rFlags;
  Point3 primaryNormal;
  const RNormalEntry* ern;
};
constexpr uint32_t kRVertexNormalCountMask = 0xFF;
constexpr uint32_t kRVertexSpecifiedNormal = 0x4000;

// A triangle mesh. The arrays stay valid while the mesh lives; face and render normals are
// valid only after buildNormals. Indices in faces are in range (the host guarantees it).
class HostMesh {
 public:
  virtual int32_t MeshFaceCount() const = 0;
  virtual const MeshFace* MeshFaces() const = 0;
  virtual int32_t MeshVertexCount() const = 0;
  virtual const Point3* MeshVertices() const = 0;
  virtual int32_t MeshTVertCount() const = 0;
  virtual const Point3* MeshTVerts() const = 0;
  virtual const TVFace* MeshTVFaces() const = 0;  // one per face when MeshTVertCount() > 0
  // True when every face's texture-vertex indices are its vertex indices (texture vertices
  // that run parallel to the vertices, as imported meshes have them): the exporter then takes
  // the faces' indices and MeshTVFaces() may be null, so that the host need not hold a copy.
  virtual bool MeshTVFacesAreVertexFaces() const { return false; }
  // Mesh::buildNormals: fills face normals and render normals (leaves explicit ones as given).
  virtual void buildNormals() = 0;
  virtual const Point3* MeshFaceNormals() const = 0;
  virtual const RVertex* MeshRenderNormals() const = 0;  // one per vertex
  // Map channels; the exporter uses channel 0 (vertex colours).
  virtual int32_t getNumMapVerts(int channel) const = 0;
  virtual const Point3* mapVerts(int channel) const = 0;
  virtual const TVFace* mapFaces(int channel) const = 0;  // one per face when map verts exist
  // As MeshTVFacesAreVertexFaces, for a map channel's faces (mapFaces(channel) may be null).
  virtual bool mapFacesAreVertexFaces(int /*channel*/) const { return false; }

 protected:
  ~HostMesh() = default;
};

// ---- Shapes ----------------------------------------------------------------------------

class HostSpline {
 public:
  virtual int32_t SplineKnotCount() const = 0;
  virtual bool SplineIsClosed() const = 0;
  virtual Point3 SplineKnotPoint(int32_t knot) const = 0;

 protected:
  ~HostSpline() = default;
};

class HostBezierShape {
 public:
  virtual int32_t BezierShapeSplineCount() const = 0;
  virtual const HostSpline* GetSpline(int32_t index) const = 0;

 protected:
  ~HostBezierShape() = default;
};

// ---- Objects ---------------------------------------------------------------------------

// An evaluated object of a node, or a temporary made from one by a conversion.
class HostObject {
 public:
  virtual uint32_t ObjectSuperClassId() const = 0;
  virtual ClassId ObjectClassId() const = 0;
  virtual bool ObjectCanConvertTo(ClassId target) const = 0;
  // The object itself when it already is of that class, else a new temporary (or null when
  // the conversion is impossible). A result different from this object is a temporary.
  virtual HostObject* ObjectConvertTo(ClassId target, TimeValue t) = 0;
  // Destroys a temporary made by a conversion; never called on a node's own object.
  virtual void ReleaseTemporaryObject() = 0;

  // Light queries; meaningful for super class 0x30.
  virtual int32_t LightTypeCode() const = 0;
  virtual Point3 LightColor(TimeValue t) const = 0;
  virtual float LightIntensity(TimeValue t) const = 0;

  // Triangle object (class (9, 0)): its mesh, or null for any other object.
  virtual HostMesh* TriObjectMesh() = 0;
  // Spline shape (class (10, 0)): its shape, or null for any other object.
  virtual const HostBezierShape* ShapeObjectBezierShape() const = 0;

 protected:
  ~HostObject() = default;
};

// ---- Materials and maps ----------------------------------------------------------------

class HostTexmap {
 public:
  virtual ClassId ObjectClassId() const = 0;
  virtual const char* TexmapFileName() const = 0;  // never null; may be empty

 protected:
  ~HostTexmap() = default;
};

// Descriptor of a parameter block: its parameter definitions and the class that owns it.
class HostParamBlockDesc {
 public:
  virtual uint16_t ParamCount() const = 0;
  virtual const char* ParamInternalName(uint16_t index) const = 0;  // never null
  virtual const char* ClassDescClassName() const = 0;               // never null

 protected:
  ~HostParamBlockDesc() = default;
};

// Validity interval of a parameter read (start, end); the exporter passes it and ignores it.
struct Interval {
  int32_t start;
  int32_t end;
};

class HostParamBlock {
 public:
  virtual const HostParamBlockDesc* ParamBlockDescriptor() const = 0;
  // Read parameter id at time t (table index tabIndex). A read that finds no such parameter
  // or a value of an incompatible type leaves value unchanged and returns false.
  virtual bool ParamBlockGetInt(int32_t id, TimeValue t, int32_t& value, Interval& valid,
                                int32_t tabIndex) const = 0;
  virtual bool ParamBlockGetFloat(int32_t id, TimeValue t, float& value, Interval& valid,
                                  int32_t tabIndex) const = 0;
  virtual bool ParamBlockGetPoint3(int32_t id, TimeValue t, Point3& value, Interval& valid,
                                   int32_t tabIndex) const = 0;

 protected:
  ~HostParamBlock() = default;
};

class HostCustAttrib {
 public:
  virtual const HostParamBlock* CustAttribParamBlock() const = 0;  // block 0, or null

 protected:
  ~HostCustAttrib() = default;
};

class HostCustAttribContainer {
 public:
  virtual int32_t CustAttribCount() const = 0;
  virtual const HostCustAttrib* CustAttribAt(int32_t index) const = 0;

 protected:
  ~HostCustAttribContainer() = default;
};

class HostMaterial {
 public:
  virtual ClassId ObjectClassId() const = 0;
  virtual const char* MaterialName() const = 0;  // never null
  virtual bool MaterialIsTwoSided() const = 0;
  virtual bool MaterialIsMulti() const = 0;
  virtual int32_t MaterialSubCount() const = 0;
  virtual HostMaterial* MaterialSub(int32_t index) const = 0;  // may be null
  // Colours and floats of sub-material 0, front face.
  virtual Point3 MaterialDiffuseColor() const = 0;
  virtual Point3 MaterialAmbientColor() const = 0;
  virtual Point3 MaterialSpecularColor() const = 0;
  virtual Point3 MaterialSelfIllumColor() const = 0;
  virtual float MaterialShininess() const = 0;
  virtual float MaterialShininessStrength() const = 0;
  virtual const HostTexmap* MaterialSubTexmap(int32_t slot) const = 0;  // may be null
  virtual bool MaterialSubTexmapEnabled(int32_t slot) const = 0;
  // Animatable::GetCustAttribContainer / AllocCustAttribContainer.
  virtual const HostCustAttribContainer* GetCustAttribContainer() const = 0;
  virtual void AllocCustAttribContainer() = 0;

 protected:
  ~HostMaterial() = default;
};

// ---- Nodes and the scene ---------------------------------------------------------------

// A triangle object obtained from a node, and whether the conversion made it as a temporary.
struct TriObjectResult {
  HostObject* triObject = nullptr;
  bool isTemporary = false;
};

class HostNode {
 public:
  virtual const char* NodeName() const = 0;      // never null; 8-bit text
  virtual const char* NodeUserText() const = 0;  // never null; may be empty
  virtual bool NodeIsSelected() const = 0;
  virtual bool NodeIsHidden(int32_t hideFrozen, int32_t hideHidden) const = 0;
  virtual HostObject* EvaluateNodeObject(TimeValue t) = 0;
  virtual Matrix3 ObjectToWorldTransform(TimeValue t) const = 0;
  virtual Matrix3 NodePivotTransform(TimeValue t) const = 0;
  virtual HostMaterial* NodeMaterial() const = 0;  // may be null
  virtual TriObjectResult ConvertNodeToTriangleObject(TimeValue t) = 0;

 protected:
  ~HostNode() = default;
};

// The host's scene-enumeration callback: called once per node, returns 0 to go on.
class HostSceneEnumCallback {
 public:
  virtual int32_t callback(HostNode* node) = 0;

 protected:
  ~HostSceneEnumCallback() = default;
};

class HostScene {
 public:
  virtual void EnumerateSceneNodes(HostSceneEnumCallback& callback) = 0;

 protected:
  ~HostScene() = default;
};

}  // namespace cvm
