#include "import/mapped_text.h"

#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace cvm::import {
namespace {

// The mapped texts that the SIGBUS handler knows: the range of each one's file pages, and
// whether a page of it was lost. A slot is taken with `taken`, and the handler reads a range
// only while `begin` is set.
struct Guard {
  std::atomic<bool> taken{false};
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> lost{false};
};

constexpr int kGuards = 64;
Guard gGuards[kGuards];
size_t gPageSize = 0;
struct sigaction gPrevious;

// A fault in the file pages of a mapped text: the file lost that page (it was shortened) or it
// could not be read. The pages from there to the end of the file's are mapped again as zeros,
// the text is marked lost, and the read that faulted goes on with a zero. Any other SIGBUS is
// the program's, and goes where it would have gone without this handler.
void OnBusError(int number, siginfo_t* info, void* context) {
  if (info->si_code > 0) {  // a fault, not a signal sent by a program
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guard& guard : gGuards) {
      const uintptr_t begin = guard.begin.load(std::memory_order_acquire);
      const uintptr_t end = guard.end.load(std::memory_order_acquire);
      if (begin == 0 || at < begin || at >= end) continue;
      const uintptr_t page = at - (at - begin) % gPageSize;
      if (mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
               -1, 0) == MAP_FAILED)
        break;
      guard.lost.store(true, std::memory_order_relaxed);
      return;
    }
  }
  if ((gPrevious.sa_flags & SA_SIGINFO) != 0) {
    if (gPrevious.sa_sigaction != nullptr) {
      gPrevious.sa_sigaction(number, info, context);
      return;
    }
  } else if (gPrevious.sa_handler == SIG_IGN) {
    // A sent signal stays ignored; a fault the system does not let a program ignore.
    if (info->si_code <= 0) return;
  } else if (gPrevious.sa_handler != SIG_DFL) {
    gPrevious.sa_handler(number);
    return;
  }
  // The default action: a fault happens again when the handler returns, a sent signal is sent
  // again (and delivered once the handler has returned).
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
  if (info->si_code <= 0) raise(SIGBUS);
}

// Installs the handler once, for the life of the process; false when the system refused it.
bool GuardInstalled() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    gPageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    installed = gPageSize > 0 && sigaction(SIGBUS, &action, &gPrevious) == 0;
  });
  return installed;
}

int TakeGuard(uintptr_t begin, uintptr_t end) {
  for (int i = 0; i < kGuards; ++i) {
    bool free = false;
    if (!gGuards[i].taken.compare_exchange_strong(free, true)) continue;
    gGuards[i].lost.store(false);
    gGuards[i].end.store(end, std::memory_order_release);
    gGuards[i].begin.store(begin, std::memory_order_release);
    return i;
  }
  return -1;
}

void FreeGuard(int i) {
  gGuards[i].begin.store(0, std::memory_order_release);
  gGuards[i].end.store(0, std::memory_order_release);
  gGuards[i].taken.store(false);
}

size_t RoundUp(size_t n, size_t page) {
  return (n + page - 1) / page * page;
}

}  // namespace

MappedText::MappedText(const std::string& path, size_t size, size_t padding) {
  if (!GuardInstalled()) return;
  pageSize_ = gPageSize;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info;
  const size_t filePages = RoundUp(size, pageSize_);
  const size_t length = filePages + RoundUp(padding > 0 ? padding : 1, pageSize_);
  void* region = MAP_FAILED;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) == size &&
      filePages >= size)
    region = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (region != MAP_FAILED) {
    const auto begin = reinterpret_cast<uintptr_t>(region);
    guard_ = TakeGuard(begin, begin + filePages);
    // The file's pages over the start of the zeros; filled at once, as a parser reads them all
    // first thing.
    if (guard_ < 0 || (size > 0 && mmap(region, filePages, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE,
                                        fd, 0) == MAP_FAILED)) {
      if (guard_ >= 0) FreeGuard(guard_);
      guard_ = -1;
      munmap(region, length);
    } else {
      text_ = static_cast<const char*>(region);
      size_ = size;
      length_ = length;
    }
  }
  ::close(fd);
}

MappedText::~MappedText() {
  if (text_ == nullptr) return;
  FreeGuard(guard_);
  munmap(const_cast<char*>(text_), length_);
}

bool MappedText::Lost() const {
  return guard_ >= 0 && gGuards[guard_].lost.load();
}

}  // namespace cvm::import

#else  // Windows: the caller reads the file

namespace cvm::import {

MappedText::MappedText(const std::string& /*path*/, size_t /*size*/, size_t /*padding*/) {}

MappedText::~MappedText() = default;

bool MappedText::Lost() const {
  return false;
}

}  // namespace cvm::import

#endif
