#include "objects/lights_section.h"

#include <string>

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
  OutputStream& out = ctx.stream;
  for (const uint32_t position : ctx.lists.lights) {
    HostNode* node = ctx.NodeAt(position);
    const Matrix3 m = node->ObjectToWorldTransform(0);
    const HostObject* light = node->EvaluateNodeObject(0);
    if (light == nullptr) {
      ctx.Refuse("node '" + std::string(node->NodeName()) + "': the light could not be evaluated");
      return;
    }
    WriteString(node->NodeName(), out);
    WriteU16(LightTypeForFile(light->LightTypeCode()), out);
    WritePointXZY(m.GetRow(3), out);
    // Each axis on its own: a sheared or mirrored node keeps exactly the axes it has.
    WritePointXZY(Normalize(m.GetRow(0)), out);
    WritePointXZY(Normalize(m.GetRow(1)), out);
    // The engine aims a light down its negated Z axis.
    WritePointXZY(-Normalize(m.GetRow(2)), out);
    const Point3 color = light->LightColor(0);
    WriteF32(color.x, out);
    WriteF32(color.y, out);
    WriteF32(color.z, out);
    WriteF32(light->LightIntensity(0), out);
    WriteNodeUserText(node->NodeUserText(), out);
  }
}

}  // namespace cvm
