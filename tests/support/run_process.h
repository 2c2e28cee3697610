// Runs a program of the build and captures what it printed, for tests of the tools.
#pragma once

#include <string>
#include <vector>

namespace cvm::test {

struct ProcessResult {
  int exitStatus = -1;  // the exit status, or 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

struct ProcessLimits {
  long long maxFileSize = -1;  // RLIMIT_FSIZE in bytes (-1: unlimited); a write beyond fails
};

// Runs program with args (without argv[0]), no standard input.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessLimits& limits = ProcessLimits());

}  // namespace cvm::test
