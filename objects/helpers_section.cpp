#include "objects/helpers_section.h"

namespace cvm {

void WriteHelpersSection(ExportContext& ctx) { SetProgressText(ctx.progress, "Exporting Helpers\n"); }

}  // namespace cvm
