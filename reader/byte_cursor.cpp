#include "reader/byte_cursor.h"

namespace cvm::reader {

bool Fail(ByteCursor& c, size_t offset, const std::string& message) {
  c.error->kind = ReadErrorKind::Format;
  c.error->offset = offset;
  c.error->message = c.context.empty() ? message : c.context + ": " + message;
  return false;
}

bool Need(ByteCursor& c, uint64_t bytes, const char* field) {
  if (bytes <= Remaining(c)) return true;
  return Fail(c, c.offset,
              std::string(field) + ": needs " + std::to_string(bytes) + " bytes, " +
                  std::to_string(Remaining(c)) + " remain");
}

bool CheckCount(ByteCursor& c, size_t countOffset, uint64_t count, uint64_t elementSize, const char* what) {
  // count < 2^32 and elementSize is a small record size, so the product cannot overflow.
  const uint64_t bytes = count * elementSize;
  if (bytes <= Remaining(c)) return true;
  return Fail(c, countOffset,
              std::string(what) + " count " + std::to_string(count) + " needs at least " +
                  std::to_string(bytes) + " bytes, " + std::to_string(Remaining(c)) + " remain");
}

bool ReadU8(ByteCursor& c, const char* field, uint8_t& out) {
  if (!Need(c, 1, field)) return false;
  out = c.data[c.offset];
  c.offset += 1;
  return true;
}

bool ReadU16(ByteCursor& c, const char* field, uint16_t& out) {
  if (!Need(c, 2, field)) return false;
  out = LoadU16(c.data + c.offset);
  c.offset += 2;
  return true;
}

bool ReadU32(ByteCursor& c, const char* field, uint32_t& out) {
  if (!Need(c, 4, field)) return false;
  out = LoadU32(c.data + c.offset);
  c.offset += 4;
  return true;
}

bool ReadF32(ByteCursor& c, const char* field, float& out) {
  if (!Need(c, 4, field)) return false;
  out = LoadF32(c.data + c.offset);
  c.offset += 4;
  return true;
}

bool ReadVec3(ByteCursor& c, const char* field, Vec3& out) {
  if (!Need(c, 12, field)) return false;
  const uint8_t* p = c.data + c.offset;
  out = {LoadF32(p), LoadF32(p + 4), LoadF32(p + 8)};
  c.offset += 12;
  return true;
}

bool ReadColor16(ByteCursor& c, const char* field, Color16& out) {
  if (!Need(c, 6, field)) return false;
  const uint8_t* p = c.data + c.offset;
  out = {LoadU16(p), LoadU16(p + 2), LoadU16(p + 4)};
  c.offset += 6;
  return true;
}

bool ReadFlag(ByteCursor& c, size_t width, const char* field, bool& out) {
  if (!Need(c, width, field)) return false;
  const uint8_t* p = c.data + c.offset;
  const uint32_t value = width == 1 ? p[0] : width == 2 ? LoadU16(p) : LoadU32(p);
  if (value > 1) {
    return Fail(c, c.offset, std::string(field) + " is " + std::to_string(value) + ", not 0 or 1");
  }
  out = value == 1;
  c.offset += width;
  return true;
}

bool ReadString(ByteCursor& c, const char* field, std::string& out) {
  const uint8_t* begin = c.data + c.offset;
  const void* end = Remaining(c) == 0 ? nullptr : std::memchr(begin, 0, Remaining(c));
  if (end == nullptr) {
    return Fail(c, c.offset, std::string(field) + ": no terminating 0 byte before the end of the file");
  }
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - begin);
  out.assign(reinterpret_cast<const char*>(begin), length);
  c.offset += length + 1;
  return true;
}

}  // namespace cvm::reader
