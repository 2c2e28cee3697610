#include "export/background_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvm {
namespace {

// Keeps what it is given and fails, from its failAt-th block on, with a message naming it.
class CountingSink final : public ByteSink {
 public:
  explicit CountingSink(int failAt = -1) : failAt_(failAt) {}
  bool Append(const uint8_t* data, size_t size, std::string& error) override {
    if (blocks == failAt_) {
      error = "block " + std::to_string(blocks) + " failed";
      ++blocks;
      return false;
    }
    ++blocks;
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
  int blocks = 0;

 private:
  int failAt_;
};

std::vector<uint8_t> Block(size_t size, uint8_t seed) {
  std::vector<uint8_t> block(size);
  for (size_t i = 0; i < size; ++i) block[i] = static_cast<uint8_t>(seed + i * 7);
  return block;
}

// The caller's buffer is reused as soon as Append returns, as the stream does with its own:
// the target must still receive every block whole and in order.
TEST(BackgroundSink, BlocksArriveWholeAndInOrder) {
  CountingSink target;
  std::vector<uint8_t> expected;
  {
    BackgroundSink sink(target);
    std::vector<uint8_t> buffer;
    std::string error;
    for (int k = 0; k < 200; ++k) {
      buffer = Block(static_cast<size_t>(1 + (k * 7919) % 70000), static_cast<uint8_t>(k));
      expected.insert(expected.end(), buffer.begin(), buffer.end());
      ASSERT_TRUE(sink.Append(buffer.data(), buffer.size(), error)) << error;
      buffer.assign(buffer.size(), 0xEE);  // the stream refills its buffer at once
    }
    ASSERT_TRUE(sink.Finish(error)) << error;
  }
  EXPECT_EQ(target.blocks, 200);
  EXPECT_EQ(target.bytes, expected);
}

// A failed write is reported by a later Append or by Finish, with the target's message, and
// nothing reaches the target after it.
TEST(BackgroundSink, AFailedWriteIsReportedAndStopsTheWrites) {
  for (const int failAt : {0, 3}) {
    SCOPED_TRACE(failAt);
    CountingSink target(failAt);
    BackgroundSink sink(target);
    std::string error;
    bool refused = false;
    for (int k = 0; k < 50 && !refused; ++k) {
      const std::vector<uint8_t> block = Block(1000, static_cast<uint8_t>(k));
      refused = !sink.Append(block.data(), block.size(), error);
    }
    std::string finishError;
    EXPECT_FALSE(sink.Finish(finishError));
    EXPECT_EQ(finishError, "block " + std::to_string(failAt) + " failed");
    if (refused) {
      EXPECT_EQ(error, finishError);
    }
    EXPECT_EQ(target.blocks, failAt + 1);
    EXPECT_EQ(target.bytes.size(), static_cast<size_t>(failAt) * 1000);
  }
}

TEST(BackgroundSink, NothingAppendedFinishesAtOnce) {
  CountingSink target;
  BackgroundSink sink(target);
  std::string error;
  EXPECT_TRUE(sink.Finish(error));
  EXPECT_TRUE(sink.Finish(error));
  EXPECT_EQ(target.blocks, 0);
}

}  // namespace
}  // namespace cvm
