// Where an export's file goes. The driver opens a target, writes through its sink and then
// either commits it (the file appears whole) or aborts it (nothing changes). Where and how a
// target keeps the bytes is its own business: a file written atomically (output/), memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/byte_sink.h"

namespace cvm {

class OutputTarget {
 public:
  virtual ~OutputTarget() = default;
  // Prepares the output. Returns false with error filled when it cannot be written.
  virtual bool Open(std::string& error) = 0;
  virtual ByteSink& Sink() = 0;
  // Makes the written bytes the output. Returns false with error filled on failure, and then
  // the output is as it was before Open.
  virtual bool Commit(std::string& error) = 0;
  // Drops what was written; the output is as it was before Open.
  virtual void Abort() = 0;
};

// The output in memory (tests, fuzzing): Commit keeps the bytes, Abort clears them.
class MemoryTarget final : public OutputTarget {
 public:
  bool Open(std::string& error) override;
  ByteSink& Sink() override { return sink_; }
  bool Commit(std::string& error) override;
  void Abort() override;

  bool committed = false;
  const std::vector<uint8_t>& Bytes() const { return sink_.bytes; }

 private:
  MemorySink sink_;
};

}  // namespace cvm
