// libFuzzer target: the converter's path from a scene document to the bytes of a file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/input_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string problem = cvm::fuzz::CheckSceneDocument(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "scene document check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
