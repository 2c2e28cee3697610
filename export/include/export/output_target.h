// Where an export's file goes. The driver opens a target, writes through its sink and then
// either commits it (the file appears whole) or aborts it (nothing changes).
#pragma once

#include <cstdio>
#include <string>

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

// A file written atomically: the bytes go to a temporary file in the target's folder, which
// replaces the target only once everything was written, flushed and closed. A failed or
// interrupted export leaves no partial file and an existing target unchanged. Temporaries
// are named ".<name>.cvmtmp-<process id>" (with the name cut where that would not fit in a
// file name); opening a target removes those of the same
// target left behind by processes that no longer run.
class AtomicFileTarget final : public OutputTarget, private ByteSink {
 public:
  explicit AtomicFileTarget(std::string path);
  ~AtomicFileTarget() override;

  bool Open(std::string& error) override;
  ByteSink& Sink() override { return *this; }
  bool Commit(std::string& error) override;
  void Abort() override;

  const std::string& TemporaryPath() const { return tempPath_; }

 private:
  bool Append(const uint8_t* data, size_t size, std::string& error) override;

  std::string path_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  uint64_t written_ = 0;  // bytes appended
  uint64_t flushed_ = 0;  // bytes whose writing to the disk has been started
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
