#include "tests/harden/allocation_meter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace cvm::test {
namespace {

std::atomic<int> gMeters{0};
std::atomic<long long> gLive{0};  // may go negative: blocks made before the meter are freed too
std::atomic<long long> gPeak{0};
std::atomic<size_t> gLargest{0};

void* Allocate(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (gMeters.load(std::memory_order_relaxed) > 0) {
    const size_t usable = malloc_usable_size(p);
    const long long live = gLive.fetch_add(static_cast<long long>(usable)) + static_cast<long long>(usable);
    long long peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    size_t largest = gLargest.load();
    while (size > largest && !gLargest.compare_exchange_weak(largest, size)) {
    }
  }
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  if (gMeters.load(std::memory_order_relaxed) > 0)
    gLive.fetch_sub(static_cast<long long>(malloc_usable_size(p)));
  std::free(p);
}

}  // namespace

AllocationMeter::AllocationMeter() {
  gLive = 0;
  gPeak = 0;
  gLargest = 0;
  ++gMeters;
}

AllocationMeter::~AllocationMeter() {
  --gMeters;
}

size_t AllocationMeter::Largest() const {
  return gLargest.load();
}

size_t AllocationMeter::Peak() const {
  const long long peak = gPeak.load();
  return peak > 0 ? static_cast<size_t>(peak) : 0;
}

}  // namespace cvm::test

void* operator new(size_t size) {
  return cvm::test::Allocate(size);
}
void* operator new[](size_t size) {
  return cvm::test::Allocate(size);
}
void operator delete(void* p) noexcept {
  cvm::test::Release(p);
}
void operator delete[](void* p) noexcept {
  cvm::test::Release(p);
}
void operator delete(void* p, size_t) noexcept {
  cvm::test::Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  cvm::test::Release(p);
}
