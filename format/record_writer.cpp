#include "format/record_writer.h"

#include "format/byte_sink.h"

namespace cvm::format {
namespace {

template <typename R>
void Write(OutputStream& stream, const R& record) {
  RecordWriter writer(stream);
  DescribeRecord(writer, record);
}

}  // namespace

void WriteRecord(OutputStream& stream, const CvmHeader& header) {
  Write(stream, header);
}
void WriteRecord(OutputStream& stream, const MaterialSectionCounts& counts) {
  Write(stream, counts);
}
void WriteRecord(OutputStream& stream, const CvmTexture& texture) {
  Write(stream, texture);
}
void WriteRecord(OutputStream& stream, const CvmEngineSettings& engine) {
  Write(stream, engine);
}
void WriteRecord(OutputStream& stream, const CvmMaterial& material) {
  Write(stream, material);
}
void WriteRecord(OutputStream& stream, const CvmLight& light) {
  Write(stream, light);
}
void WriteRecord(OutputStream& stream, const CvmHelper& helper) {
  Write(stream, helper);
}
void WriteRecord(OutputStream& stream, const CvmSplineObject& spline) {
  Write(stream, spline);
}

std::vector<uint8_t> EncodeCvm(const CvmFile& file) {
  MemorySink sink;
  {
    OutputStream stream(sink, size_t{1} << 16);
    Write(stream, file);
    stream.Flush();
  }
  return std::move(sink.bytes);
}

}  // namespace cvm::format
