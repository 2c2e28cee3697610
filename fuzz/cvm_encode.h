// Encodes a decoded file back into bytes, field for field in the order the reader consumes
// them. The format has one encoding per file (flags are 0 or 1, optional blocks sit behind
// their flags, nothing is padded), so any bytes the reader accepts must come back unchanged;
// the reader fuzz target relies on that to notice bytes that were skipped or misread.
#pragma once

#include <cstdint>
#include <vector>

#include "reader/cvm_reader.h"

namespace cvm::fuzz {

std::vector<uint8_t> EncodeCvm(const reader::CvmFile& file);

}  // namespace cvm::fuzz
