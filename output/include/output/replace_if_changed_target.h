// The export's file on disk, written atomically and left alone when it would not change.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "format/byte_sink.h"
#include "format/output_target.h"
#include "output/atomic_file_target.h"

namespace cvm {

// An AtomicFileTarget that does not replace a target already holding exactly the bytes
// written: that file is not touched at all (its time stamps stay), so that a build system
// which looks at them, such as ninja with restat, sees nothing changed and rebuilds nothing
// that depends on it. The existing file is compared as the bytes arrive; any difference, or a
// target that is missing or cannot be read, makes Commit replace it as AtomicFileTarget does.
// Errors are AtomicFileTarget's: a read-only target is refused even when it would not change.
class ReplaceIfChangedTarget final : public OutputTarget, private ByteSink {
 public:
  explicit ReplaceIfChangedTarget(std::string path);
  ~ReplaceIfChangedTarget() override;

  bool Open(std::string& error) override;
  ByteSink& Sink() override { return *this; }
  bool Commit(std::string& error) override;
  void Abort() override;

  // After a successful Commit: true when the target held these bytes already and was left as
  // it was, false when it was written.
  bool Unchanged() const { return unchanged_; }

 private:
  bool Append(const uint8_t* data, size_t size, std::string& error) override;
  void StopComparing();

  std::string path_;
  AtomicFileTarget file_;
  std::FILE* existing_ = nullptr;  // the target as it was, open while every byte so far matched it
  std::vector<uint8_t> existingBytes_;
  bool unchanged_ = false;
};

}  // namespace cvm
