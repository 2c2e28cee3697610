// A hand-written host for answers the stand-in host never gives: a conversion that yields
// nothing, negative or huge counts, missing splines, a light that no longer evaluates. Every
// spline of a shape is the same object, so a shape of 70000 splines costs nothing.
#pragma once

#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm::test {

class ScriptedSpline final : public HostSpline {
 public:
  int32_t SplineKnotCount() const override { return knotCount; }
  bool SplineIsClosed() const override { return closed; }
  Point3 SplineKnotPoint(int32_t) const override { return knot; }

  int32_t knotCount = 0;
  bool closed = false;
  Point3 knot;
};

class ScriptedShape final : public HostBezierShape {
 public:
  int32_t BezierShapeSplineCount() const override { return splineCount; }
  const HostSpline* GetSpline(int32_t) const override { return splinesMissing ? nullptr : &spline; }

  int32_t splineCount = 0;
  bool splinesMissing = false;
  ScriptedSpline spline;
};

class ScriptedObject final : public HostObject {
 public:
  uint32_t ObjectSuperClassId() const override { return superClassId; }
  ClassId ObjectClassId() const override { return classId; }
  bool ObjectCanConvertTo(ClassId target) const override { return target == kSplineShapeClassId && isShape; }
  HostObject* ObjectConvertTo(ClassId, TimeValue) override { return conversion; }
  void ReleaseTemporaryObject() override { ++releases; }
  int32_t LightTypeCode() const override { return 0; }
  Point3 LightColor(TimeValue) const override { return {1, 1, 1}; }
  float LightIntensity(TimeValue) const override { return 1.0f; }
  HostMesh* TriObjectMesh() override { return nullptr; }
  const HostBezierShape* ShapeObjectBezierShape() const override { return shape; }

  uint32_t superClassId = 0x40;
  ClassId classId{0x1BE9, 0};
  bool isShape = true;
  HostObject* conversion = nullptr;  // what ObjectConvertTo gives: this, a temporary or null
  const HostBezierShape* shape = nullptr;
  int releases = 0;
};

class ScriptedNode final : public HostNode {
 public:
  const char* NodeName() const override { return name.c_str(); }
  const char* NodeUserText() const override { return userText.c_str(); }
  bool NodeIsSelected() const override { return false; }
  bool NodeIsHidden(int32_t, int32_t) const override { return false; }
  HostObject* EvaluateNodeObject(TimeValue) override {
    if (evaluationsBeforeVanishing == 0) return nullptr;
    if (evaluationsBeforeVanishing > 0) --evaluationsBeforeVanishing;
    return object;
  }
  Matrix3 ObjectToWorldTransform(TimeValue) const override { return transform; }
  Matrix3 NodePivotTransform(TimeValue) const override { return transform; }
  HostMaterial* NodeMaterial() const override { return nullptr; }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue) override { return {}; }

  std::string name;
  std::string userText;
  Matrix3 transform;
  HostObject* object = nullptr;
  int evaluationsBeforeVanishing = -1;  // -1: never; otherwise null after that many
};

class ScriptedScene final : public HostScene {
 public:
  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override {
    for (ScriptedNode* node : nodes) callback.callback(node);
  }
  std::vector<ScriptedNode*> nodes;
};

}  // namespace cvm::test
