// The field writers: every byte of a Corvane Model file goes through them. All numbers are
// little-endian whatever the machine, built from shifts of the value. Bytes are staged in
// the stream's own buffer and handed to its sink in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/byte_sink.h"

namespace cvm {

// A buffered output over a ByteSink. A failed sink write is remembered (Failed(), Error())
// and later writes are dropped, so section writers need not check every field; the driver
// checks once after each section and at the end.
class OutputStream {
 public:
  explicit OutputStream(ByteSink& sink, size_t bufferSize = size_t{1} << 20);
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  void PutByte(uint8_t b) {
    if (used_ == buffer_.size()) Drain();
    buffer_[used_++] = b;
  }
  void PutBytes(const void* data, size_t size);
  // For block writers that build their fields in place: the address where the next bytes go
  // and how many fit there (available), at least minimum unless the buffer is smaller than
  // that. Bytes filled in count once CommitBytes is called with their
  // number (at most available); nothing else may be written in between.
  uint8_t* WritableBytes(size_t minimum, size_t& available) {
    if (buffer_.size() - used_ < minimum) Drain();
    available = buffer_.size() - used_;
    return buffer_.data() + used_;
  }
  void CommitBytes(size_t size) { used_ += size; }
  // Hands everything buffered to the sink. Returns !Failed().
  bool Flush();

  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }
  // Bytes accepted so far (buffered or handed to the sink).
  uint64_t BytesWritten() const { return drained_ + used_; }

 private:
  void Drain();

  ByteSink& sink_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  uint64_t drained_ = 0;
  bool failed_ = false;
  std::string error_;
};

// u16: the low 16 bits of value, least significant byte first; the upper bits are dropped.
void WriteU16(uint32_t value, OutputStream& stream);
// u32: the value's 32 bits, least significant byte first (-1 is FF FF FF FF).
void WriteU32(uint32_t value, OutputStream& stream);
// f32: the float's bit pattern, least significant byte first; NaN and -0 kept bit for bit.
void WriteF32(float value, OutputStream& stream);
// Exactly width bytes (width >= 1): the text and its 0 padded with zeros when it fits,
// otherwise its first width - 1 bytes and one 0. Every string field of the format uses
// width = length + 1, which writes the text and one 0 byte.
void WriteFixedString(const char* text, int32_t width, OutputStream& stream);
// Convenience for the format's string fields: the text's bytes and one 0 byte.
void WriteString(const char* text, OutputStream& stream);
// Three f32 in the order x, z, y: the host's up axis z becomes the file's second component.
// Point is any type with float members x, y and z (the host's Point3).
template <typename Point>
void WritePointXZY(const Point& point, OutputStream& stream) {
  WriteF32(point.x, stream);
  WriteF32(point.z, stream);
  WriteF32(point.y, stream);
}
// One colour component as a u16: floor(component * 255 + 0.5) in double precision, truncated
// to 32 bits (NaN and out-of-range values give 0x80000000), low 16 bits kept. Not clamped:
// 1.5 gives 383 and -0.5 gives 65409. The floor is taken without the C library's (a call on
// x86-64): floor(x) is in the 32-bit range exactly when x is in [-2^31, 2^31), and there it is
// x truncated toward zero, less one where that is above x (the same as std::floor for every
// float, checked over all of them).
inline uint16_t ColorToU16(float component) {
  const double scaled = static_cast<double>(component) * 255.0 + 0.5;
  if (!(scaled >= -2147483648.0 && scaled < 2147483648.0)) return 0;  // 0x80000000, NaN too
  int64_t whole = static_cast<int64_t>(scaled);
  if (static_cast<double>(whole) > scaled) --whole;
  return static_cast<uint16_t>(static_cast<uint64_t>(whole) & 0xFFFF);
}
// A colour (float members x, y, z for red, green, blue) as three u16 made by ColorToU16.
template <typename Color>
void WriteColorU16(const Color& color, OutputStream& stream) {
  WriteU16(ColorToU16(color.x), stream);
  WriteU16(ColorToU16(color.y), stream);
  WriteU16(ColorToU16(color.z), stream);
}

}  // namespace cvm
