// libFuzzer target: the converter's path from a model file's bytes (GLB, OBJ, PLY, STL) through
// the staged import to the bytes of a file, in one process. A crash or a hang inside one of
// assimp's readers is assimp's (the converter runs each model file in a child for that reason);
// tests/harden/run_fuzz_tests.sh tells those from findings in our code by where they happen.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/input_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string problem = cvm::fuzz::CheckModelFile(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "model file check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
