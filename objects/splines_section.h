#pragma once

#include "export/export_context.h"

namespace cvm {

// One spline record per node of ctx.lists.splines, in list order. Refuses the export when a
// shape has more splines, or a spline more knots, than a u16 count holds.
void WriteSplinesSection(ExportContext& ctx);

}  // namespace cvm
