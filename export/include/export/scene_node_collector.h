// Collection and classification of the scene's nodes.
#pragma once

#include <cstdint>
#include <vector>

#include "export_context/export_context.h"
#include "host/host_scene.h"

namespace cvm {

// The host's enumeration callback that keeps the exportable nodes, in enumeration order:
// skipped when selectedOnly and not selected, or hidden; kept when the evaluated object is
// a light (0x30), a helper (0x50), or converts to a spline shape or a triangle object.
class SceneNodeCollector final : public HostSceneEnumCallback {
 public:
  SceneNodeCollector(TimeValue time, bool selectedOnly) : time_(time), selectedOnly_(selectedOnly) {}
  int32_t callback(HostNode* node) override;

  std::vector<HostNode*> nodes;  // the collected node list; handles borrowed from the host

 private:
  TimeValue time_;
  bool selectedOnly_;
};

// Sorts the collected nodes into the four kind lists. The first matching test decides:
// light, helper (classes (0x2013, 0) and (0x876234, 0) only; other helpers are dropped),
// spline shape, triangle object with at least one face. Temporaries made to count faces
// are released here.
KindLists ClassifyNodes(const std::vector<HostNode*>& nodes);

}  // namespace cvm
