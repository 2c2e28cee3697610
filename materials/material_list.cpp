#include "materials/material_list.h"

#include "materials/texture_names.h"

namespace cvm {
namespace {

// A multi-material being walked: the sub-material to visit next.
struct OpenMulti {
  HostMaterial* material;
  int32_t subCount;
  int32_t next;
};

void AddLeaf(HostMaterial* material, MaterialGathering& gathering) {
  if (gathering.materials.Contains(material)) return;  // its names came with its first listing
  gathering.materials.Append(material);
  for (const int32_t slot : TEXTURE_SLOTS_COLLECT) {
    std::string name = GetTextureFileName(material->MaterialSubTexmap(slot));
    if (!name.empty()) gathering.textures.Append(std::move(name));
  }
}

}  // namespace

uint32_t FindMaterial(const MaterialList& materials, const HostMaterial* material) {
  // Identity is all a lookup compares: the list never changes a material it finds.
  return material == nullptr ? kNoReference : materials.Find(const_cast<HostMaterial*>(material));
}

void CollectMaterial(HostMaterial* material, MaterialGathering& gathering) {
  std::vector<OpenMulti> stack;
  const auto visit = [&](HostMaterial* m) {
    if (m == nullptr) return;
    if (!m->MaterialIsMulti()) {
      AddLeaf(m, gathering);
    } else if (gathering.openedMultis.insert(m).second) {
      stack.push_back({m, m->MaterialSubCount(), 0});
    }
  };
  visit(material);
  while (!stack.empty()) {
    OpenMulti& top = stack.back();
    if (top.next >= top.subCount) {
      stack.pop_back();
      continue;
    }
    HostMaterial* sub = top.material->MaterialSub(top.next++);
    visit(sub);  // may grow the stack, so top is not used after this
  }
}

MaterialGathering GatherMaterials(const std::vector<HostNode*>& nodes,
                                  const std::vector<uint32_t>& meshList) {
  MaterialGathering gathering;
  for (const uint32_t position : meshList) {
    HostMaterial* material = nodes[position]->NodeMaterial();
    if (material == nullptr) continue;
    if (material->ObjectClassId() != kShellMaterialClassId) {
      CollectMaterial(material, gathering);
      continue;
    }
    // A node's shell material stands for its sub-materials; the shell itself is never listed.
    const int32_t subCount = material->MaterialSubCount();
    for (int32_t i = 0; i < subCount; ++i) CollectMaterial(material->MaterialSub(i), gathering);
  }
  return gathering;
}

}  // namespace cvm
