#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "format/byte_cursor.h"
#include "format/record_layout.h"
#include "format/record_sizes.h"
#include "reader/cvm_reader.h"

namespace cvm::reader {
namespace {

using format::ByteCursor;
using format::Extent;
using format::Field;

// The reading visitor of the format's layout: every field from the buffer, bounds-checked, and
// every rule of the layout run where it stands. The first problem stops the reading: it is
// recorded with its offset and every later operation does nothing.
//
// Messages name the record being read ("mesh 2") and, inside it, the entry of a nested list
// ("group 0"); both are kept as labels and numbers and spelled out only for a message.
class RecordReader {
 public:
  RecordReader(const uint8_t* data, size_t size, ReadError& error) : error_(error) {
    cursor_.data = data;
    cursor_.size = data == nullptr ? 0 : size;
  }

  bool Ok() const { return ok_; }

  // ---- The state the layout's rules see --------------------------------------------------

  uint64_t Size() const { return cursor_.size; }
  size_t Remaining() const { return cursor_.Remaining(); }
  // A broken rule: message under the record and, inside it, the entry ("group 0: ...").
  bool Fail(size_t offset, const std::string& message) {
    return Record(offset, entry_.empty() ? message : EntryName() + ": " + message);
  }
  bool CheckCount(size_t countAt, uint64_t count, uint64_t elementSize, const char* what) {
    // count < 2^32 and elementSize is a small record size, so the product cannot overflow.
    const uint64_t bytes = count * elementSize;
    if (bytes <= Remaining()) return true;
    return Record(countAt, Named(what) + " count " + std::to_string(count) + " needs at least " +
                               std::to_string(bytes) + " bytes, " + std::to_string(Remaining()) + " remain");
  }

  // ---- Fields ------------------------------------------------------------------------------

  size_t U16(const Field& f, uint16_t& out) {
    return Take(Label{f.label}, 2, [&](const uint8_t* p) { out = format::LoadU16(p); });
  }
  size_t U32(const Field& f, uint32_t& out) {
    return Take(Label{f.label}, 4, [&](const uint8_t* p) { out = format::LoadU32(p); });
  }
  size_t F32(const Field& f, float& out) {
    return Take(Label{f.label}, 4, [&](const uint8_t* p) { out = format::LoadF32(p); });
  }
  size_t Vec3(const Field& f, format::Vec3& out) {
    return Take(Label{f.label}, 12, [&](const uint8_t* p) { out = format::Vec3Element::Load(p); });
  }
  size_t Color(const Field& f, format::Color16& out) {
    return Take(Label{f.label}, 6, [&](const uint8_t* p) { out = format::ColorElement::Load(p); });
  }
  size_t String(const Field& f, std::string& out) {
    const size_t at = cursor_.offset;
    if (!ok_) return at;
    size_t length = 0;
    if (!cursor_.TextLength(length))
      return Problem(at, Named(f.label) + ": no terminating 0 byte before the end of the file");
    out.assign(reinterpret_cast<const char*>(cursor_.Here()), length);
    cursor_.offset += length + 1;
    return at;
  }
  size_t Flag(const Field& f, int width, bool& out) { return ReadFlag(Label{f.label}, width, out); }
  size_t Count(const Field& f, int width, uint32_t& out) {
    return Take(Label{f.label}, static_cast<size_t>(width),
                [&](const uint8_t* p) { out = width == 2 ? format::LoadU16(p) : format::LoadU32(p); });
  }

  template <typename E, typename Seq>
  size_t Array(const Field& f, Seq& seq, const Extent& extent) {
    const size_t at = cursor_.offset;
    if (!ok_) return at;
    const uint64_t bytes = uint64_t{extent.count} * E::kSize;
    if (extent.fromCountField ? !CheckCount(extent.countAt, extent.count, E::kSize, f.label)
                              : !Need(bytes, Label{f.label}))
      return at;
    Resize(seq, extent.count);
    const uint8_t* p = cursor_.Here();
    for (size_t i = 0; i < extent.count; ++i, p += E::kSize) seq[i] = E::Load(p);
    cursor_.offset += static_cast<size_t>(bytes);
    return at;
  }

