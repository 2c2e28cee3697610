#include "format/byte_sink.h"

namespace cvm {

bool MemorySink::Append(const uint8_t* data, size_t size, std::string& /*error*/) {
  bytes.insert(bytes.end(), data, data + size);
  return true;
}

}  // namespace cvm
