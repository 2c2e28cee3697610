// Files for the reader tests, made from their decoded records by the format's encoder, with
// every field's offset at hand (format/record_sizes.h) so that a test can corrupt, cut or
// expect an error at a field by its path ("meshes[0].cornerCount").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/record_sizes.h"
#include "reader/cvm_reader.h"
#include "tests/support/float_bits.h"

namespace cvm::reader::test {

struct BuiltFile {
  explicit BuiltFile(const CvmFile& file);

  size_t At(const std::string& path) const { return offsets.at(path); }
  // Overwrites the width-byte field (1, 2 or 4) at path + delta with value, little-endian.
  BuiltFile& Set(const std::string& path, int width, uint32_t value, size_t delta = 0);
  // Keeps only the bytes before path + delta.
  BuiltFile& CutAt(const std::string& path, size_t delta = 0);
  // Appends count zero bytes.
  BuiltFile& Pad(size_t count);
  // Appends zero bytes up to size bytes in all.
  BuiltFile& PadTo(size_t size);

  std::vector<uint8_t> bytes;
  format::FieldOffsets offsets;
};

// A file of scale 1 filled by fill, with the header's counts set from its lists.
CvmFile MakeFile(const std::function<void(CvmFile&)>& fill);

// A file that holds every kind of record: two textures plus "abc", a material with every
// optional engine block and one with none, a mesh with UV, normal and colour blocks and one
// without, two lights, a helper and two spline records (one shape without splines).
CvmFile FullCvmFile();
BuiltFile FullFile();

// Header and empty material section: the smallest valid file.
BuiltFile EmptyFile();

using cvm::test::FloatBits;

}  // namespace cvm::reader::test