  template <typename Seq, typename Describe>
  size_t Records(const Field& f, Seq& seq, const Extent& extent, Describe describe) {
    const size_t at = cursor_.offset;
    using Entry = typename Seq::value_type;
    if (!ok_ || (extent.fromCountField && !CheckCount(extent.countAt, extent.count,
                                                      format::MinimumEntrySize<Entry>(describe), f.label)))
      return at;
    // The count was checked against the bytes left, so the list stays bounded by the input.
    seq.resize(extent.count);
    const bool top = depth_ == 0;
    const Name saved = top ? record_ : Name{};
    ++depth_;
    for (size_t i = 0; i < seq.size() && ok_; ++i) {
      if (top) {
        record_ = {f.label, i};
      } else {
        entry_.push_back({f.label, i});
      }
      describe(*this, seq[i], i);
      if (!top) entry_.pop_back();
    }
    --depth_;
    if (top && ok_) record_ = saved;
    return at;
  }

  template <typename R, typename Describe>
  size_t Record(const Field& f, R& record, Describe describe) {
    const size_t at = cursor_.offset;
    if (!ok_) return at;
    const bool top = depth_ == 0;
    // A record of fixed size is checked whole, before the record is named.
    if (const auto size = format::FixedSize<R>(describe); size && top && !cursor_.Has(*size)) {
      return Problem(at, std::string(f.label) + ": needs " + std::to_string(*size) + " bytes, " +
                             std::to_string(Remaining()) + " remain");
    }
    if (top) record_ = {f.label, std::nullopt};
    ++depth_;
    describe(*this, record);
    --depth_;
    return at;
  }

  template <typename T, typename Describe>
  size_t Optional(const Field& f, int width, std::optional<T>& out, Describe describe) {
    bool present = false;
    const Label flag = f.auxLabel != nullptr ? Label{f.auxLabel} : Label{f.label, " flag"};
    const size_t at = ReadFlag(flag, width, present);
    if (!ok_ || !present) return at;
    // A value of fixed size is checked whole.
    if (const auto size = format::FixedSize<T>(describe); size && !Need(*size, Label{f.label})) return at;
    describe(*this, out.emplace());
    return at;
  }

  template <typename Describe>
  size_t Block(const Field& f, int width, bool& present, Describe describe) {
    const size_t at = ReadFlag(Label{f.label}, width, present);
    if (ok_ && present) describe(*this);
    return at;
  }

  void Context(const char* label) {
    if (ok_) record_ = {label, std::nullopt};
  }
  template <typename Rule>
  void Check(Rule rule) {
    if (ok_) rule(*this);
  }
  void Landmark(format::Landmark) {}

 private:
  struct Name {
    const char* label = "";
    std::optional<size_t> index;
  };
  // A field's label in messages, with an ending ("U/V 1" + " flag") spelled out only there.
  struct Label {
    const char* text;
    const char* suffix = "";
  };

  static std::string Spell(const Name& name) {
    return name.index ? std::string(name.label) + " " + std::to_string(*name.index) : std::string(name.label);
  }
  std::string EntryName() const {
    std::string name;
    for (const Name& entry : entry_) name += (name.empty() ? "" : " ") + Spell(entry);
    return name;
  }
  // A field's label as messages name it: after the entry it belongs to ("group 0 face count").
  std::string Named(const char* label) const {
    return entry_.empty() ? std::string(label) : EntryName() + " " + label;
  }
  std::string Named(const Label& label) const { return Named(label.text) + label.suffix; }

