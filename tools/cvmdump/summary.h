// The readable summary cvmdump prints without --json: the header, the counts, and a line or a
// few per texture, material, mesh, light, helper and spline record with their key facts.
#pragma once

#include <string>

#include "reader/cvm_reader.h"

namespace cvm::reader {

std::string FormatSummary(const CvmFile& file);

}  // namespace cvm::reader
