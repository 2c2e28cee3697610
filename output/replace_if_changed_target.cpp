#include "output/replace_if_changed_target.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cvm {

ReplaceIfChangedTarget::ReplaceIfChangedTarget(std::string path) : path_(path), file_(std::move(path)) {}

ReplaceIfChangedTarget::~ReplaceIfChangedTarget() {
  StopComparing();
}

bool ReplaceIfChangedTarget::Open(std::string& error) {
  StopComparing();
  unchanged_ = false;
  if (!file_.Open(error)) return false;
  existing_ = std::fopen(path_.c_str(), "rb");
  return true;
}

bool ReplaceIfChangedTarget::Append(const uint8_t* data, size_t size, std::string& error) {
  // The target is read in pieces of at most kComparePiece bytes, so that comparing holds no
  // copy of the stream's whole buffer.
  constexpr size_t kComparePiece = size_t{64} << 10;
  for (size_t done = 0; existing_ != nullptr && done < size;) {
    const size_t piece = std::min(size - done, kComparePiece);
    existingBytes_.resize(piece);
    if (std::fread(existingBytes_.data(), 1, piece, existing_) != piece ||
        std::memcmp(existingBytes_.data(), data + done, piece) != 0) {
      StopComparing();
    }
    done += piece;
  }
  return file_.Sink().Append(data, size, error);
}

bool ReplaceIfChangedTarget::Commit(std::string& error) {
  // The same bytes so far, and nothing after them: the target stays as it is.
  const bool same = existing_ != nullptr && std::fgetc(existing_) == EOF && !std::ferror(existing_);
  StopComparing();
  if (same) {
    file_.Abort();
    unchanged_ = true;
    return true;
  }
  return file_.Commit(error);
}

void ReplaceIfChangedTarget::Abort() {
  StopComparing();
  file_.Abort();
}

void ReplaceIfChangedTarget::StopComparing() {
  if (existing_ != nullptr) std::fclose(existing_);
  existing_ = nullptr;
  existingBytes_ = std::vector<uint8_t>();
}

}  // namespace cvm
