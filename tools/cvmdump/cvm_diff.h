// Semantic comparison of two decoded .cvm files: the first field, in file order, whose decoded
// value differs, named by its path in the JSON form (cvm_json.h), e.g. "meshes[0].positions[3][1]"
// (record 0 of the mesh section, distinct position 3, its second stored component). Floats
// compare as that form writes them: equal bits are equal, -0 differs from 0, NaNs are equal.
#pragma once

#include <optional>
#include <string>

#include "reader/cvm_reader.h"

namespace cvm::reader {

struct CvmDifference {
  std::string path;    // where the files first differ
  std::string first;   // the value in the first file, as JSON text, or "N entries" for a count
  std::string second;  // the same for the second file
};

// The first difference between a and b, or nothing when they hold the same content.
std::optional<CvmDifference> FirstCvmDifference(const CvmFile& a, const CvmFile& b);

}  // namespace cvm::reader
