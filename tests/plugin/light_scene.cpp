#include "tests/plugin/light_scene.h"

namespace cvm::wintest {

namespace {

class LightObject final : public HostObject {
 public:
  uint32_t ObjectSuperClassId() const override { return kLightSuperClassId; }
  ClassId ObjectClassId() const override { return ClassId{0x1011, 0}; }
  bool ObjectCanConvertTo(ClassId /*target*/) const override { return false; }
  HostObject* ObjectConvertTo(ClassId /*target*/, TimeValue /*t*/) override { return nullptr; }
  void ReleaseTemporaryObject() override {}
  int32_t LightTypeCode() const override { return 0; }
  Point3 LightColor(TimeValue /*t*/) const override { return {1.0f, 0.5f, 0.25f}; }
  float LightIntensity(TimeValue /*t*/) const override { return 2.0f; }
  HostMesh* TriObjectMesh() override { return nullptr; }
  const HostBezierShape* ShapeObjectBezierShape() const override { return nullptr; }
};

}  // namespace

struct LightScene::LightNode final : public HostNode {
  explicit LightNode(std::string nodeName) : name(std::move(nodeName)) {}
  const char* NodeName() const override { return name.c_str(); }
  const char* NodeUserText() const override { return ""; }
  bool NodeIsSelected() const override { return false; }
  bool NodeIsHidden(int32_t /*hideFrozen*/, int32_t /*hideHidden*/) const override { return false; }
  HostObject* EvaluateNodeObject(TimeValue /*t*/) override { return &object; }
  Matrix3 ObjectToWorldTransform(TimeValue /*t*/) const override {
    Matrix3 m;
    m.SetRow(3, {1.0f, 2.0f, 3.0f});
    return m;
  }
  Matrix3 NodePivotTransform(TimeValue t) const override { return ObjectToWorldTransform(t); }
  HostMaterial* NodeMaterial() const override { return nullptr; }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue /*t*/) override { return {}; }

  std::string name;
  LightObject object;
};

LightScene::LightScene(int lightCount) {
  for (int i = 0; i < lightCount; ++i)
    nodes_.push_back(std::make_unique<LightNode>("Light" + std::to_string(i + 1)));
}

LightScene::~LightScene() = default;

void LightScene::EnumerateSceneNodes(HostSceneEnumCallback& callback) {
  for (auto& node : nodes_) callback.callback(node.get());
}

}  // namespace cvm::wintest
