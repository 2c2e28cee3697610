// The export's file on disk, written atomically.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "format/byte_sink.h"
#include "format/output_target.h"

namespace cvm {

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

}  // namespace cvm
