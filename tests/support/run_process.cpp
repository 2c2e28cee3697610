#include "tests/support/run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace cvm::test {
namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessSetup& setup) {
  ProcessResult result;
  // Output goes to temporary files rather than pipes, so a chatty child cannot block.
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  if (out == nullptr || err == nullptr) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    const int input = open(setup.stdinPath.empty() ? "/dev/null" : setup.stdinPath.c_str(), O_RDONLY);
    if (input < 0) _exit(126);
    dup2(input, 0);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    if (setup.maxFileSize >= 0) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG, like a full disk
      const rlimit limit{static_cast<rlim_t>(setup.maxFileSize), static_cast<rlim_t>(setup.maxFileSize)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::rewind(out);
  std::rewind(err);
  result.out = ReadAll(fileno(out));
  result.err = ReadAll(fileno(err));
  std::fclose(out);
  std::fclose(err);
  return result;
}

}  // namespace cvm::test
