// What the export makes of every node of a scene: the section it is written to and its record
// there, or why it is left out. Worked out with the exporter's own collection and
// classification, so it always agrees with the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/standin_scene.h"

namespace cvm::tools {

enum class NodeSection { kNone, kMesh, kLight, kHelper, kSpline };

enum class SkipReason {
  kNone,           // exported
  kHidden,         // hidden nodes are never exported
  kNotSelected,    // a selected-only export and the node is not selected
  kNotExportable,  // its object is no light or helper and converts to no shape or mesh (cameras)
  kNoFaces,        // a mesh without faces
  kOtherHelper,    // a helper of a class other than dummy and point
};

struct NodeFate {
  NodeSection section = NodeSection::kNone;
  uint32_t record = 0;  // position in its section when section is not kNone
  SkipReason skipped = SkipReason::kNone;
};

// One fate per node of the scene, in node order. Converts meshes to count their faces and
// releases the temporaries, as the export does.
std::vector<NodeFate> NodeFates(standin::StandinScene& scene, bool selectedOnly);

const char* SectionName(NodeSection section);          // "mesh", "light", "helper", "spline" or ""
const char* SkipReasonText(SkipReason reason);         // "hidden", "not selected", ... or ""
const char* ObjectKindName(standin::ObjectKind kind);  // the scene document's kind names

// Why nothing was exported, for the "No Data" message: "3 nodes, none exportable: 2 cameras,
// 1 hidden mesh" (groups in order of first appearance), or "the scene has no nodes".
std::string NothingExportedMessage(const standin::SceneModel& model, const std::vector<NodeFate>& fates);

}  // namespace cvm::tools
