#include "tools/cvmexport/child_conversion.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output/atomic_file_target.h"

extern char** environ;

namespace cvm::tools {
namespace {

using Json = nlohmann::ordered_json;

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FloatOfBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The request as the child reads it; the scale travels as its bits, so nothing is rounded.
Json RequestToJson(const ConvertRequest& r) {
  return {{"scenePath", r.scenePath},
          {"outputPath", r.outputPath},
          {"dumpScenePath", r.dumpScenePath},
          {"depfilePath", r.depfilePath},
          {"depfileBesideOutput", r.depfileBesideOutput},
          {"texturePaths", r.texturePaths},
          {"scaleBits", FloatBits(r.options.scale)},
          {"exportNormals", r.options.exportNormals},
          {"preserveVertexOrdering", r.options.preserveVertexOrdering},
          {"mergeVertices", r.options.mergeVertices},
          {"optionBits", r.optionBits},
          {"showProgress", r.showProgress},
          {"wantReport", r.wantReport},
          {"strict", r.strict},
          {"maxMemoryBytes", r.maxMemoryBytes}};
}

ConvertRequest RequestFromJson(const Json& j) {
  ConvertRequest r;
  r.scenePath = j.at("scenePath").get<std::string>();
  r.outputPath = j.at("outputPath").get<std::string>();
  r.dumpScenePath = j.at("dumpScenePath").get<std::string>();
  r.depfilePath = j.at("depfilePath").get<std::string>();
  r.depfileBesideOutput = j.at("depfileBesideOutput").get<bool>();
  r.texturePaths = j.at("texturePaths").get<std::vector<std::string>>();
  r.options.scale = FloatOfBits(j.at("scaleBits").get<uint32_t>());
  r.options.exportNormals = j.at("exportNormals").get<bool>();
  r.options.preserveVertexOrdering = j.at("preserveVertexOrdering").get<bool>();
  r.options.mergeVertices = j.at("mergeVertices").get<bool>();
  r.optionBits = j.at("optionBits").get<uint32_t>();
  r.showProgress = j.at("showProgress").get<bool>();
  r.wantReport = j.at("wantReport").get<bool>();
  r.strict = j.at("strict").get<bool>();
  r.maxMemoryBytes = j.at("maxMemoryBytes").get<uint64_t>();
  return r;
}

// The failure of one input whose child gave no result, as the report and stderr tell it.
ConvertResult Failure(const ConvertRequest& request, const std::string& what) {
  return FailedConversion(request, InputName(request.scenePath) + ": " + what + "; no file written");
}

// The child's resident memory in bytes, or 0 when it cannot be read.
uint64_t ResidentBytes(pid_t pid) {
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  uint64_t size = 0;
  uint64_t resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

std::string SignalName(int signal) {
  const char* name = strsignal(signal);
  return "signal " + std::to_string(signal) +
         (name != nullptr ? std::string(" (") + name + ")" : std::string());
}

std::string Seconds(double seconds) {
  std::ostringstream text;
  text << seconds;
  return text.str();
}

// What the child left: its temporaries of the outputs it did not finish.
void RemoveTemporaries(const ConvertRequest& request, pid_t pid) {
  const std::string besideOutput = request.depfileBesideOutput ? request.outputPath + ".d" : std::string();
  for (const std::string* path :
       {&request.outputPath, &request.dumpScenePath, &request.depfilePath, &besideOutput}) {
    if (path->empty() || *path == kStandardStream) continue;
    std::remove(TemporaryPathFor(FileBehindLinks(*path), static_cast<unsigned long>(pid)).c_str());
  }
}

// Both ends of a pipe, closed on the way out; neither is inherited by children (the child gets
// copies of the ends it needs as the descriptors it knows). The ends are above the descriptors
// the child is given, so that no copy lands on its own number and keeps its close-on-exec.
struct Pipe {
  int read = -1;
  int write = -1;
  bool Open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read = fcntl(ends[0], F_DUPFD_CLOEXEC, kChildResultFd + 1);
    write = fcntl(ends[1], F_DUPFD_CLOEXEC, kChildResultFd + 1);
    close(ends[0]);
    close(ends[1]);
    return read >= 0 && write >= 0;
  }
  void CloseRead() { Close(read); }
  void CloseWrite() { Close(write); }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  static void Close(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
};

// The last line of text that holds anything but blanks, trimmed.
std::string LastLine(const std::string& text) {
  size_t end = text.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return std::string();
  const size_t start = text.find_last_of("\r\n", end);
  std::string line = text.substr(start == std::string::npos ? 0 : start + 1,
                                 end + 1 - (start == std::string::npos ? 0 : start + 1));
  const size_t first = line.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : line.substr(first);
}

// Writes all of text to fd; false when the other end went away.
bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

uint64_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) << 10;  // in kB
  }
  return 0;
}

std::string MemoryLimitReason(uint64_t limitBytes) {
  return "went past " + std::to_string(limitBytes >> 20) +
         " MiB, the memory limit per input (--max-memory): a count in the file is probably corrupt, or the "
         "model needs a higher limit";
}

