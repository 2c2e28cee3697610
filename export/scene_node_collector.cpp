#include "export/scene_node_collector.h"

#include "host/temporary_object.h"

namespace cvm {

int32_t SceneNodeCollector::callback(HostNode* node) {
  if (selectedOnly_ && !node->NodeIsSelected()) return 0;
  if (node->NodeIsHidden(0, 0)) return 0;
  const HostObject* object = node->EvaluateNodeObject(time_);
  if (object == nullptr) return 0;
  const uint32_t superClass = object->ObjectSuperClassId();
  if (superClass == kLightSuperClassId || superClass == kHelperSuperClassId ||
      object->ObjectCanConvertTo(kSplineShapeClassId) || object->ObjectCanConvertTo(triObjectClassID)) {
    nodes.push_back(node);
  }
  return 0;
}

KindLists ClassifyNodes(const std::vector<HostNode*>& nodes) {
  KindLists lists;
  for (uint32_t p = 0; p < nodes.size(); ++p) {
    HostNode* node = nodes[p];
    const HostObject* object = node->EvaluateNodeObject(0);
    if (object == nullptr) continue;
    const uint32_t superClass = object->ObjectSuperClassId();
    if (superClass == kLightSuperClassId) {
      lists.lights.push_back(p);
    } else if (superClass == kHelperSuperClassId) {
      const ClassId id = object->ObjectClassId();
      if (id == kDummyHelperClassId || id == kPointHelperClassId) lists.helpers.push_back(p);
    } else if (object->ObjectCanConvertTo(kSplineShapeClassId)) {
      lists.splines.push_back(p);
    } else {
      const TemporaryObject tri(node->ConvertNodeToTriangleObject(0));
      if (tri.get() == nullptr) continue;
      const HostMesh* mesh = tri.get()->TriObjectMesh();
      if (mesh != nullptr && mesh->MeshFaceCount() > 0) lists.meshes.push_back(p);
    }
  }
  return lists;
}

}  // namespace cvm
