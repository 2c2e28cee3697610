// The counting host the tests export through: it must count each misuse of a temporary it
// claims to count, and keep that misuse away from the host it wraps.
#include "tests/support/counting_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "import/scene_document.h"
#include "standin/standin_scene.h"

namespace cvm::test {
namespace {

// An object that remembers the releases it received and every query made after its first
// release (which the host it stands for would have answered from freed memory).
class RecordingObject final : public HostObject {
 public:
  explicit RecordingObject(ClassId classId) : classId_(classId) {}

  uint32_t ObjectSuperClassId() const override { return Note(0x10u); }
  ClassId ObjectClassId() const override { return Note(classId_); }
  bool ObjectCanConvertTo(ClassId target) const override { return Note(target == triObjectClassID); }
  HostObject* ObjectConvertTo(ClassId target, TimeValue /*t*/) override {
    Note(0);
    if (target == classId_) return this;
    if (target != triObjectClassID) return nullptr;
    made.push_back(std::make_unique<RecordingObject>(triObjectClassID));
    return made.back().get();
  }
  void ReleaseTemporaryObject() override { ++releases; }
  int32_t LightTypeCode() const override { return Note(0); }
  Point3 LightColor(TimeValue /*t*/) const override { return Note(Point3{}); }
  float LightIntensity(TimeValue /*t*/) const override { return Note(0.0f); }
  HostMesh* TriObjectMesh() override { return Note(nullptr); }
  const HostBezierShape* ShapeObjectBezierShape() const override { return Note(nullptr); }

  int releases = 0;
  mutable int queriesAfterRelease = 0;
  std::vector<std::unique_ptr<RecordingObject>> made;  // kept, so that late queries are seen

 private:
  template <typename T>
  T Note(T answer) const {
    if (releases > 0) ++queriesAfterRelease;
    return answer;
  }

  ClassId classId_;
};

// One node whose own object is not a triangle object; its conversion makes a temporary.
class OneNodeScene final : public HostScene, public HostNode {
 public:
  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override { callback.callback(this); }

  const char* NodeName() const override { return "N"; }
  const char* NodeUserText() const override { return ""; }
  bool NodeIsSelected() const override { return false; }
  bool NodeIsHidden(int32_t /*hideFrozen*/, int32_t /*hideHidden*/) const override { return false; }
  HostObject* EvaluateNodeObject(TimeValue /*t*/) override { return &own; }
  Matrix3 ObjectToWorldTransform(TimeValue /*t*/) const override { return {}; }
  Matrix3 NodePivotTransform(TimeValue /*t*/) const override { return {}; }
  HostMaterial* NodeMaterial() const override { return nullptr; }
  TriObjectResult ConvertNodeToTriangleObject(TimeValue t) override {
    return {own.ObjectConvertTo(triObjectClassID, t), true};
  }

  // Every object of the scene: the node's own and the temporaries made from it.
  std::vector<const RecordingObject*> Objects() const {
    std::vector<const RecordingObject*> all{&own};
    for (const auto& made : own.made) all.push_back(made.get());
    return all;
  }

