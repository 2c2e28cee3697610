// A hand-written host behind the interfaces of host/host_scene.h, for the answers the stand-in
// host never gives: counts no scene document can hold, conversions that yield nothing, a light
// that no longer evaluates, material graphs with cycles or tens of thousands of materials,
// attributes and meshes read without a whole scene. Every answer is a public field, so a test
// states exactly what the host says; the handles in them are borrowed, the test keeps them
// alive. Nothing is checked: a fake answers whatever it is given.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm::test {

// ---- Meshes ----------------------------------------------------------------------------

class FakeMesh final : public HostMesh {
 public:
  std::vector<Point3> vertices;
  std::vector<MeshFace> faces;
  std::vector<Point3> tverts;
  std::vector<TVFace> tvFaces;
  std::vector<Point3> faceNormals;  // given, not computed: buildNormals leaves them as they are
  std::vector<Point3> colours;      // map channel 0
  std::vector<TVFace> colourFaces;
  std::optional<int32_t> faceCountOverride;  // set: MeshFaceCount answers this instead
  // Set: the texture (colour) faces are the vertex faces, and tvFaces (colourFaces) are not read.
  bool tvFacesAreVertexFaces = false;
  bool colourFacesAreVertexFaces = false;
  int buildNormalsCalls = 0;
  mutable int faceNormalRequests = 0;  // calls of MeshFaceNormals

  // Appends a face over vertices a, b, c with a smoothing mask and a material id.
  void AddFace(uint32_t a, uint32_t b, uint32_t c, uint32_t smoothing = 0, uint16_t materialId = 0) {
    faces.push_back({{a, b, c}, smoothing, static_cast<uint32_t>(materialId) << 16});
  }
  // Render normals of vertex j as buildNormals will give them: entries with their smoothing
  // masks (the primary normal is entry 0), and whether they are explicit ("specified").
  void SetVertexNormals(uint32_t j, std::vector<RNormalEntry> entries, bool specified = false);

  int32_t MeshFaceCount() const override {
    return faceCountOverride ? *faceCountOverride : static_cast<int32_t>(faces.size());
  }
  const MeshFace* MeshFaces() const override { return faces.data(); }
  int32_t MeshVertexCount() const override { return static_cast<int32_t>(vertices.size()); }
  const Point3* MeshVertices() const override { return vertices.data(); }
  int32_t MeshTVertCount() const override { return static_cast<int32_t>(tverts.size()); }
  const Point3* MeshTVerts() const override { return tverts.data(); }
  const TVFace* MeshTVFaces() const override { return tvFacesAreVertexFaces ? nullptr : tvFaces.data(); }
  bool MeshTVFacesAreVertexFaces() const override { return tvFacesAreVertexFaces; }
  void buildNormals() override;
  // Null without face normals.
  const Point3* MeshFaceNormals() const override {
    ++faceNormalRequests;
    return faceNormals.empty() ? nullptr : faceNormals.data();
  }
  const RVertex* MeshRenderNormals() const override { return rverts_.empty() ? nullptr : rverts_.data(); }
  int32_t getNumMapVerts(int channel) const override {
    return channel == 0 ? static_cast<int32_t>(colours.size()) : 0;
  }
  const Point3* mapVerts(int channel) const override { return channel == 0 ? colours.data() : nullptr; }
  const TVFace* mapFaces(int channel) const override {
    return channel == 0 && !colourFacesAreVertexFaces ? colourFaces.data() : nullptr;
  }
  bool mapFacesAreVertexFaces(int channel) const override {
    return channel == 0 && colourFacesAreVertexFaces;
  }

 private:
  std::vector<std::vector<RNormalEntry>> entries_;
  std::vector<bool> specified_;
  std::vector<RVertex> rverts_;
};

// ---- Shapes ----------------------------------------------------------------------------

// Every knot stands at the same point, so a spline of any knot count costs nothing.
class FakeSpline final : public HostSpline {
 public:
  int32_t knotCount = 0;
  bool closed = false;
  Point3 knot;

  int32_t SplineKnotCount() const override { return knotCount; }
  bool SplineIsClosed() const override { return closed; }
  Point3 SplineKnotPoint(int32_t) const override { return knot; }
};

// Every spline of the shape is the same object, so a shape of 70000 splines costs nothing.
class FakeShape final : public HostBezierShape {
 public:
  int32_t splineCount = 0;
  bool splinesMissing = false;  // GetSpline answers null
  FakeSpline spline;

