#include "tests/plugin/check.h"

#include <cstdio>

namespace cvm::wintest {
namespace {

int failures = 0;

}  // namespace

void ReportFailure(const char* file, int line, const std::string& what) {
  ++failures;
  std::fprintf(stderr, "%s:%d: FAILED %s\n", file, line, what.c_str());
  std::fflush(stderr);
}

int FinishChecks(const char* program) {
  if (failures == 0) {
    std::printf("%s: all checks passed\n", program);
    return 0;
  }
  std::printf("%s: %d check(s) failed\n", program, failures);
  return 1;
}

}  // namespace cvm::wintest
