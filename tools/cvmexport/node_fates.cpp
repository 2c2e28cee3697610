#include "tools/cvmexport/node_fates.h"

#include <unordered_map>
#include <utility>

#include "export/scene_node_collector.h"

namespace cvm::tools {

std::vector<NodeFate> NodeFates(standin::StandinScene& scene, bool selectedOnly) {
  const standin::SceneModel& model = scene.Model();
  std::vector<NodeFate> fates(scene.NodeCount());
  std::unordered_map<const HostNode*, size_t> indexOf;
  for (size_t i = 0; i < scene.NodeCount(); ++i) indexOf.emplace(scene.Node(i), i);

  SceneNodeCollector collector(0, selectedOnly);
  scene.EnumerateSceneNodes(collector);
  const KindLists lists = ClassifyNodes(collector.nodes);
  const std::pair<const KindList*, NodeSection> sections[] = {{&lists.meshes, NodeSection::kMesh},
                                                              {&lists.lights, NodeSection::kLight},
                                                              {&lists.helpers, NodeSection::kHelper},
                                                              {&lists.splines, NodeSection::kSpline}};
  for (const auto& [list, section] : sections) {
    for (size_t record = 0; record < list->size(); ++record) {
      NodeFate& fate = fates[indexOf.at(collector.nodes[(*list)[record]])];
      fate.section = section;
      fate.record = static_cast<uint32_t>(record);
    }
  }
  std::vector<bool> collected(fates.size(), false);
  for (const HostNode* node : collector.nodes) collected[indexOf.at(node)] = true;

  // The collection's tests in its own order tell why a node was left out.
  for (size_t i = 0; i < fates.size(); ++i) {
    if (fates[i].section != NodeSection::kNone) continue;
    const standin::NodeModel& node = model.nodes[i];
    if (selectedOnly && !node.selected) {
      fates[i].skipped = SkipReason::kNotSelected;
    } else if (node.hidden) {
      fates[i].skipped = SkipReason::kHidden;
    } else if (!collected[i]) {
      fates[i].skipped = SkipReason::kNotExportable;
    } else if (standin::EffectiveSuperClassId(node.object) == kHelperSuperClassId) {
      fates[i].skipped = SkipReason::kOtherHelper;
    } else {
      fates[i].skipped = SkipReason::kNoFaces;
    }
  }
  return fates;
}

const char* SectionName(NodeSection section) {
  switch (section) {
    case NodeSection::kMesh:
      return "mesh";
    case NodeSection::kLight:
      return "light";
    case NodeSection::kHelper:
      return "helper";
    case NodeSection::kSpline:
      return "spline";
    case NodeSection::kNone:
      break;
  }
  return "";
}

const char* SkipReasonText(SkipReason reason) {
  switch (reason) {
    case SkipReason::kHidden:
      return "hidden";
    case SkipReason::kNotSelected:
      return "not selected";
    case SkipReason::kNotExportable:
      return "not exportable";
    case SkipReason::kNoFaces:
      return "no faces";
    case SkipReason::kOtherHelper:
      return "helper of another class";
    case SkipReason::kNone:
      break;
  }
  return "";
}

const char* ObjectKindName(standin::ObjectKind kind) {
  switch (kind) {
    case standin::ObjectKind::kMesh:
      return "mesh";
    case standin::ObjectKind::kShape:
      return "shape";
    case standin::ObjectKind::kLight:
      return "light";
    case standin::ObjectKind::kHelper:
      return "helper";
    case standin::ObjectKind::kCamera:
      return "camera";
  }
  return "";
}

namespace {

std::string Counted(size_t count, const std::string& adjective, standin::ObjectKind kind,
                    const std::string& tail) {
  std::string noun = ObjectKindName(kind);
  if (count != 1) noun += kind == standin::ObjectKind::kMesh ? "es" : "s";
  return std::to_string(count) + " " + (adjective.empty() ? "" : adjective + " ") + noun + tail;
}

}  // namespace

std::string NothingExportedMessage(const standin::SceneModel& model, const std::vector<NodeFate>& fates) {
  if (model.nodes.empty()) return "the scene has no nodes";
  std::vector<std::pair<std::pair<SkipReason, standin::ObjectKind>, size_t>> groups;
  for (size_t i = 0; i < fates.size(); ++i) {
    const auto key = std::make_pair(fates[i].skipped, model.nodes[i].object.kind);
    auto group = groups.begin();
    while (group != groups.end() && group->first != key) ++group;
    if (group == groups.end()) {
      groups.push_back({key, 1});
    } else {
      ++group->second;
    }
  }
  std::string message = std::to_string(model.nodes.size()) + (model.nodes.size() == 1 ? " node" : " nodes") +
                        ", none exportable: ";
  for (size_t g = 0; g < groups.size(); ++g) {
    const auto [reason, kind] = groups[g].first;
    const size_t count = groups[g].second;
    if (g > 0) message += ", ";
    switch (reason) {
      case SkipReason::kHidden:
        message += Counted(count, "hidden", kind, "");
        break;
      case SkipReason::kNotSelected:
        message += Counted(count, "unselected", kind, "");
        break;
      case SkipReason::kNotExportable:
        message +=
            Counted(count, "", kind, kind == standin::ObjectKind::kCamera ? "" : " of no exportable class");
        break;
      case SkipReason::kNoFaces:
        message += Counted(count, "", kind, " without faces");
        break;
      case SkipReason::kOtherHelper:
        message += Counted(count, "", kind, " of another class");
        break;
      case SkipReason::kNone:
        message += Counted(count, "exported", kind, "");
        break;
    }
  }
  return message;
}

}  // namespace cvm::tools
