// Bounds-checked reading of a byte buffer, front to back, for the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cvm::format {

struct ByteCursor {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t offset = 0;

  size_t Remaining() const { return size - offset; }
  // Whether n more bytes are there to read.
  bool Has(uint64_t n) const { return n <= Remaining(); }
  const uint8_t* Here() const { return data + offset; }
  // The length of the text at the cursor, up to its 0 byte; false when no 0 byte comes
  // before the end of the buffer.
  bool TextLength(size_t& length) const {
    const void* zero = Remaining() == 0 ? nullptr : std::memchr(Here(), 0, Remaining());
    if (zero == nullptr) return false;
    length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - Here());
    return true;
  }
};

}  // namespace cvm::format
