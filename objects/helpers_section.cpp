#include "objects/helpers_section.h"

#include "export_context/file_axes.h"
#include "format/record_writer.h"
#include "objects/node_user_text.h"

namespace cvm {

void WriteHelpersSection(ExportContext& ctx) {
  SetProgressText(ctx.progress, "Exporting Helpers\n");
  for (const uint32_t position : ctx.lists.helpers) {
    const HostNode* node = ctx.NodeAt(position);
    const Matrix3 m = node->ObjectToWorldTransform(0);
    format::CvmHelper helper;
    helper.name = node->NodeName();
    helper.position = ToFileAxes(m.GetRow(3));
    // X, Z, Y with each point written x, z, y: an unrotated helper reads as the identity
    // basis in the file's y-up frame.
    helper.axisX = ToFileAxes(Normalize(m.GetRow(0)));
    helper.axisZ = ToFileAxes(Normalize(m.GetRow(2)));
    helper.axisY = ToFileAxes(Normalize(m.GetRow(1)));
    helper.userText = NodeUserTextField(node->NodeUserText());
    format::WriteRecord(ctx.stream, helper);
  }
}

}  // namespace cvm
