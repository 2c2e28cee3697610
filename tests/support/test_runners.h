// Task runners for tests of work an export hands out: they do it in either order on the calling
// thread, or on a thread of its own; the results may depend on none of them.
#pragma once

#include <functional>
#include <thread>

#include "export_context/task_runner.h"

namespace cvm::test {

class OrderedRunner final : public TaskRunner {
 public:
  explicit OrderedRunner(bool besideFirst) : besideFirst_(besideFirst) {}
  void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) override {
    ++calls;
    if (besideFirst_) beside();
    here();
    if (!besideFirst_) beside();
  }
  int calls = 0;

 private:
  bool besideFirst_;
};

class ThreadedRunner final : public TaskRunner {
 public:
  void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) override {
    ++calls;
    std::thread thread(beside);
    here();
    thread.join();
  }
  int calls = 0;
};

}  // namespace cvm::test
