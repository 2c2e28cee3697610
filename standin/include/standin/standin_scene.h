// The stand-in host: a scene held in memory (a SceneModel) served through the host access
// interfaces, as the modelling application would serve its own scene. Used by the converter,
// the tests and the benchmarks.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/host_scene.h"
#include "standin/scene_model.h"

namespace cvm::standin {

class StandinNode;
class StandinMaterial;
class StandinTexmap;
class StandinTemporaries;

// Owns the model and one handle per node, material and texmap (handles are stable for the
// scene's life, so the same index is the same handle), and serves the model as the document
// format defines it. A conversion's temporary lives until the exporter releases it; those it
// never releases are freed with the scene. Not copyable or movable (handles point into it).
class StandinScene final : public HostScene {
 public:
  // model must pass ValidateSceneModel (MakeStandinScene checks it).
  explicit StandinScene(SceneModel model);
  ~StandinScene();
  StandinScene(const StandinScene&) = delete;
  StandinScene& operator=(const StandinScene&) = delete;

  // Calls callback once per node in model order until it returns non-zero.
  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override;

  const SceneModel& Model() const { return model_; }
  size_t NodeCount() const { return nodes_.size(); }
  HostNode* Node(size_t index);                  // index < NodeCount()
  HostMaterial* Material(size_t index);          // index < Model().materials.size()
  const HostTexmap* Texmap(size_t index) const;  // index < Model().texmaps.size()

 private:
  SceneModel model_;
  std::unique_ptr<StandinTemporaries> temporaries_;
  std::vector<std::unique_ptr<StandinMaterial>> materials_;
  std::vector<std::unique_ptr<StandinTexmap>> texmaps_;
  std::vector<std::unique_ptr<StandinNode>> nodes_;
};

// Validates model (ValidateSceneModel) and builds a scene from it; null and error set on a
// violation.
std::unique_ptr<StandinScene> MakeStandinScene(SceneModel model, std::string& error);

}  // namespace cvm::standin
