// The splines section, the last of the file: one record per shape node, with no count or tag
// of its own (the file header carries the spline-record count).
#pragma once

#include "export_context/export_context.h"

namespace cvm {

// One spline record per node of ctx.lists.splines, in list order: name, position, the u16
// spline count, per spline its u16 knot count, closed byte and knots (offsets from the
// node's position: rotated and scaled by the node's transform, written x, z, y), then the
// node's user text. Sets the progress text "Exporting Splines\n" once, also for an empty
// list.
//
// The node's object is converted to a spline shape for the record; a temporary made by that
// conversion is released exactly once after the record, the node's own object never. A
// conversion that gives no shape writes a complete record with spline count 0, a missing
// spline an open spline without knots, and a negative count from the host counts as 0.
// Refuses the export (ctx.Refuse, naming the node) before writing the record of a shape with
// more than 65535 splines or a spline with more than 65535 knots, which the u16 counts
// cannot carry; the temporary is still released.
void WriteSplinesSection(ExportContext& ctx);

}  // namespace cvm
