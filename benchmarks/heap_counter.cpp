#include "benchmarks/heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace cvm::bench {
namespace {

std::atomic<uint64_t> gLive{0};
std::atomic<uint64_t> gPeak{0};

// Each block carries its size in front of it, so delete knows what to subtract whichever
// form of delete is called. 16 bytes keep the block as aligned as malloc's.
constexpr size_t kHeader = 16;

void* Allocate(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) return nullptr;
  *static_cast<size_t*>(block) = size;
  const uint64_t live = gLive.fetch_add(size, std::memory_order_relaxed) + size;
  uint64_t peak = gPeak.load(std::memory_order_relaxed);
  while (live > peak && !gPeak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void Release(void* p) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  gLive.fetch_sub(*static_cast<size_t*>(block), std::memory_order_relaxed);
  std::free(block);
}

void* AllocateOrThrow(size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

uint64_t LiveHeapBytes() {
  return gLive.load(std::memory_order_relaxed);
}
void ResetHeapPeak() {
  gPeak.store(gLive.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
uint64_t HeapPeakBytes() {
  return gPeak.load(std::memory_order_relaxed);
}

}  // namespace cvm::bench

void* operator new(size_t size) {
  return cvm::bench::AllocateOrThrow(size);
}
void* operator new[](size_t size) {
  return cvm::bench::AllocateOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return cvm::bench::Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return cvm::bench::Allocate(size);
}
void operator delete(void* p) noexcept {
  cvm::bench::Release(p);
}
void operator delete[](void* p) noexcept {
  cvm::bench::Release(p);
}
void operator delete(void* p, size_t) noexcept {
  cvm::bench::Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  cvm::bench::Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  cvm::bench::Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  cvm::bench::Release(p);
}
