#include "objects/helpers_section.h"

#include "objects/node_user_text.h"

namespace cvm {

void WriteHelpersSection(ExportContext& ctx) {
  SetProgressText(ctx.progress, "Exporting Helpers\n");
  OutputStream& out = ctx.stream;
  for (const uint32_t position : ctx.lists.helpers) {
    const HostNode* node = ctx.NodeAt(position);
    const Matrix3 m = node->ObjectToWorldTransform(0);
    WriteString(node->NodeName(), out);
    WritePointXZY(m.GetRow(3), out);
    // X, Z, Y with each point written x, z, y: an unrotated helper reads as the identity
    // basis in the file's y-up frame.
    WritePointXZY(Normalize(m.GetRow(0)), out);
    WritePointXZY(Normalize(m.GetRow(2)), out);
    WritePointXZY(Normalize(m.GetRow(1)), out);
    WriteNodeUserText(node->NodeUserText(), out);
  }
}

}  // namespace cvm
