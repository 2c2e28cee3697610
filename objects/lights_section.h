#pragma once

#include "export/export_context.h"

namespace cvm {

// One light record per node of ctx.lists.lights, in list order.
void WriteLightsSection(ExportContext& ctx);

}  // namespace cvm
