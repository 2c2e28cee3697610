#include "tools/cvmexport/thread_runner.h"

#include <exception>
#include <system_error>
#include <thread>

namespace cvm::tools {

void ThreadRunner::RunBeside(const std::function<void()>& beside, const std::function<void()>& here) {
  std::exception_ptr besideFailure;
  std::thread thread;
  try {
    thread = std::thread([&] {
      try {
        beside();
      } catch (...) {
        besideFailure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    beside();
    here();
    return;
  }
  std::exception_ptr hereFailure;
  try {
    here();
  } catch (...) {
    hereFailure = std::current_exception();
  }
  thread.join();
  if (hereFailure) std::rethrow_exception(hereFailure);
  if (besideFailure) std::rethrow_exception(besideFailure);
}

}  // namespace cvm::tools
