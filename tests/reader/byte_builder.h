// A little-endian byte builder for hand-made .cvm files, with named marks so that tests can
// find a field's offset again (to corrupt it or to expect an error there).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/float_bits.h"

namespace cvm::reader::test {

struct ByteBuilder {
  std::vector<uint8_t> bytes;
  std::map<std::string, size_t> marks;

  ByteBuilder& Mark(const std::string& name) {
    marks[name] = bytes.size();
    return *this;
  }
  size_t At(const std::string& name) const { return marks.at(name); }

  ByteBuilder& U8(uint32_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  ByteBuilder& U16(uint32_t v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  ByteBuilder& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ByteBuilder& F32(float f) { return U32(cvm::test::FloatBits(f)); }
  ByteBuilder& Str(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return U8(0);
  }
  ByteBuilder& Xyz(float x, float y, float z) { return F32(x).F32(y).F32(z); }
  ByteBuilder& Rgb(uint32_t r, uint32_t g, uint32_t b) { return U16(r).U16(g).U16(b); }
  ByteBuilder& Raw(std::initializer_list<uint8_t> raw) {
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return *this;
  }
};

// A file that holds every kind of record: two textures plus "abc", a material with every
// optional engine block and one with none, a mesh with UV, normal and colour blocks and one
// without, two lights, a helper and two spline records (one shape without splines).
ByteBuilder FullFile();

// Header and empty material section: the smallest valid file.
ByteBuilder EmptyFile();

}  // namespace cvm::reader::test
