// The node's free text, the last field of every light, helper and spline record.
#pragma once

#include "format/binary_writer.h"

namespace cvm {

// Writes text (never null) as a flagged block: u16 0 alone for an empty text, otherwise
// u16 1 followed by the text's bytes and one 0 byte.
void WriteNodeUserText(const char* text, OutputStream& stream);

}  // namespace cvm
