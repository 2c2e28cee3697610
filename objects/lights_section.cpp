#include "objects/lights_section.h"

#include <string>

#include "export_context/file_axes.h"
#include "format/record_writer.h"
#include "objects/node_user_text.h"

namespace cvm {
namespace {

// The engine knows the host's type codes 0 to 4 only; anything else reads as type 0.
uint16_t LightTypeForFile(int32_t hostTypeCode) {
  if (hostTypeCode >= 0 && hostTypeCode <= 4) return static_cast<uint16_t>(hostTypeCode);
  return 0;
}

}  // namespace

void WriteLightsSection(ExportContext& ctx) {
  SetProgressText(ctx.progress, "Exporting Lights\n");
  for (const uint32_t position : ctx.lists.lights) {
    HostNode* node = ctx.NodeAt(position);
    const Matrix3 m = node->ObjectToWorldTransform(0);
    const HostObject* light = node->EvaluateNodeObject(0);
    if (light == nullptr) {
      ctx.Refuse("node '" + std::string(node->NodeName()) + "': the light could not be evaluated");
      return;
    }
    format::CvmLight record;
    record.name = node->NodeName();
    record.typeCode = LightTypeForFile(light->LightTypeCode());
    record.position = ToFileAxes(m.GetRow(3));
    // Each axis on its own: a sheared or mirrored node keeps exactly the axes it has.
    record.axisX = ToFileAxes(Normalize(m.GetRow(0)));
    record.axisY = ToFileAxes(Normalize(m.GetRow(1)));
    // The engine aims a light down its negated Z axis.
    record.axisZNegated = ToFileAxes(-Normalize(m.GetRow(2)));
    const Point3 color = light->LightColor(0);
    record.color = {color.x, color.y, color.z};
    record.intensity = light->LightIntensity(0);
    record.userText = NodeUserTextField(node->NodeUserText());
    format::WriteRecord(ctx.stream, record);
  }
}

}  // namespace cvm
