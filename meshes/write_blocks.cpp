#include "meshes/write_blocks.h"

#include <cstring>

namespace cvm {
namespace {

// Collects u32 fields little-endian and passes them on in chunks.
class U32Packer {
 public:
  explicit U32Packer(OutputStream& stream) : stream_(stream) {}
  ~U32Packer() { Flush(); }
  U32Packer(const U32Packer&) = delete;
  U32Packer& operator=(const U32Packer&) = delete;

  void Put(uint32_t value) {
    if (used_ + 4 > sizeof buffer_) Flush();
    buffer_[used_] = static_cast<uint8_t>(value & 0xFF);
    buffer_[used_ + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    buffer_[used_ + 2] = static_cast<uint8_t>((value >> 16) & 0xFF);
    buffer_[used_ + 3] = static_cast<uint8_t>((value >> 24) & 0xFF);
    used_ += 4;
  }
  void Put(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Put(bits);
  }

 private:
  void Flush() {
    if (used_ > 0) stream_.PutBytes(buffer_, used_);
    used_ = 0;
  }

  OutputStream& stream_;
  uint8_t buffer_[4096];
  size_t used_ = 0;
};

}  // namespace

void WriteU32Block(const uint32_t* values, size_t count, OutputStream& stream) {
  U32Packer packer(stream);
  for (size_t i = 0; i < count; ++i) packer.Put(values[i]);
}

void WritePointXZYBlock(const Point3* points, size_t count, OutputStream& stream) {
  U32Packer packer(stream);
  for (size_t i = 0; i < count; ++i) {
    packer.Put(points[i].x);
    packer.Put(points[i].z);
    packer.Put(points[i].y);
  }
}

void WritePointXYBlock(const Point3* points, size_t count, OutputStream& stream) {
  U32Packer packer(stream);
  for (size_t i = 0; i < count; ++i) {
    packer.Put(points[i].x);
    packer.Put(points[i].y);
  }
}

}  // namespace cvm
