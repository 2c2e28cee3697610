// Block writers for the large per-corner and per-value arrays of a mesh record: the same
// bytes as one field writer call per value (little-endian, built from shifts), handed to the
// stream in chunks instead of byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "export/binary_writer.h"
#include "host/geometry.h"

namespace cvm {

// count u32 values.
void WriteU32Block(const uint32_t* values, size_t count, OutputStream& stream);
// count points as f32 x, z, y each (WritePointXZY).
void WritePointXZYBlock(const Point3* points, size_t count, OutputStream& stream);
// count points as f32 x, y each (texture coordinates u, v; w is dropped).
void WritePointXYBlock(const Point3* points, size_t count, OutputStream& stream);

}  // namespace cvm
