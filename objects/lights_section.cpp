#include "objects/lights_section.h"

namespace cvm {

void WriteLightsSection(ExportContext& ctx) { SetProgressText(ctx.progress, "Exporting Lights\n"); }

}  // namespace cvm
