#include "tools/cvmexport/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace cvm::tools {
namespace {

// Bytes pass unchanged: no line-end translation on Windows.
void SetBinary(std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#else
  (void)stream;
#endif
}

}  // namespace

bool ReadStandardInput(std::string& bytes, std::string& error) {
  SetBinary(stdin);
  bytes.clear();
  std::vector<char> block(size_t{1} << 16);
  for (;;) {
    const size_t n = std::fread(block.data(), 1, block.size(), stdin);
    bytes.append(block.data(), n);
    if (n < block.size()) break;
  }
  if (std::ferror(stdin)) {
    error = std::string("cannot read the standard input: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteStandardOutput(const void* data, size_t size, std::string& error) {
  SetBinary(stdout);
  errno = 0;
  const bool written = std::fwrite(data, 1, size, stdout) == size;
  if (std::fflush(stdout) != 0 || !written) {
    error = std::string("cannot write to the standard output") + (errno != 0 ? ": " : "") +
            (errno != 0 ? std::strerror(errno) : "");
    return false;
  }
  return true;
}

bool StandardOutputTarget::Open(std::string& /*error*/) {
  sink_.bytes.clear();
  return true;
}

bool StandardOutputTarget::Commit(std::string& error) {
  const bool written = WriteStandardOutput(sink_.bytes.data(), sink_.bytes.size(), error);
  sink_.bytes = std::vector<uint8_t>();
  return written;
}

void StandardOutputTarget::Abort() {
  sink_.bytes = std::vector<uint8_t>();
}

}  // namespace cvm::tools
