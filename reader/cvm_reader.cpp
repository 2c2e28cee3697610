#include "reader/cvm_reader.h"

namespace cvm::reader {

bool ReadCvm(const uint8_t* /*data*/, size_t /*size*/, CvmFile& /*file*/, ReadError& error) {
  error = {0, "reader not built yet"};
  return false;
}

}  // namespace cvm::reader
