// Where the bytes of an export go: a file, memory, or (in tests) a sink that fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cvm {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Appends size bytes. Returns false and fills error (what failed and why) on failure;
  // after a failure the sink is not written again.
  virtual bool Append(const uint8_t* data, size_t size, std::string& error) = 0;
};

class MemorySink final : public ByteSink {
 public:
  bool Append(const uint8_t* data, size_t size, std::string& error) override;
  std::vector<uint8_t> bytes;
};

}  // namespace cvm
