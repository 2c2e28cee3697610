// Block writers for the large per-corner and per-value arrays of a mesh record: the same
// bytes as one field writer call per value (little-endian, built from shifts), built in place
// in the stream's buffer instead of being handed over byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/binary_writer.h"
#include "host/geometry.h"

namespace cvm {

// count u32 values.
void WriteU32Block(const uint32_t* values, size_t count, OutputStream& stream);
// count points as f32 x, z, y each (WritePointXZY).
void WritePointXZYBlock(const Point3* points, size_t count, OutputStream& stream);
// count points as f32 x, y each (texture coordinates u, v; w is dropped).
void WritePointXYBlock(const Point3* points, size_t count, OutputStream& stream);
// count u16 values.
void WriteU16Block(const uint16_t* values, size_t count, OutputStream& stream);
// For each of the count faces f in faces: the u32 corner serials 3f + 2, 3f + 1, 3f (the
// face's corners in reversed order).
void WriteReversedFaceBlock(const uint32_t* faces, size_t count, OutputStream& stream);

}  // namespace cvm