  int32_t BezierShapeSplineCount() const override { return splineCount; }
  const HostSpline* GetSpline(int32_t) const override { return splinesMissing ? nullptr : &spline; }
};

// ---- Objects ---------------------------------------------------------------------------

// By default a shape object (a line) that says it converts to a spline shape. Conversions go
// by convertsTo; what they give is conversion whatever the class asked for.
class FakeObject final : public HostObject {
 public:
  uint32_t superClassId = 0x40;
  ClassId classId{0x1BE9, 0};
  std::vector<ClassId> convertsTo{kSplineShapeClassId};  // the classes ObjectCanConvertTo accepts
  HostObject* conversion = nullptr;                      // this, a temporary or null
  int releases = 0;                                      // ReleaseTemporaryObject calls
  int32_t lightType = 0;
  Point3 lightColor{1, 1, 1};
  float lightIntensity = 1.0f;
  HostMesh* mesh = nullptr;  // TriObjectMesh
  const HostBezierShape* shape = nullptr;

  uint32_t ObjectSuperClassId() const override { return superClassId; }
  ClassId ObjectClassId() const override { return classId; }
  bool ObjectCanConvertTo(ClassId target) const override {
    return std::find(convertsTo.begin(), convertsTo.end(), target) != convertsTo.end();
  }
  HostObject* ObjectConvertTo(ClassId, TimeValue) override { return conversion; }
  void ReleaseTemporaryObject() override { ++releases; }
  int32_t LightTypeCode() const override { return lightType; }
  Point3 LightColor(TimeValue) const override { return lightColor; }
  float LightIntensity(TimeValue) const override { return lightIntensity; }
  HostMesh* TriObjectMesh() override { return mesh; }
  const HostBezierShape* ShapeObjectBezierShape() const override { return shape; }
};

// ---- Materials, maps and custom attributes ---------------------------------------------

class FakeTexmap final : public HostTexmap {
 public:
  explicit FakeTexmap(std::string file, ClassId id = kBitmapTexClassId)
      : fileName(std::move(file)), classId(id) {}

  std::string fileName;
  ClassId classId;

  ClassId ObjectClassId() const override { return classId; }
  const char* TexmapFileName() const override { return fileName.c_str(); }
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

// An attribute with a parameter block 0 (unless hasBlock is false) owned by className. A read
// answers the parameter of that id when it is of the kind asked for, and is refused otherwise.
class FakeCustAttrib final : public HostCustAttrib, HostParamBlock, HostParamBlockDesc {
 public:
  FakeCustAttrib(std::string owner, std::vector<FakeParam> definitions, bool withBlock = true)
      : className(std::move(owner)), params(std::move(definitions)), hasBlock(withBlock) {}

  std::string className;
  std::vector<FakeParam> params;
  bool hasBlock;

  // Every read as it was asked: id, time, the interval passed in and the table index.
  struct Read {
    int32_t id;
    TimeValue t;
    Interval valid;
    int32_t tab;
  };
  mutable std::vector<Read> reads;

  const HostParamBlock* CustAttribParamBlock() const override { return hasBlock ? this : nullptr; }
  const HostParamBlockDesc* ParamBlockDescriptor() const override { return this; }
  uint16_t ParamCount() const override { return static_cast<uint16_t>(params.size()); }
  const char* ParamInternalName(uint16_t index) const override { return params[index].name.c_str(); }
  const char* ClassDescClassName() const override { return className.c_str(); }
  bool ParamBlockGetInt(int32_t id, TimeValue t, int32_t& value, Interval& valid, int32_t tab) const override;
  bool ParamBlockGetFloat(int32_t id, TimeValue t, float& value, Interval& valid, int32_t tab) const override;
  bool ParamBlockGetPoint3(int32_t id, TimeValue t, Point3& value, Interval& valid,
                           int32_t tab) const override;

 private:
  // Records the read and gives the parameter under id when it is of that kind.
  const FakeParam* RecordRead(int32_t id, FakeParam::Kind kind, TimeValue t, const Interval& valid,
                              int32_t tab) const;
};

class FakeCustAttribContainer final : public HostCustAttribContainer {
 public:
  std::vector<const FakeCustAttrib*> attributes;

