// A program that starts as the tools do (RestartTuned first), for the tests of the restart:
// prints "start" each time its main begins, then the GLIBC_TUNABLES it runs with.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tools/memory_tuning/memory_tuning.h"

int main(int argc, char** argv) {
  // Unbuffered, so that a start before the restart is not lost with the process image.
  if (write(STDOUT_FILENO, "start\n", 6) != 6) return 1;
  cvm::tools::RestartTuned(argc, argv);
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  std::printf("%s\n", tunables != nullptr ? tunables : "(none)");
  return 0;
}
