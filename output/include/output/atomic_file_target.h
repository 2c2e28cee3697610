// The export's file on disk, written atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "format/byte_sink.h"
#include "format/output_target.h"

namespace cvm {

// A file written atomically: the bytes go to a temporary file beside the target, which
// replaces the target only once everything was written, flushed and closed; then the folder is
// synced, so that the replacement survives a power cut. A failed or interrupted export leaves
// no partial file and an existing target unchanged. A target that is a symbolic link keeps its
// link: the file it leads to is the one replaced, its temporary beside it. Temporaries are
// named ".<name>.cvmtmp-<host>-<process id>" (the name cut where that would not fit in a file
// name, the host name of letters, digits, '.', '-' and '_'); opening a target removes those of
// the same target left behind by processes of this machine that no longer run, and those of any
// machine older than a day (another machine's process cannot be asked whether it runs).
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
  std::string filePath_;  // path_ with its links followed: the file replaced
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  uint64_t written_ = 0;  // bytes appended
  uint64_t flushed_ = 0;  // bytes whose writing to the disk has been started
};

// The file path stands for: path itself, or the file its symbolic links lead to (which need not
// exist yet); path itself for a loop of links.
std::string FileBehindLinks(const std::string& path);

// The temporary that process pid of this machine writes for file (a path whose links are
// followed already): for removing what a writer that was killed left behind.
std::string TemporaryPathFor(const std::string& file, unsigned long pid);

// Writes size bytes to path through an AtomicFileTarget: the file is replaced whole, or left
// as it was with error set.
bool WriteBytesAtomically(const std::string& path, const uint8_t* data, size_t size, std::string& error);

}  // namespace cvm
