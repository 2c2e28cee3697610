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

struct ProcessSetup {
  long long maxFileSize = -1;  // RLIMIT_FSIZE in bytes (-1: unlimited); a write beyond fails
  std::string stdinPath;       // the file read as standard input; empty: none (/dev/null)
};

// Runs program with args (without argv[0]).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessSetup& setup = ProcessSetup());

}  // namespace cvm::test
