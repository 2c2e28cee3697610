#include "tools/cvmexport/process_memory.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__GLIBC__)  // known once a C library header is in
#include <malloc.h>
#endif
#endif

namespace cvm::tools {
namespace {

constexpr uint64_t kKeptBytes = uint64_t{512} << 20;

#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
#define CVM_CAN_WARM_HEAP 1

// Bytes taken from the heap per byte of input: a binary model file (GLB) takes about six in
// the import and export together, a scene document about five.
constexpr uint64_t kBytesPerInputByte = 6;
// Below this, warming saves less than starting a thread costs.
constexpr uint64_t kLeastWarmedBytes = uint64_t{32} << 20;
// The range is warmed in steps so that a stop is seen soon.
constexpr size_t kWarmStep = size_t{4} << 20;
// glibc's default padding of a heap extension.
constexpr int kDefaultTopPad = 128 * 1024;

// Extends the heap by about `bytes` without writing to it: the padding of one extension is
// raised for the time of a single allocation that cannot fit in the current top, which is
// then freed into the new top. Returns the addresses of the free range at the top of the
// heap, or an empty range when the heap could not be extended where expected.
std::pair<uintptr_t, uintptr_t> ExtendHeap(uint64_t bytes) {
  constexpr size_t kProbe = size_t{1} << 20;  // below the mmap threshold: taken from the heap
  mallopt(M_TOP_PAD, static_cast<int>(bytes));
  void* probe = std::malloc(kProbe);
  mallopt(M_TOP_PAD, kDefaultTopPad);
  if (probe == nullptr) return {};
  const auto begin = reinterpret_cast<uintptr_t>(probe);
  std::free(probe);
  void* const brk = sbrk(0);
  const auto end = reinterpret_cast<uintptr_t>(brk);
  // A heap that could not grow in place (memory mapped elsewhere) leaves no such range.
  if (brk == reinterpret_cast<void*>(-1) || begin >= end || end - begin > bytes + 2 * kProbe) return {};
  return {begin, end};
}
#endif

}  // namespace

void KeepFreedMemoryInProcess() {
#if defined(__GLIBC__)
  // Blocks up to 32 MiB come from the heap, and up to kKeptBytes of free heap stay in it.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kKeptBytes));
#endif
}

uint64_t ExpectedConversionBytes(const std::string& path) {
#if defined(CVM_CAN_WARM_HEAP)
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  const uint64_t limit =
      std::min(kKeptBytes, static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 4);
  const uint64_t expected = std::min(static_cast<uint64_t>(st.st_size) * kBytesPerInputByte, limit);
  return expected >= kLeastWarmedBytes ? expected : 0;
#else
  (void)path;
  return 0;
#endif
}

HeapWarmer::HeapWarmer(uint64_t bytes) {
#if defined(CVM_CAN_WARM_HEAP)
  if (bytes == 0) return;
  const auto [begin, end] = ExtendHeap(bytes);
  if (begin == end) return;
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return;
  const auto mask = static_cast<uintptr_t>(pageSize) - 1;
  const uintptr_t first = (begin + mask) & ~mask;
  const uintptr_t last = end & ~mask;
  if (first >= last) return;
  try {
    thread_ = std::thread([this, first, last] {
      for (uintptr_t at = first; at < last && !stop_.load(std::memory_order_relaxed); at += kWarmStep) {
        const size_t length = std::min<uintptr_t>(kWarmStep, last - at);
        // Refused (an older system, or the heap shrank meanwhile): nothing more to gain.
        if (madvise(reinterpret_cast<void*>(at), length, MADV_POPULATE_WRITE) != 0) return;
      }
    });
  } catch (const std::system_error&) {
    // No second thread: the pages come as they are first written, as without warming.
  }
#else
  (void)bytes;
#endif
}

HeapWarmer::~HeapWarmer() {
  stop_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

}  // namespace cvm::tools
