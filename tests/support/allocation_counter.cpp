#include "tests/support/allocation_counter.h"

#include <stdlib.h>  // posix_memalign

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define CVM_COUNTER_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CVM_COUNTER_UNDER_ASAN 1
#endif
#endif

#if defined(CVM_COUNTER_UNDER_ASAN)
#include <malloc.h>
#endif

namespace cvm::test {
namespace {

constexpr size_t kDefaultAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

// Constant-initialised, so they count from the first allocation of static initialisation on.
std::atomic<uint64_t> gLive{0};
std::atomic<uint64_t> gPeak{0};
std::atomic<size_t> gLargest{0};
std::atomic<uint64_t> gCount{0};
std::atomic<int> gMeters{0};
// AllocationFailure: allocations left before the one that fails; negative when none is to fail.
std::atomic<int64_t> gUntilFailure{-1};
std::atomic<bool> gFailed{false};
std::atomic<int> gFailures{0};

// Whether the allocation being made is the one to fail.
bool FailThisOne() {
  if (gUntilFailure.load(std::memory_order_relaxed) < 0) return false;
  if (gUntilFailure.fetch_sub(1, std::memory_order_relaxed) != 0) return false;
  gFailed.store(true, std::memory_order_relaxed);
  return true;
}

template <typename T>
void RaiseTo(std::atomic<T>& value, T candidate) {
  T seen = value.load(std::memory_order_relaxed);
  while (candidate > seen && !value.compare_exchange_weak(seen, candidate, std::memory_order_relaxed)) {
  }
}

void CountAllocation(size_t counted, size_t asked) {
  const uint64_t live = gLive.fetch_add(counted, std::memory_order_relaxed) + counted;
  RaiseTo(gPeak, live);
  RaiseTo(gLargest, asked);
  gCount.fetch_add(1, std::memory_order_relaxed);
}

void* AllocateBlock(size_t size, size_t alignment) {
  if (alignment <= kDefaultAlignment) return std::malloc(size);
  void* block = nullptr;
  return posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

#if defined(CVM_COUNTER_UNDER_ASAN)

// The sanitizer's malloc_usable_size is the size asked for, so no header is needed.
void* Allocate(size_t size, size_t alignment) {
  void* p = AllocateBlock(size, alignment);
  if (p != nullptr) CountAllocation(malloc_usable_size(p), size);
  return p;
}

void Release(void* p, size_t /*alignment*/) {
  if (p == nullptr) return;
  gLive.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}

#else

// Each block carries the size asked for in front of it, so that whichever form of delete is
// called knows what to subtract; glibc's usable size would count its rounding too. The header
// takes the block's alignment, which keeps the caller's part aligned.
size_t HeaderSize(size_t alignment) {
  return alignment < kDefaultAlignment ? kDefaultAlignment : alignment;
}

void* Allocate(size_t size, size_t alignment) {
  const size_t header = HeaderSize(alignment);
  if (size > SIZE_MAX - header) return nullptr;
  void* block = AllocateBlock(size + header, alignment);
  if (block == nullptr) return nullptr;
  *static_cast<size_t*>(block) = size;
  CountAllocation(size, size);
  return static_cast<char*>(block) + header;
}

void Release(void* p, size_t alignment) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - HeaderSize(alignment);
  gLive.fetch_sub(*static_cast<size_t*>(block), std::memory_order_relaxed);
  std::free(block);
}

#endif

void* AllocateOrThrow(size_t size, size_t alignment) {
  if (FailThisOne()) throw std::bad_alloc();
  for (;;) {
    if (void* p = Allocate(size, alignment)) return p;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* AllocateOrNull(size_t size, size_t alignment) noexcept {
  if (FailThisOne()) return nullptr;
  try {
    return AllocateOrThrow(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

uint64_t LiveHeapBytes() {
  return gLive.load(std::memory_order_relaxed);
}

AllocationMeter::AllocationMeter() {
  if (gMeters.fetch_add(1) != 0) {
    std::fputs("AllocationMeter: a second meter while one is alive; their peaks would mix\n", stderr);
    std::abort();
  }
  mark_ = gLive.load(std::memory_order_relaxed);
  gPeak.store(mark_, std::memory_order_relaxed);
  gLargest.store(0, std::memory_order_relaxed);
  countMark_ = gCount.load(std::memory_order_relaxed);
}

AllocationMeter::~AllocationMeter() {
  gMeters.fetch_sub(1);
}

uint64_t AllocationMeter::Peak() const {
  const uint64_t peak = gPeak.load(std::memory_order_relaxed);
  return peak > mark_ ? peak - mark_ : 0;
}

size_t AllocationMeter::Largest() const {
  return gLargest.load(std::memory_order_relaxed);
}

uint64_t AllocationMeter::Count() const {
  return gCount.load(std::memory_order_relaxed) - countMark_;
}

AllocationFailure::AllocationFailure(uint64_t which) {
  if (gFailures.fetch_add(1) != 0) {
    std::fputs("AllocationFailure: a second one while one is alive\n", stderr);
    std::abort();
  }
  gFailed.store(false, std::memory_order_relaxed);
  gUntilFailure.store(static_cast<int64_t>(which), std::memory_order_relaxed);
}

AllocationFailure::~AllocationFailure() {
  gUntilFailure.store(-1, std::memory_order_relaxed);
  gFailures.fetch_sub(1);
}

bool AllocationFailure::Happened() const {
  return gFailed.load(std::memory_order_relaxed);
}

}  // namespace cvm::test

using cvm::test::AllocateOrNull;
using cvm::test::AllocateOrThrow;
using cvm::test::Release;

namespace {
constexpr size_t kPlain = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
size_t Alignment(std::align_val_t alignment) {
  return static_cast<size_t>(alignment);
}
}  // namespace

void* operator new(size_t size) {
  return AllocateOrThrow(size, kPlain);
}
void* operator new[](size_t size) {
  return AllocateOrThrow(size, kPlain);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, kPlain);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, kPlain);
}
void* operator new(size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, Alignment(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, Alignment(alignment));
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, Alignment(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, Alignment(alignment));
}

void operator delete(void* p) noexcept {
  Release(p, kPlain);
}
void operator delete[](void* p) noexcept {
  Release(p, kPlain);
}
void operator delete(void* p, size_t) noexcept {
  Release(p, kPlain);
}
void operator delete[](void* p, size_t) noexcept {
  Release(p, kPlain);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p, kPlain);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p, kPlain);
}
void operator delete(void* p, std::align_val_t alignment) noexcept {
  Release(p, Alignment(alignment));
}
void operator delete[](void* p, std::align_val_t alignment) noexcept {
  Release(p, Alignment(alignment));
}
void operator delete(void* p, size_t, std::align_val_t alignment) noexcept {
  Release(p, Alignment(alignment));
}
void operator delete[](void* p, size_t, std::align_val_t alignment) noexcept {
  Release(p, Alignment(alignment));
}
void operator delete(void* p, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  Release(p, Alignment(alignment));
}
void operator delete[](void* p, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  Release(p, Alignment(alignment));
}
