// The helpers section: one record per helper node (both accepted helper classes alike), with
// no count or tag of its own (the file header carries the helper count).
#pragma once

#include "export_context/export_context.h"

namespace cvm {

// One helper record per node of ctx.lists.helpers, in list order: name, position, then the
// unit axes in the order X, Z, Y (each x, z, y, none negated) and the node's user text.
// Reads only the node, never its object. Sets the progress text "Exporting Helpers\n" once,
// also for an empty list. Never refuses.
void WriteHelpersSection(ExportContext& ctx);

}  // namespace cvm
