#include "tools/cvmexport/checked_file_target.h"

namespace cvm::tools {

bool CheckedFileTarget::Open(std::string& error) {
  bytes_.clear();
  return output_.Open(error);
}

bool CheckedFileTarget::Append(const uint8_t* data, size_t size, std::string& error) {
  bytes_.insert(bytes_.end(), data, data + size);
  return output_.Sink().Append(data, size, error);
}

bool CheckedFileTarget::Commit(std::string& error) {
  if (!check_(bytes_, error)) {
    output_.Abort();
    return false;
  }
  return output_.Commit(error);
}

void CheckedFileTarget::Abort() {
  output_.Abort();
  bytes_.clear();
}

}  // namespace cvm::tools
