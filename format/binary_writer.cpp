#include "format/binary_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cvm {

OutputStream::OutputStream(ByteSink& sink, size_t bufferSize)
    : sink_(sink), buffer_(bufferSize ? bufferSize : 1) {}

void OutputStream::Drain() {
  if (!failed_ && used_ > 0 && !sink_.Append(buffer_.data(), used_, error_)) failed_ = true;
  drained_ += used_;
  used_ = 0;
}

void OutputStream::PutBytes(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    if (used_ == buffer_.size()) Drain();
    const size_t n = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, p, n);
    used_ += n;
    p += n;
    size -= n;
  }
}

bool OutputStream::Flush() {
  Drain();
  return !failed_;
}

void WriteU16(uint32_t value, OutputStream& stream) {
  stream.PutByte(static_cast<uint8_t>(value & 0xFF));
  stream.PutByte(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void WriteU32(uint32_t value, OutputStream& stream) {
  stream.PutByte(static_cast<uint8_t>(value & 0xFF));
  stream.PutByte(static_cast<uint8_t>((value >> 8) & 0xFF));
  stream.PutByte(static_cast<uint8_t>((value >> 16) & 0xFF));
  stream.PutByte(static_cast<uint8_t>((value >> 24) & 0xFF));
}

void WriteF32(float value, OutputStream& stream) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteU32(bits, stream);
}

void WriteFixedString(const char* text, int32_t width, OutputStream& stream) {
  if (width < 1) return;
  const size_t n = std::strlen(text) + 1;
  const auto w = static_cast<size_t>(width);
  if (n < w) {
    stream.PutBytes(text, n);
    for (size_t i = n; i < w; ++i) stream.PutByte(0);
  } else {
    stream.PutBytes(text, w - 1);
    stream.PutByte(0);
  }
}

void WriteString(const char* text, OutputStream& stream) {
  stream.PutBytes(text, std::strlen(text) + 1);
}

}  // namespace cvm
