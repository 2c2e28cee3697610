#pragma once

#include "export/export_context.h"

namespace cvm {

// One helper record per node of ctx.lists.helpers, in list order.
void WriteHelpersSection(ExportContext& ctx);

}  // namespace cvm
