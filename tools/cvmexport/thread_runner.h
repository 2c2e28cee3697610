// The converter's runner of work that an export hands out: a second thread.
#pragma once

#include <functional>

#include "export_context/task_runner.h"

namespace cvm::tools {

// Runs the work handed out on a thread of its own, started for the occasion; when no thread
// can be started, on the calling thread before its own work.
class ThreadRunner final : public TaskRunner {
 public:
  void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) override;
};

}  // namespace cvm::tools
