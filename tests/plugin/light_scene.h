// A small scene for the plug-in tests that does not depend on the scene document: a list
// of visible, unselected light nodes (an empty list is the "No Data" case). The export of
// n lights is the 20-byte header, the empty material section and n light records.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm::wintest {

class LightScene final : public HostScene {
 public:
  explicit LightScene(int lightCount);
  ~LightScene();
  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override;

 private:
  struct LightNode;
  std::vector<std::unique_ptr<LightNode>> nodes_;
};

}  // namespace cvm::wintest
