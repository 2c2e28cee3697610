#include "import/gltf_container.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cvm::import {

MappedFile::MappedFile(MappedFile&& other) noexcept {
  *this = std::move(other);
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    read_ = std::move(other.read_);
  }
  return *this;
}

MappedFile::~MappedFile() {
  Release();
}

void MappedFile::Release() {
#if !defined(_WIN32)
  if (mapped_ && data_ != nullptr) munmap(data_, size_);
#endif
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
  read_.clear();
}

bool MappedFile::Open(const std::string& path, std::string& error) {
  Release();
#if !defined(_WIN32)
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot open the file: ") + std::strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "cannot open the file: not a regular file";
    ::close(fd);
    return false;
  }
  size_ = static_cast<size_t>(info.st_size);
  if (size_ > 0) {
    void* data = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
      error = std::string("cannot map the file: ") + std::strerror(errno);
      ::close(fd);
      size_ = 0;
      return false;
    }
    data_ = data;
    mapped_ = true;
  }
  ::close(fd);
  return true;
#else
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = "cannot open the file";
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size < 0) {
    error = "cannot size the file";
    return false;
  }
  read_.resize(static_cast<size_t>(size));
  in.seekg(0);
  if (size > 0 && !in.read(read_.data(), size)) {
    error = "cannot read the file";
    read_.clear();
    return false;
  }
  data_ = read_.data();
  size_ = read_.size();
  return true;
#endif
}

bool LooksLikeGlb(std::string_view bytes) {
  return bytes.substr(0, 4) == "glTF";
}

float ReadLeFloat(const unsigned char* p) {
  const uint32_t bits = ReadLe32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool SplitGltfContainer(std::string_view bytes, GltfContainer& out, GltfRefusal& refusal) {
  std::string& reason = refusal.reason;
  out = GltfContainer();
  if (!LooksLikeGlb(bytes)) {
    out.json = bytes;
    return true;
  }
  out.isGlb = true;
  constexpr uint32_t kJsonChunk = 0x4E4F534A;
  constexpr uint32_t kBinChunk = 0x004E4942;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < 20) {
    refusal.damaged = true;
    reason =
        "GLB of " + std::to_string(bytes.size()) + " bytes: shorter than its header and first chunk header";
    return false;
  }
  if (ReadLe32(p + 4) != 2) {
    reason = "GLB version " + std::to_string(ReadLe32(p + 4)) + " at byte 4 (only version 2 is read here)";
    return false;
  }
  if (ReadLe32(p + 8) != bytes.size()) {
    reason = "GLB header at byte 8 gives a length of " + std::to_string(ReadLe32(p + 8)) +
             " bytes, the file has " + std::to_string(bytes.size());
    return false;
  }
  const uint64_t jsonLength = ReadLe32(p + 12);
  if (ReadLe32(p + 16) != kJsonChunk) {
    reason = "GLB chunk at byte 12 is not the JSON chunk";
    return false;
  }
  if (20 + jsonLength > bytes.size()) {
    refusal.damaged = true;
    reason =
        "GLB JSON chunk at byte 12 of " + std::to_string(jsonLength) + " bytes runs past the end of the file";
    return false;
  }
  out.json = bytes.substr(20, jsonLength);
  // Chunks start on 4-byte boundaries.
  const uint64_t next = 20 + ((jsonLength + 3) & ~uint64_t{3});
  if (next >= bytes.size()) return true;
  if (next + 8 > bytes.size()) {
    refusal.damaged = true;
    reason = "GLB chunk header at byte " + std::to_string(next) + " is cut short";
    return false;
  }
  const uint64_t binLength = ReadLe32(p + next);
  if (ReadLe32(p + next + 4) != kBinChunk) {
    reason = "GLB chunk at byte " + std::to_string(next) + " is not a BIN chunk";
    return false;
  }
  if (next + 8 + binLength > bytes.size()) {
    refusal.damaged = true;
    reason = "GLB BIN chunk at byte " + std::to_string(next) + " of " + std::to_string(binLength) +
             " bytes runs past the end of the file";
    return false;
  }
  out.binary = bytes.substr(next + 8, binLength);
  const uint64_t end = next + 8 + ((binLength + 3) & ~uint64_t{3});
  if (end < bytes.size()) {
    reason = "GLB holds more chunks after the BIN chunk (from byte " + std::to_string(end) + ")";
    return false;
  }
  return true;
}

}  // namespace cvm::import
