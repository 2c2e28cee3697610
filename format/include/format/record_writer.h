// Records written through their layout (record_layout.h): the section writers write every
// record this way, and EncodeCvm turns a decoded file back into its bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "format/binary_writer.h"
#include "format/record_layout.h"

namespace cvm::format {

// The writing visitor: every field through the field writers into stream. Lists are built in
// place in the stream's buffer, as many entries at a time as fit. The rules of the format are
// not checked: a writer states what it writes. onLandmark, when set, is called at each landmark
// of the record, before what follows it is written.
class RecordWriter : public IgnoresRules {
 public:
  explicit RecordWriter(OutputStream& stream,
                        const std::function<void(format::Landmark)>* onLandmark = nullptr)
      : stream_(stream), onLandmark_(onLandmark) {}

  size_t U16(const Field&, uint32_t value) {
    WriteU16(value, stream_);
    return 0;
  }
  size_t U32(const Field&, uint32_t value) {
    WriteU32(value, stream_);
    return 0;
  }
  size_t F32(const Field&, float value) {
    WriteF32(value, stream_);
    return 0;
  }
  template <typename V>
  size_t Vec3(const Field&, const V& v) {
    WriteF32(v.x, stream_);
    WriteF32(v.y, stream_);
    WriteF32(v.z, stream_);
    return 0;
  }
  size_t Color(const Field&, const Color16& c) {
    WriteU16(c.r, stream_);
    WriteU16(c.g, stream_);
    WriteU16(c.b, stream_);
    return 0;
  }
  size_t String(const Field&, std::string_view text) {
    stream_.PutBytes(text.data(), text.size());
    stream_.PutByte(0);
    return 0;
  }
  size_t Flag(const Field&, int width, bool value) { return Number(width, value ? 1 : 0); }
  size_t Count(const Field&, int width, uint32_t count) { return Number(width, count); }

  template <typename E, typename Seq>
  size_t Array(const Field&, const Seq& seq, const Extent&) {
    const size_t count = seq.size();
    size_t i = 0;
    while (i < count) {
      size_t room = 0;
      uint8_t* out = stream_.WritableBytes(E::kSize, room);
      if (room < E::kSize) {
        // A stream buffer smaller than one entry: the entry goes through a copy of its own.
        uint8_t entry[E::kSize];
        E::Store(entry, seq[i++]);
        stream_.PutBytes(entry, E::kSize);
        continue;
      }
      const size_t n = std::min(count - i, room / E::kSize);
      for (const size_t end = i + n; i < end; ++i) out = E::Store(out, seq[i]);
      stream_.CommitBytes(n * E::kSize);
    }
    return 0;
  }
  template <typename Seq, typename Describe>
  size_t Records(const Field&, const Seq& seq, const Extent&, Describe describe) {
    for (size_t i = 0; i < seq.size(); ++i) describe(*this, seq[i], i);
    return 0;
  }
  template <typename R, typename Describe>
  size_t Record(const Field&, const R& record, Describe describe) {
    describe(*this, record);
    return 0;
  }
  template <typename O, typename Describe>
  size_t Optional(const Field&, int width, const O& optional, Describe describe) {
    Number(width, optional ? 1 : 0);
    if (optional) describe(*this, *optional);
    return 0;
  }
  template <typename Describe>
  size_t Block(const Field&, int width, bool present, Describe describe) {
    Number(width, present ? 1 : 0);
    if (present) describe(*this);
    return 0;
  }
  void Landmark(format::Landmark landmark) {
    if (onLandmark_ != nullptr && *onLandmark_) (*onLandmark_)(landmark);
  }

 private:
  size_t Number(int width, uint32_t value) {
    if (width == 1) {
      stream_.PutByte(static_cast<uint8_t>(value));
    } else if (width == 2) {
      WriteU16(value, stream_);
    } else {
      WriteU32(value, stream_);
    }
    return 0;
  }

  OutputStream& stream_;
  const std::function<void(format::Landmark)>* onLandmark_;
};

// One record of each type, written to stream as its layout says.
void WriteRecord(OutputStream& stream, const CvmHeader& header);
void WriteRecord(OutputStream& stream, const MaterialSectionCounts& counts);
void WriteRecord(OutputStream& stream, const CvmTexture& texture);
void WriteRecord(OutputStream& stream, const CvmEngineSettings& engine);  // the block of a material record
void WriteRecord(OutputStream& stream, const CvmMaterial& material);
void WriteRecord(OutputStream& stream, const CvmLight& light);
void WriteRecord(OutputStream& stream, const CvmHelper& helper);
void WriteRecord(OutputStream& stream, const CvmSplineObject& spline);

// A mesh record from a view of it (see record_layout.h), with the landmarks reported.
template <typename MeshView>
void WriteMeshRecord(OutputStream& stream, const MeshView& mesh,
                     const std::function<void(format::Landmark)>& onLandmark) {
  RecordWriter writer(stream, &onLandmark);
  DescribeMesh(writer, mesh, 0);
}

// The bytes of file, field for field in the order the reader consumes them. For a file the
// reader accepted they are exactly the bytes it read.
std::vector<uint8_t> EncodeCvm(const CvmFile& file);

}  // namespace cvm::format
