#include "tests/reader/allocation_tracker.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> tracking{false};
std::atomic<size_t> largest{0};
}  // namespace

void* operator new(size_t size) {
  if (tracking.load()) {
    size_t seen = largest.load();
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
  }
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}

namespace cvm::reader::test {

LargestAllocation::LargestAllocation() {
  largest = 0;
  tracking = true;
}
LargestAllocation::~LargestAllocation() {
  tracking = false;
}
size_t LargestAllocation::bytes() const {
  return largest.load();
}

}  // namespace cvm::reader::test
