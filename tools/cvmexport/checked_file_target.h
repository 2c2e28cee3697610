// An export's output that is made the output only when a check of its bytes approves them:
// the converter reads the written file back for its report and for --strict before the file
// replaces the target. The bytes still go on to the output as they are written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "format/output_target.h"

namespace cvm::tools {

class CheckedFileTarget final : public OutputTarget, private ByteSink {
 public:
  // check gets every byte written; returning false (with error set) aborts instead of committing.
  using Check = std::function<bool(const std::vector<uint8_t>& bytes, std::string& error)>;

  // output (a file, the standard output) must outlive the target.
  CheckedFileTarget(OutputTarget& output, Check check) : output_(output), check_(std::move(check)) {}

  bool Open(std::string& error) override;
  ByteSink& Sink() override { return *this; }
  bool Commit(std::string& error) override;
  void Abort() override;

 private:
  bool Append(const uint8_t* data, size_t size, std::string& error) override;

  OutputTarget& output_;
  Check check_;
  std::vector<uint8_t> bytes_;
};

}  // namespace cvm::tools
