// A sink that hands its bytes to another sink on a second thread, so that building the next
// block of a file and the system's copying of the last one into the file overlap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "format/byte_sink.h"

namespace cvm {

class BackgroundSink final : public ByteSink {
 public:
  // Writes to target, which must outlive this sink. In a build without threads every Append
  // goes straight to target.
  explicit BackgroundSink(ByteSink& target);
  ~BackgroundSink() override;  // waits for the blocks still queued
  BackgroundSink(const BackgroundSink&) = delete;
  BackgroundSink& operator=(const BackgroundSink&) = delete;

  // Copies the bytes into a block of its own and queues it (waiting while two blocks are
  // queued). Returns false, with the target's error, once a write has failed, this block's or
  // an earlier one's; nothing is written after a failure.
  bool Append(const uint8_t* data, size_t size, std::string& error) override;
  // Waits until every queued block is written. Returns false, with the target's error, when a
  // write failed.
  bool Finish(std::string& error);

 private:
  struct Writer;
  ByteSink& target_;
  std::unique_ptr<Writer> writer_;  // started with the first block
  bool direct_ = false;             // no thread could be started: every block is written here
};

}  // namespace cvm
