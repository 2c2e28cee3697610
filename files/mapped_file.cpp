#include "files/mapped_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <mutex>
#else
#include <fstream>
#endif

namespace cvm::files {

MappedFile::MappedFile(MappedFile&& other) noexcept {
  *this = std::move(other);
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    length_ = std::exchange(other.length_, 0);
    guard_ = std::exchange(other.guard_, -1);
    read_ = std::move(other.read_);
  }
  return *this;
}

MappedFile::~MappedFile() {
  Release();
}

#if !defined(_WIN32)

namespace {

// The mapped files that the SIGBUS handler knows: the range of each one's pages, and whether a
// page of it was lost. A slot is taken with `taken`; `generation` is odd while its range is
// being set or cleared, so that the handler never reads half of one range and half of the next.
struct Guard {
  std::atomic<bool> taken{false};
  std::atomic<uint32_t> generation{0};
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> lost{false};
};

constexpr int kGuards = 64;
Guard gGuards[kGuards];
size_t gPageSize = 0;
struct sigaction gPrevious;

void SetRange(Guard& guard, uintptr_t begin, uintptr_t end) {
  guard.generation.fetch_add(1, std::memory_order_acq_rel);
  guard.begin.store(begin, std::memory_order_release);
  guard.end.store(end, std::memory_order_release);
  guard.generation.fetch_add(1, std::memory_order_acq_rel);
}

// A fault in a mapped file's pages where the file has no page any more (it was shortened) or
// its page could not be read: the pages from there to the end of the mapping are mapped again
// as zeros, the file is marked lost, and the read that faulted goes on with a zero. Any other
// SIGBUS is the program's, and goes where it would have gone without this handler.
void OnBusError(int number, siginfo_t* info, void* context) {
  if (info->si_code == BUS_ADRERR) {
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guard& guard : gGuards) {
      const uint32_t generation = guard.generation.load(std::memory_order_acquire);
      const uintptr_t begin = guard.begin.load(std::memory_order_acquire);
      const uintptr_t end = guard.end.load(std::memory_order_acquire);
      if ((generation & 1) != 0 || guard.generation.load(std::memory_order_acquire) != generation) continue;
      if (begin == 0 || at < begin || at >= end) continue;
      const uintptr_t page = at - (at - begin) % gPageSize;
      if (mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
               -1, 0) == MAP_FAILED)
        break;
      guard.lost.store(true, std::memory_order_relaxed);
      return;
    }
  }
  if (gPrevious.sa_handler == SIG_IGN) {
    // A sent signal stays ignored; a fault the system does not let a program ignore.
    if (info->si_code <= 0) return;
  } else if (gPrevious.sa_handler != SIG_DFL) {
    if ((gPrevious.sa_flags & SA_SIGINFO) != 0) {
      gPrevious.sa_sigaction(number, info, context);
    } else {
      gPrevious.sa_handler(number);
    }
    return;
  }
  // The default action: the signal is raised again, and delivered once the handler returns.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
  raise(SIGBUS);
}

// Installs the handler once, for the life of the process, and says whether it is in place now
// (another one may have been installed since).
bool GuardInPlace() {
  static std::once_flag once;
  std::call_once(once, [] {
    gPageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (gPageSize == 0 || sigaction(SIGBUS, nullptr, &gPrevious) != 0) return;
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
  });
  struct sigaction current {};
  return gPageSize != 0 && sigaction(SIGBUS, nullptr, &current) == 0 &&
         (current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == &OnBusError;
}

int TakeGuard(uintptr_t begin, uintptr_t end) {
  for (int i = 0; i < kGuards; ++i) {
    bool free = false;
    if (!gGuards[i].taken.compare_exchange_strong(free, true)) continue;
    gGuards[i].lost.store(false);
    SetRange(gGuards[i], begin, end);
    return i;
  }
  return -1;
}

void FreeGuard(int i) {
  SetRange(gGuards[i], 0, 0);
  gGuards[i].taken.store(false);
}

}  // namespace

bool MappedFile::Open(const std::string& path, std::string& error) {
  Release();
  const bool guarded = GuardInPlace();
  const size_t page = gPageSize != 0 ? gPageSize : size_t{4096};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot open the file: ") + std::strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "cannot open the file: not a regular file";
    ::close(fd);
    return false;
  }
  const auto size = static_cast<size_t>(info.st_size);
  bool mapped = size == 0;
  if (size > 0) {
    const size_t length = (size + page - 1) / page * page;
    // Guarded, the range is known to the handler before the file is mapped into it, so that no
    // read of the mapping comes before.
    void* region = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region != MAP_FAILED) {
      const auto begin = reinterpret_cast<uintptr_t>(region);
      guard_ = guarded ? TakeGuard(begin, begin + length) : -1;
      mapped = mmap(region, length, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0) != MAP_FAILED;
      if (mapped) {
        data_ = region;
        size_ = size;
        length_ = length;
      } else {
        error = std::string("cannot map the file: ") + std::strerror(errno);
        if (guard_ >= 0) FreeGuard(guard_);
        guard_ = -1;
        munmap(region, length);
      }
    } else {
      error = std::string("cannot map the file: ") + std::strerror(errno);
    }
  }
  ::close(fd);
  return mapped;
}

void MappedFile::Release() {
  if (guard_ >= 0) FreeGuard(guard_);
  if (length_ != 0) munmap(data_, length_);
  data_ = nullptr;
  size_ = 0;
  length_ = 0;
  guard_ = -1;
  read_.clear();
}

bool MappedFile::Lost() const {
  return guard_ >= 0 && gGuards[guard_].lost.load();
}

#else  // Windows: the file is read whole

bool MappedFile::Open(const std::string& path, std::string& error) {
  Release();
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = "cannot open the file";
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size < 0) {
    error = "cannot size the file";
    return false;
  }
  read_.resize(static_cast<size_t>(size));
  in.seekg(0);
  if (size > 0 && !in.read(read_.data(), size)) {
    error = "cannot read the file";
    read_.clear();
    return false;
  }
  data_ = read_.data();
  size_ = read_.size();
  return true;
}

void MappedFile::Release() {
  data_ = nullptr;
  size_ = 0;
  read_.clear();
}

bool MappedFile::Lost() const {
  return false;
}

#endif

}  // namespace cvm::files
