// The converter's standard input and output as an input and an output (kStandardStream).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/byte_sink.h"
#include "format/output_target.h"

namespace cvm::tools {

// Reads the standard input to its end, as bytes. False with error set when it cannot be read.
bool ReadStandardInput(std::string& bytes, std::string& error);

// Writes bytes to the standard output and flushes it. False with error set when that fails.
bool WriteStandardOutput(const void* data, size_t size, std::string& error);

// An export to the standard output: the bytes are kept until Commit, which writes them all, so
// that an export that fails part way writes nothing (a pipe cannot take bytes back).
class StandardOutputTarget final : public OutputTarget {
 public:
  bool Open(std::string& error) override;
  ByteSink& Sink() override { return sink_; }
  bool Commit(std::string& error) override;
  void Abort() override;

 private:
  MemorySink sink_;
};

}  // namespace cvm::tools