std::string ThisProgram() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return std::string();
  path.resize(static_cast<size_t>(length));
  return path;
}

ConvertResult ConvertInChild(const ConvertRequest& request) {
  try {
    Pipe toChild, fromChild, childErrors;
    if (!toChild.Open() || !fromChild.Open() || !childErrors.Open())
      return Failure(request, std::string("cannot start a child: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild.read, kChildRequestFd);
    posix_spawn_file_actions_adddup2(&actions, fromChild.write, kChildResultFd);
    posix_spawn_file_actions_adddup2(&actions, childErrors.write, STDERR_FILENO);
    std::string program = request.childProgram;
    std::string argument = kChildArgument;
    char* argv[] = {program.data(), argument.data(), nullptr};
    // The child inherits the environment, and with it the converter's allocator settings.
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    toChild.CloseRead();
    fromChild.CloseWrite();
    childErrors.CloseWrite();
    if (spawned != 0)
      return Failure(request, "cannot start a child (" + program + "): " + std::strerror(spawned));
    const auto start = std::chrono::steady_clock::now();

    // A child that stops reading early (it crashed) must not end this process.
    signal(SIGPIPE, SIG_IGN);
    ConvertRequest childRequest = request;
    childRequest.childProgram.clear();
    WriteAll(toChild.write, RequestToJson(childRequest).dump());
    toChild.CloseWrite();

    std::string output;
    std::string said;     // what the child wrote to its standard error, the last of it
    std::string stopped;  // why the child was ended, when it was
    char buffer[65536];
    bool outputOpen = true;
    bool errorsOpen = true;
    while (outputOpen) {
      pollfd wait[2] = {{fromChild.read, POLLIN, 0}, {errorsOpen ? childErrors.read : -1, POLLIN, 0}};
      if (poll(wait, 2, 20) > 0) {
        if (errorsOpen && (wait[1].revents & (POLLIN | POLLHUP)) != 0) {
          const ssize_t n = read(childErrors.read, buffer, sizeof buffer);
          if (n > 0 && request.showProgress) {
            // On a terminal the child's progress line is this converter's.
            WriteAll(STDERR_FILENO, std::string(buffer, static_cast<size_t>(n)));
          } else if (n > 0) {
            said.append(buffer, static_cast<size_t>(n));
            if (said.size() > 4096) said.erase(0, said.size() - 4096);
          } else if (n == 0 || errno != EINTR) {
            errorsOpen = false;
          }
        }
        if ((wait[0].revents & (POLLIN | POLLHUP)) != 0) {
          const ssize_t n = read(fromChild.read, buffer, sizeof buffer);
          if (n > 0) {
            output.append(buffer, static_cast<size_t>(n));
          } else if (n == 0 || errno != EINTR) {
            outputOpen = false;  // the child is done with its output
          }
          continue;
        }
      }
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (request.timeoutSeconds > 0 && elapsed > request.timeoutSeconds) {
        stopped =
            "stopped after " + Seconds(request.timeoutSeconds) + " s, the time limit per input (--timeout)";
      } else if (request.maxMemoryBytes > 0 && ResidentBytes(pid) > request.maxMemoryBytes) {
        stopped = "the conversion " + MemoryLimitReason(request.maxMemoryBytes);
      }
      if (!stopped.empty()) {
        kill(pid, SIGKILL);
        break;
      }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!stopped.empty()) {
      RemoveTemporaries(request, pid);
      return Failure(request, stopped);
    }
    if (WIFSIGNALED(status)) {
      RemoveTemporaries(request, pid);
      const std::string words = LastLine(said);
      return Failure(request, "the conversion crashed (" + SignalName(WTERMSIG(status)) +
                                  ") reading or exporting the file, which is probably damaged" +
                                  (words.empty() ? std::string() : " (its last words: " + words + ")"));
    }
    const Json result = Json::parse(output, nullptr, false);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !result.is_object()) {
      RemoveTemporaries(request, pid);
      return Failure(request, "the conversion ended without a result (exit status " +
                                  std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")");
    }
    ConvertResult converted;
    converted.status = result.at("status").get<int>();
    converted.unchanged = result.at("unchanged").get<bool>();
    converted.message = result.at("message").get<std::string>();
    converted.report = result.at("report");
    return converted;
  } catch (const std::exception& e) {
    return Failure(request, std::string("the conversion's child gave no usable result: ") + e.what());
  }
}

int RunConversionChild() {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(kChildRequestFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 1;
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(kChildRequestFd);
  const Json requestJson = Json::parse(text, nullptr, false);
  ConvertRequest request;
  try {
    request = RequestFromJson(requestJson);
  } catch (const std::exception&) {
    return 1;
  }
  const ConvertResult result = ConvertScene(request);
  const Json out = {{"status", result.status},
                    {"unchanged", result.unchanged},
                    {"message", result.message},
                    {"report", result.report}};
  return WriteAll(kChildResultFd, out.dump(-1, ' ', false, Json::error_handler_t::replace)) ? 0 : 1;
}

}  // namespace cvm::tools
