#include "objects/splines_section.h"

namespace cvm {

void WriteSplinesSection(ExportContext& ctx) { SetProgressText(ctx.progress, "Exporting Splines\n"); }

}  // namespace cvm
