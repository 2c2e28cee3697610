// The converter's runner: the work handed out runs on a thread of its own, and a failure of
// either side reaches the caller only once both sides have ended.
#include "tools/cvmexport/thread_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace cvm::tools {
namespace {

TEST(ThreadRunner, RunsBothSidesTheHandedOutOneOnAnotherThread) {
  ThreadRunner runner;
  std::thread::id beside;
  std::thread::id here;
  runner.RunBeside([&] { beside = std::this_thread::get_id(); }, [&] { here = std::this_thread::get_id(); });
  EXPECT_EQ(here, std::this_thread::get_id());
  EXPECT_NE(beside, std::thread::id());
  EXPECT_NE(beside, here);
}

TEST(ThreadRunner, AFailureIsThrownAfterBothSidesEnded) {
  ThreadRunner runner;
  const auto slow = [](std::atomic<bool>& done) {
    return [&done] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      done = true;
    };
  };
  std::atomic<bool> besideDone{false};
  EXPECT_THROW(runner.RunBeside(slow(besideDone), [] { throw std::runtime_error("here"); }),
               std::runtime_error);
  EXPECT_TRUE(besideDone);
  std::atomic<bool> hereDone{false};
  EXPECT_THROW(runner.RunBeside([] { throw std::runtime_error("beside"); }, slow(hereDone)),
               std::runtime_error);
  EXPECT_TRUE(hereDone);
}

}  // namespace
}  // namespace cvm::tools
