#include "format/output_target.h"

namespace cvm {

bool MemoryTarget::Open(std::string& /*error*/) {
  sink_.bytes.clear();
  committed = false;
  return true;
}

bool MemoryTarget::Commit(std::string& /*error*/) {
  committed = true;
  return true;
}

void MemoryTarget::Abort() {
  sink_.bytes = std::vector<uint8_t>();  // the memory too
  committed = false;
}

}  // namespace cvm
