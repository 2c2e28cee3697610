// Work an export may hand out to be done beside its own. The export core starts no thread:
// whoever calls it decides. The converter hands in a runner that uses a second thread; the
// plug-in, which runs inside the host's call on its user-interface thread, hands in none, and
// then everything runs on the calling thread, in the same order of results and texts.
#pragma once

#include <functional>

namespace cvm {

class TaskRunner {
 public:
  virtual ~TaskRunner() = default;
  // Runs beside while the calling thread runs here, and returns once both are done. The two
  // touch nothing in common. An exception thrown by either is thrown again from here, after
  // both have ended.
  virtual void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) = 0;
};

}  // namespace cvm
