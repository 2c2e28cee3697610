#include "standin/standin_scene.h"

#include <utility>

#include "standin/scene_model_validate.h"
#include "standin/standin_objects.h"

namespace cvm::standin {

StandinScene::StandinScene(SceneModel model)
    : model_(std::move(model)), temporaries_(std::make_unique<StandinTemporaries>()) {
  texmaps_.reserve(model_.texmaps.size());
  for (const TexmapModel& texmap : model_.texmaps)
    texmaps_.push_back(std::make_unique<StandinTexmap>(texmap));
  materials_.reserve(model_.materials.size());
  for (const MaterialModel& material : model_.materials)
    materials_.push_back(std::make_unique<StandinMaterial>(material));
  for (const auto& material : materials_) material->Link(materials_, texmaps_);
  nodes_.reserve(model_.nodes.size());
  for (const NodeModel& node : model_.nodes) {
    HostMaterial* material =
        node.material >= 0 ? materials_[static_cast<size_t>(node.material)].get() : nullptr;
    nodes_.push_back(std::make_unique<StandinNode>(node, material, *temporaries_));
  }
}

StandinScene::~StandinScene() = default;

void StandinScene::EnumerateSceneNodes(HostSceneEnumCallback& callback) {
  for (const auto& node : nodes_) {
    if (callback.callback(node.get()) != 0) return;
  }
}

HostNode* StandinScene::Node(size_t index) {
  return nodes_.at(index).get();
}
HostMaterial* StandinScene::Material(size_t index) {
  return materials_.at(index).get();
}
const HostTexmap* StandinScene::Texmap(size_t index) const {
  return texmaps_.at(index).get();
}

std::unique_ptr<StandinScene> MakeStandinScene(SceneModel model, std::string& error) {
  if (!ValidateSceneModel(model, error)) return nullptr;
  return std::make_unique<StandinScene>(std::move(model));
}

}  // namespace cvm::standin
