// libFuzzer target: the reader on any bytes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/input_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string problem = cvm::fuzz::CheckCvmBytes(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "reader check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