  RecordingObject own{ClassId{0x1BF8, 0}};
};

HostNode* FirstNode(HostScene& scene) {
  struct First final : HostSceneEnumCallback {
    int32_t callback(HostNode* node) override {
      first = node;
      return 1;
    }
    HostNode* first = nullptr;
  } first;
  scene.EnumerateSceneNodes(first);
  return first.first;
}

TEST(CountingHost, CountsEachMisuseOfATemporaryAndKeepsItFromTheHost) {
  struct Case {
    const char* what;
    std::function<void(HostNode&)> script;  // what an exporter does with the wrapped node
    int made;
    int released;
    int invalid;
    int uses;
    int releasesReceived;  // by the wrapped scene, over all its objects
  };
  const Case cases[] = {
      {"a node's temporary released once",
       [](HostNode& n) { n.ConvertNodeToTriangleObject(0).triObject->ReleaseTemporaryObject(); }, 1, 1, 0, 0,
       1},
      {"a converted object's temporary released once",
       [](HostNode& n) {
         n.EvaluateNodeObject(0)->ObjectConvertTo(triObjectClassID, 0)->ReleaseTemporaryObject();
       },
       1, 1, 0, 0, 1},
      {"a temporary never released", [](HostNode& n) { n.ConvertNodeToTriangleObject(0); }, 1, 0, 0, 0, 0},
      {"a node's own object released", [](HostNode& n) { n.EvaluateNodeObject(0)->ReleaseTemporaryObject(); },
       0, 0, 1, 0, 0},
      {"a conversion to the object's own class released",
       [](HostNode& n) {
         HostObject* object = n.EvaluateNodeObject(0);
         HostObject* same = object->ObjectConvertTo(object->ObjectClassId(), 0);
         EXPECT_EQ(same, object);
         same->ReleaseTemporaryObject();
       },
       0, 0, 1, 0, 0},
      {"a temporary released twice",
       [](HostNode& n) {
         HostObject* temporary = n.ConvertNodeToTriangleObject(0).triObject;
         temporary->ReleaseTemporaryObject();
         temporary->ReleaseTemporaryObject();
       },
       1, 1, 1, 0, 1},
      {"a temporary queried after its release",
       [](HostNode& n) {
         HostObject* temporary = n.ConvertNodeToTriangleObject(0).triObject;
         temporary->ReleaseTemporaryObject();
         EXPECT_EQ(temporary->ObjectClassId(), ClassId{});
         EXPECT_EQ(temporary->ObjectConvertTo(triObjectClassID, 0), nullptr);
         HostMesh* mesh = temporary->TriObjectMesh();
         ASSERT_NE(mesh, nullptr);
         EXPECT_EQ(mesh->MeshFaceCount(), 0);
       },
       1, 1, 0, 4, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OneNodeScene scene;
    CountingHost host(scene);
    HostNode* node = FirstNode(host);
    ASSERT_NE(node, nullptr);
    EXPECT_NE(node, static_cast<HostNode*>(&scene));  // the exporter holds the wrapper's handles
    c.script(*node);
    EXPECT_EQ(host.TemporariesMade(), c.made);
    EXPECT_EQ(host.TemporariesReleased(), c.released);
    EXPECT_EQ(host.InvalidReleases(), c.invalid);
    EXPECT_EQ(host.ReleasedObjectUses(), c.uses);
    int releasesReceived = 0;
    for (const RecordingObject* object : scene.Objects()) {
      releasesReceived += object->releases;
      EXPECT_LE(object->releases, 1);
      EXPECT_EQ(object->queriesAfterRelease, 0);
    }
    EXPECT_EQ(releasesReceived, c.releasesReceived);
  }
}

// The same handle of the wrapped scene gives the same handle of the wrapper, every time.
TEST(CountingHost, HandlesCompareAsTheWrappedScenesDo) {
  OneNodeScene scene;
  CountingHost host(scene);
  HostNode* node = FirstNode(host);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(FirstNode(host), node);
  EXPECT_EQ(host.Wrap(static_cast<HostNode*>(&scene)), node);
  EXPECT_EQ(node->EvaluateNodeObject(0), node->EvaluateNodeObject(0));
  const TriObjectResult first = node->ConvertNodeToTriangleObject(0);
  const TriObjectResult second = node->ConvertNodeToTriangleObject(0);
  EXPECT_TRUE(first.isTemporary);
  EXPECT_NE(first.triObject, second.triObject);
  EXPECT_NE(first.triObject, node->EvaluateNodeObject(0));
  EXPECT_EQ(host.Wrap(static_cast<HostNode*>(nullptr)), nullptr);
  EXPECT_EQ(host.Wrap(static_cast<HostMaterial*>(nullptr)), nullptr);
}

// The stand-in host frees a temporary at its release; through the counting host the misuse
// that would reach freed memory is counted instead.
TEST(CountingHost, MisusedReleasesAndUsesAfterReleaseOfTheStandinHostAreCounted) {
  std::string error;
  auto scene = import::LoadStandinScene(
      R"({"nodes": [{"object": {"kind": "mesh", "native": false, "vertices": [[0,0,0],[1,0,0],[0,1,0]],
          "faces": [[0,1,2]]}}]})",
      error);
  ASSERT_NE(scene, nullptr) << error;
  CountingHost host(*scene);
  HostObject* object = host.Wrap(scene->Node(0))->EvaluateNodeObject(0);
  object->ReleaseTemporaryObject();  // a node's own object
  EXPECT_EQ(host.InvalidReleases(), 1);
  HostObject* temporary = object->ObjectConvertTo(triObjectClassID, 0);
  temporary->ReleaseTemporaryObject();
  temporary->ReleaseTemporaryObject();  // twice
  EXPECT_EQ(host.TemporariesReleased(), 1);
  EXPECT_EQ(host.InvalidReleases(), 2);
  EXPECT_EQ(host.ReleasedObjectUses(), 0);
  EXPECT_NE(temporary->TriObjectMesh(), nullptr);
  EXPECT_EQ(host.ReleasedObjectUses(), 1);
}

}  // namespace
}  // namespace cvm::test
