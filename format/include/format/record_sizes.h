// Sizes and field offsets of records, counted from their layout (record_layout.h) without
// writing a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "format/record_layout.h"

namespace cvm::format {

// Where each field of an encoded file starts, by path: "header.meshCount",
// "materials[0].engine.colorKeyFlag", "meshes[1].groups[0].faces". A record of a list is found
// under its own path ("textures[2]"), an optional part's flag under its flag key
// ("lights[0].userTextFlag") and its value under the part's key.
using FieldOffsets = std::map<std::string, size_t>;

// The size visitor: adds up the bytes a writer would write for a record, and notes where each
// field starts when given a FieldOffsets to fill.
class SizeCounter : public IgnoresRules {
 public:
  explicit SizeCounter(FieldOffsets* offsets = nullptr) : offsets_(offsets) {}

  uint64_t Size() const { return size_; }
  // Whether the record's size depends on its content (strings, lists, optional parts).
  bool Variable() const { return variable_; }

  template <typename T>
  size_t U16(const Field& f, const T&) {
    return Add(f, 2);
  }
  template <typename T>
  size_t U32(const Field& f, const T&) {
    return Add(f, 4);
  }
  template <typename T>
  size_t F32(const Field& f, const T&) {
    return Add(f, 4);
  }
  template <typename T>
  size_t Vec3(const Field& f, const T&) {
    return Add(f, 12);
  }
  template <typename T>
  size_t Color(const Field& f, const T&) {
    return Add(f, 6);
  }
  template <typename T>
  size_t String(const Field& f, const T& text) {
    variable_ = true;
    return Add(f, std::string_view(text).size() + 1);
  }
  template <typename T>
  size_t Flag(const Field& f, int width, const T&) {
    return Add(f, static_cast<uint64_t>(width));
  }
  template <typename T>
  size_t Count(const Field& f, int width, const T&) {
    variable_ = true;
    return Add(f, static_cast<uint64_t>(width));
  }
  template <typename E, typename Seq>
  size_t Array(const Field& f, const Seq& seq, const Extent& extent) {
    if (extent.fromCountField) variable_ = true;
    return Add(f, uint64_t{SizeOf(seq)} * E::kSize);
  }
  template <typename Seq, typename Describe>
  size_t Records(const Field& f, Seq& seq, const Extent&, Describe describe) {
    variable_ = true;
    const size_t start = Position();
    for (size_t i = 0; i < seq.size(); ++i) {
      Nest nest(*this, f.key, i);
      Note(path_.Current());
      describe(*this, seq[i], i);
    }
    return start;
  }
  template <typename R, typename Describe>
  size_t Record(const Field& f, R& record, Describe describe) {
    const size_t start = Position();
    Nest nest(*this, f.key);
    Note(path_.Current());
    describe(*this, record);
    return start;
  }
  template <typename O, typename Describe>
  size_t Optional(const Field& f, int width, O& optional, Describe describe) {
    variable_ = true;
    const size_t start = Add(FlagPath(f), static_cast<uint64_t>(width));
    if (optional) {
      Nest nest(*this, f.key);
      describe(*this, *optional);
    }
    return start;
  }
  template <typename Describe>
  size_t Block(const Field& f, int width, bool present, Describe describe) {
    variable_ = true;
    const size_t start = Add(f, static_cast<uint64_t>(width));
    if (present) describe(*this);
    return start;
  }

 private:
  // Steps into a record of a list, or a named part, for the paths of its fields (only when the
  // offsets are noted).
  struct Nest {
    Nest(SizeCounter& c, const char* key, std::optional<size_t> index = std::nullopt) {
      if (c.offsets_ != nullptr) scope.emplace(c.path_, key, index);
    }
    std::optional<FieldPath::Scope> scope;
  };

  std::string FlagPath(const Field& f) const {
    if (offsets_ == nullptr) return std::string();
    return path_.Of(f.auxKey != nullptr ? f.auxKey : (std::string(f.key) + "Flag").c_str());
  }
  size_t Position() const { return static_cast<size_t>(size_); }
  void Note(const std::string& path) {
    if (offsets_ != nullptr) offsets_->emplace(path, Position());
  }
  size_t Add(const Field& f, uint64_t bytes) {
    if (offsets_ != nullptr) Note(path_.Of(f.key));
    return Advance(bytes);
  }
  size_t Add(const std::string& path, uint64_t bytes) {
    Note(path);
    return Advance(bytes);
  }
  size_t Advance(uint64_t bytes) {
    const size_t start = Position();
    size_ += bytes;
    return start;
  }

  FieldOffsets* offsets_;
  FieldPath path_;
  uint64_t size_ = 0;
  bool variable_ = false;
};

template <typename R>
uint64_t MinimumSize() {
  static const uint64_t size = [] {
    R record{};
    SizeCounter counter;
    DescribeRecord(counter, record);
    return counter.Size();
  }();
  return size;
}

// The smallest encoding of one entry of a list of records described by describe.
template <typename T, typename Describe>
uint64_t MinimumEntrySize(Describe& describe) {
  T entry{};
  SizeCounter counter;
  describe(counter, entry, 0);
  return counter.Size();
}

// The size of a part described by describe when that size never depends on its content.
template <typename T, typename Describe>
std::optional<uint64_t> FixedSize(Describe& describe) {
  T part{};
  SizeCounter counter;
  describe(counter, part);
  if (counter.Variable()) return std::nullopt;
  return counter.Size();
}

// Where every field of file starts once it is encoded (EncodeCvm).
inline FieldOffsets OffsetsOf(const CvmFile& file) {
  FieldOffsets offsets;
  SizeCounter counter(&offsets);
  DescribeFile(counter, file);
  return offsets;
}

}  // namespace cvm::format