  // Records the problem under the record's name and stops the reading; false for the caller.
  bool Record(size_t offset, const std::string& message) {
    const std::string record = Spell(record_);
    error_.kind = ReadErrorKind::Format;
    error_.offset = offset;
    error_.message = record.empty() ? message : record + ": " + message;
    ok_ = false;
    return false;
  }
  size_t Problem(size_t offset, const std::string& message) {
    Record(offset, message);
    return offset;
  }
  bool Need(uint64_t bytes, const Label& label) {
    if (cursor_.Has(bytes)) return true;
    return Record(cursor_.offset, Named(label) + ": needs " + std::to_string(bytes) + " bytes, " +
                                      std::to_string(Remaining()) + " remain");
  }
  template <typename Load>
  size_t Take(const Label& label, size_t bytes, Load load) {
    const size_t at = cursor_.offset;
    if (!ok_ || !Need(bytes, label)) return at;
    load(cursor_.Here());
    cursor_.offset += bytes;
    return at;
  }
  size_t ReadFlag(const Label& label, int width, bool& out) {
    uint32_t value = 0;
    const size_t at = Take(label, static_cast<size_t>(width), [&](const uint8_t* p) {
      value = width == 1 ? p[0] : width == 2 ? format::LoadU16(p) : format::LoadU32(p);
    });
    if (!ok_) return at;
    if (value > 1) {
      cursor_.offset = at;
      return Problem(at, Named(label) + " is " + std::to_string(value) + ", not 0 or 1");
    }
    out = value == 1;
    return at;
  }

  template <typename T>
  static void Resize(std::vector<T>& seq, size_t count) {
    seq.resize(count);
  }
  // A fixed list of the record (the texture references) holds exactly what the layout gives.
  template <typename T, size_t N>
  static void Resize(std::array<T, N>&, size_t) {}

  ByteCursor cursor_;
  ReadError& error_;
  bool ok_ = true;
  int depth_ = 0;            // records being read inside one another
  Name record_;              // the record being read, or the part of the file
  std::vector<Name> entry_;  // the entries of nested lists being read
};

bool OutOfMemory(CvmFile& file, ReadError& error) {
  file = CvmFile{};
  error = ReadError{};
  error.kind = ReadErrorKind::Memory;
  error.message = "out of memory";
  return false;
}

}  // namespace

bool ReadCvm(const uint8_t* data, size_t size, CvmFile& file, ReadError& error) {
  try {
    file = CvmFile{};
    error = ReadError{};
    RecordReader reader(data, size, error);
    format::DescribeFile(reader, file);
    return reader.Ok();
  } catch (const std::bad_alloc&) {
    return OutOfMemory(file, error);
  }
}

bool ReadCvmFile(const std::string& path, CvmFile& file, ReadError& error) {
  auto ioError = [&](const std::string& what) {
    error = ReadError{};
    error.kind = ReadErrorKind::Io;
    error.message = what;
    return false;
  };
  const auto tooLarge = [&]() {
    return ioError("cannot read: the input is larger than " + std::to_string(kMaxCvmFileBytes) +
                   " bytes, the most this reader takes");
  };
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (stream == nullptr) return ioError(std::string("cannot open: ") + std::strerror(errno));

  // A regular file is read in one go into a buffer of its size (one byte more, to see it end),
  // left uninitialised as the read fills it. Anything else, or a file that grew, is read on
  // into a buffer that doubles, up to the limit, so that a device or pipe that never ends
  // cannot take all memory.
  std::error_code sizeError;
  const uintmax_t fileSize = std::filesystem::file_size(path, sizeError);
  if (!sizeError && fileSize > kMaxCvmFileBytes) return tooLarge();
  std::unique_ptr<uint8_t[]> bytes;
  size_t used = 0;
  try {
    size_t capacity = sizeError ? size_t{1} << 16 : static_cast<size_t>(fileSize) + 1;
    bytes.reset(new uint8_t[capacity]);
    while ((used += std::fread(bytes.get() + used, 1, capacity - used, stream.get())) == capacity) {
      if (used > kMaxCvmFileBytes) return tooLarge();
      const size_t larger = std::min(2 * capacity, kMaxCvmFileBytes + 1);
      std::unique_ptr<uint8_t[]> grown(new uint8_t[larger]);
      std::memcpy(grown.get(), bytes.get(), used);
      bytes = std::move(grown);
      capacity = larger;
    }
  } catch (const std::bad_alloc&) {
    return OutOfMemory(file, error);
  }
  if (std::ferror(stream.get()) != 0) return ioError(std::string("cannot read: ") + std::strerror(errno));
  return ReadCvm(bytes.get(), used, file, error);
}

std::string FormatReadError(const ReadError& error) {
  if (error.kind != ReadErrorKind::Format) return error.message;
  return "offset " + std::to_string(error.offset) + ": " + error.message;
}

}  // namespace cvm::reader
