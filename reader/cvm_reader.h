// Reader of Corvane Model files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cvm::reader {

struct CvmHeader {
  float scale = 0;
  uint32_t meshCount = 0;
  uint32_t lightCount = 0;
  uint32_t helperCount = 0;
  uint32_t splineCount = 0;
};

struct CvmFile {
  CvmHeader header;
};

struct ReadError {
  uint64_t offset = 0;
  std::string message;
};

bool ReadCvm(const uint8_t* data, size_t size, CvmFile& file, ReadError& error);

}  // namespace cvm::reader
