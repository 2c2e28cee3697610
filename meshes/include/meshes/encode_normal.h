// The two-byte normal of the mesh records.
#pragma once

#include "format/records.h"
#include "host/geometry.h"

namespace cvm {

using format::EncodedNormal;

// Encodes a unit normal given in the host's axes. A normal with x and y both 0 is straight
// up (0, 0) when z > 0, else straight down (128, 0), the zero vector included. Otherwise each
// angle (acos z, atan2(y, x)) is scaled to steps in double precision, truncated toward zero
// with TruncateToInt32 and its low 8 bits kept; so a NaN angle (a NaN component, or z
// outside -1 .. 1) gives 0x80000000 and thus the byte 0. Defined for every input.
EncodedNormal EncodeNormal(const Point3& n);

}  // namespace cvm