  int32_t CustAttribCount() const override { return static_cast<int32_t>(attributes.size()); }
  const HostCustAttrib* CustAttribAt(int32_t index) const override { return attributes[index]; }
};

// By default a standard material without maps, attributes or sub-materials. Not copyable: an
// allocated container is the material's own.
class FakeMaterial final : public HostMaterial {
 public:
  FakeMaterial() = default;
  explicit FakeMaterial(std::string materialName, bool multi = false)
      : name(std::move(materialName)), isMulti(multi) {}
  FakeMaterial(const FakeMaterial&) = delete;
  FakeMaterial& operator=(const FakeMaterial&) = delete;

  std::string name;
  ClassId classId{2, 0};
  bool twoSided = false;
  bool isMulti = false;
  std::vector<HostMaterial*> subs;          // entries may be null; MaterialSub is null outside them
  std::optional<int32_t> subCountOverride;  // set: MaterialSubCount answers this instead
  Point3 diffuse;
  Point3 ambient;
  Point3 specular;
  Point3 selfIllum;
  float shininess = 0.0f;
  float shininessStrength = 0.0f;
  const HostTexmap* maps[12] = {};  // a map that is there is enabled
  const HostCustAttribContainer* container = nullptr;
  int allocations = 0;          // AllocCustAttribContainer calls; each sets container to the material's own
  mutable long subQueries = 0;  // MaterialSub calls

  ClassId ObjectClassId() const override { return classId; }
  const char* MaterialName() const override { return name.c_str(); }
  bool MaterialIsTwoSided() const override { return twoSided; }
  bool MaterialIsMulti() const override { return isMulti; }
  int32_t MaterialSubCount() const override {
    return subCountOverride ? *subCountOverride : static_cast<int32_t>(subs.size());
  }
  HostMaterial* MaterialSub(int32_t index) const override {
    ++subQueries;
    return index >= 0 && static_cast<size_t>(index) < subs.size() ? subs[index] : nullptr;
  }
  Point3 MaterialDiffuseColor() const override { return diffuse; }
  Point3 MaterialAmbientColor() const override { return ambient; }
  Point3 MaterialSpecularColor() const override { return specular; }
  Point3 MaterialSelfIllumColor() const override { return selfIllum; }
  float MaterialShininess() const override { return shininess; }
  float MaterialShininessStrength() const override { return shininessStrength; }
  const HostTexmap* MaterialSubTexmap(int32_t slot) const override {
    return slot >= 0 && slot < 12 ? maps[slot] : nullptr;
  }
  bool MaterialSubTexmapEnabled(int32_t slot) const override { return MaterialSubTexmap(slot) != nullptr; }
  const HostCustAttribContainer* GetCustAttribContainer() const override { return container; }
  void AllocCustAttribContainer() override {
    ++allocations;
    container = &allocated_;
  }

 private:
  FakeCustAttribContainer allocated_;
};

// Materials with stable addresses, so that tests can wire sub-materials by pointer.
struct FakeMaterials {
  std::deque<FakeMaterial> all;
  FakeMaterial& Add(std::string name, bool isMulti = false) {
    return all.emplace_back(std::move(name), isMulti);
  }
};

// ---- Nodes and the scene ---------------------------------------------------------------

class FakeNode final : public HostNode {
 public:
  std::string name;
  std::string userText;
  bool selected = false;
  bool hidden = false;
  HostObject* object = nullptr;
  int evaluationsBeforeVanishing = -1;  // -1: never; otherwise EvaluateNodeObject is null after that many
  Matrix3 objectToWorld;
  Matrix3 pivot;
  HostMaterial* material = nullptr;
  TriObjectResult triObject;  // what ConvertNodeToTriangleObject gives

  const char* NodeName() const override { return name.c_str(); }
  const char* NodeUserText() const override { return userText.c_str(); }
  bool NodeIsSelected() const override { return selected; }
  bool NodeIsHidden(int32_t, int32_t) const override { return hidden; }
  HostObject* EvaluateNodeObject(TimeValue) override {
    if (evaluationsBeforeVanishing == 0) return nullptr;
    if (evaluationsBeforeVanishing > 0) --evaluationsBeforeVanishing;
    return object;
  }
  Matrix3 ObjectToWorldTransform(TimeValue) const override { return objectToWorld; }
  Matrix3 NodePivotTransform(TimeValue) const override { return pivot; }
  HostMaterial* NodeMaterial() const override { return material; }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue) override { return triObject; }
};

// Enumerates its nodes in order until the callback asks to stop, as the host does.
class FakeScene final : public HostScene {
 public:
  std::vector<HostNode*> nodes;

  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override {
    for (HostNode* node : nodes)
      if (callback.callback(node) != 0) return;
  }
};

}  // namespace cvm::test
