// The lights section: one record per light node, with no count or tag of its own (the file
// header carries the light count).
#pragma once

#include "export_context/export_context.h"

namespace cvm {

// One light record per node of ctx.lists.lights, in list order: name, type code, position,
// the unit X and Y axes and the negated unit Z axis (each x, z, y), colour, intensity and
// the node's user text. Sets the progress text "Exporting Lights\n" once, also for an empty
// list. Refuses the export, before writing that node's record, when a listed node no
// longer evaluates to an object; the record's fields would otherwise be invented.
void WriteLightsSection(ExportContext& ctx);

}  // namespace cvm
