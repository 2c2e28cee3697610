#include "tools/cvmexport/checked_file_target.h"

namespace cvm::tools {

bool CheckedFileTarget::Open(std::string& error) {
  bytes_.clear();
  return file_.Open(error);
}

bool CheckedFileTarget::Append(const uint8_t* data, size_t size, std::string& error) {
  bytes_.insert(bytes_.end(), data, data + size);
  return file_.Sink().Append(data, size, error);
}

bool CheckedFileTarget::Commit(std::string& error) {
  if (!check_(bytes_, error)) {
    file_.Abort();
    return false;
  }
  return file_.Commit(error);
}

void CheckedFileTarget::Abort() {
  file_.Abort();
  bytes_.clear();
}

}  // namespace cvm::tools
