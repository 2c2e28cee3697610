#include "meshes/mesh_section.h"

#include <string>

#include "meshes/mesh_node.h"

namespace cvm {

void WriteMeshSection(ExportContext& ctx, const MaterialList& materials) {
  MeshWork work;
  for (const uint32_t position : ctx.lists.meshes) {
    std::string error;
    if (!WriteMeshNode(*ctx.NodeAt(position), ctx.options, materials, ctx.progress, ctx.runner, work,
                       ctx.stream, error)) {
      ctx.Refuse(error);
      return;
    }
  }
}

}  // namespace cvm
