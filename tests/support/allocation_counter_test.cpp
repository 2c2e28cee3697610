// The counting operator new and delete: every form counts what it was asked for and gives it
// back, a meter's figures start at its construction, and threads do not lose counts.
#include "tests/support/allocation_counter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <thread>
#include <vector>

namespace cvm::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif
#else
constexpr bool kUnderSanitizer = false;
#endif

constexpr std::align_val_t kWide{256};

// One form of new and the form of delete that goes with it.
struct Form {
  const char* name;
  void* (*allocate)(size_t);
  void (*release)(void*, size_t);
  size_t alignment;
};

const Form kForms[] = {
    {"new / delete", [](size_t n) { return ::operator new(n); },
     [](void* p, size_t) { ::operator delete(p); }, alignof(std::max_align_t)},
    {"new / sized delete", [](size_t n) { return ::operator new(n); },
     [](void* p, size_t n) { ::operator delete(p, n); }, alignof(std::max_align_t)},
    {"new[] / delete[]", [](size_t n) { return ::operator new[](n); },
     [](void* p, size_t) { ::operator delete[](p); }, alignof(std::max_align_t)},
    {"new[] / sized delete[]", [](size_t n) { return ::operator new[](n); },
     [](void* p, size_t n) { ::operator delete[](p, n); }, alignof(std::max_align_t)},
    {"nothrow new / nothrow delete", [](size_t n) { return ::operator new(n, std::nothrow); },
     [](void* p, size_t) { ::operator delete(p, std::nothrow); }, alignof(std::max_align_t)},
    {"nothrow new[] / nothrow delete[]", [](size_t n) { return ::operator new[](n, std::nothrow); },
     [](void* p, size_t) { ::operator delete[](p, std::nothrow); }, alignof(std::max_align_t)},
    {"aligned new / aligned delete", [](size_t n) { return ::operator new(n, kWide); },
     [](void* p, size_t) { ::operator delete(p, kWide); }, 256},
    {"aligned new / sized aligned delete", [](size_t n) { return ::operator new(n, kWide); },
     [](void* p, size_t n) { ::operator delete(p, n, kWide); }, 256},
    {"aligned new[] / aligned delete[]", [](size_t n) { return ::operator new[](n, kWide); },
     [](void* p, size_t) { ::operator delete[](p, kWide); }, 256},
    {"aligned new[] / sized aligned delete[]", [](size_t n) { return ::operator new[](n, kWide); },
     [](void* p, size_t n) { ::operator delete[](p, n, kWide); }, 256},
    {"aligned nothrow new / aligned nothrow delete",
     [](size_t n) { return ::operator new(n, kWide, std::nothrow); },
     [](void* p, size_t) { ::operator delete(p, kWide, std::nothrow); }, 256},
    {"aligned nothrow new[] / aligned nothrow delete[]",
     [](size_t n) { return ::operator new[](n, kWide, std::nothrow); },
     [](void* p, size_t) { ::operator delete[](p, kWide, std::nothrow); }, 256},
};

TEST(AllocationCounter, EveryFormCountsTheBytesAskedForAndGivesThemBack) {
  // Odd sizes, so that malloc's rounding would show; one above glibc's mmap threshold.
  for (const Form& form : kForms) {
    for (const size_t size : {size_t{1}, size_t{13}, size_t{4099}, size_t{300001}}) {
      const uint64_t before = LiveHeapBytes();
      AllocationMeter meter;
      void* p = form.allocate(size);
      ASSERT_NE(p, nullptr) << form.name;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % form.alignment, 0u) << form.name << " " << size;
      static_cast<volatile char*>(p)[0] = 1;
      static_cast<volatile char*>(p)[size - 1] = 2;  // the whole block is the caller's
      EXPECT_EQ(LiveHeapBytes(), before + size) << form.name << " " << size;
      EXPECT_EQ(meter.Largest(), size) << form.name;
      EXPECT_EQ(meter.Count(), 1u) << form.name;
      form.release(p, size);
      EXPECT_EQ(LiveHeapBytes(), before) << form.name << " " << size;
      EXPECT_EQ(meter.Peak(), size) << form.name << " " << size;
    }
  }
}

TEST(AllocationCounter, PeakLargestAndCountStartAtTheMeter) {
  void* earlier = ::operator new(5000);
  void* big = ::operator new(2000);
  ::operator delete(big);
  {
    AllocationMeter meter;
    EXPECT_EQ(meter.Peak(), 0u);
    EXPECT_EQ(meter.Largest(), 0u);
    EXPECT_EQ(meter.Count(), 0u);
    // Freeing a block made before the meter takes the live bytes below its mark: the peak
    // stays 0 instead of wrapping around.
    ::operator delete(earlier);
    EXPECT_EQ(meter.Peak(), 0u);
    void* a = ::operator new(300);
    void* b = ::operator new(700);
    ::operator delete(a);
    void* c = ::operator new(100);
    ::operator delete(b);
    ::operator delete(c);
    // Live above the mark reached 300 + 700 - 5000 at most, which is below it.
    EXPECT_EQ(meter.Peak(), 0u);
    EXPECT_EQ(meter.Largest(), 700u);
    EXPECT_EQ(meter.Count(), 3u);
  }
  AllocationMeter meter;
  void* a = ::operator new(300);
  void* b = ::operator new(700);
  ::operator delete(a);
  void* c = ::operator new(100);
  EXPECT_EQ(meter.Peak(), 1000u);
  ::operator delete(b);
  ::operator delete(c);
  EXPECT_EQ(meter.Peak(), 1000u);
  EXPECT_EQ(meter.Largest(), 700u);
  EXPECT_EQ(meter.Count(), 3u);
}

TEST(AllocationCounter, ThreadsLoseNoCounts) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 100000;
  constexpr int kHeld = 8;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  const uint64_t before = LiveHeapBytes();
  AllocationMeter meter;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &go] {
      while (!go.load()) std::this_thread::yield();  // all threads at once, to collide
      void* held[kHeld];
      for (int i = 0; i < kRounds; ++i) {
        held[i % kHeld] = ::operator new(static_cast<size_t>(16 + t + i % 64));
        if (i % kHeld == kHeld - 1)
          for (void* p : held) ::operator delete(p);
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  // The threads' own state is freed when they end.
  EXPECT_EQ(LiveHeapBytes(), before);
  EXPECT_GE(meter.Count(), uint64_t{kThreads} * kRounds);
  EXPECT_LE(meter.Count(), uint64_t{kThreads} * kRounds + 256);  // and the runtime's few of each thread
  EXPECT_GE(meter.Peak(), uint64_t{kHeld} * 16);
  threads.clear();
}

TEST(AllocationCounter, ARequestTooLargeForTheHeaderFailsInsteadOfWrapping) {
  if (kUnderSanitizer) GTEST_SKIP() << "the sanitizer reports an impossible size itself";
  // Through a volatile, so that the compiler does not refuse the size itself.
  volatile size_t huge = SIZE_MAX - 4;
  const uint64_t before = LiveHeapBytes();
  EXPECT_THROW(static_cast<void>(::operator new(huge)), std::bad_alloc);
  EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
  EXPECT_EQ(::operator new[](huge, kWide, std::nothrow), nullptr);
  EXPECT_EQ(LiveHeapBytes(), before);
}

TEST(AllocationFailure, OnlyTheChosenAllocationFailsInEveryForm) {
  std::vector<void*> blocks;
  blocks.reserve(3);  // no allocation of the vector's own among those counted
  {
    const AllocationFailure failure(2);
    blocks.push_back(::operator new(8));
    blocks.push_back(::operator new[](8, kWide));
    EXPECT_FALSE(failure.Happened());
    EXPECT_THROW(static_cast<void>(::operator new(8)), std::bad_alloc);
    EXPECT_TRUE(failure.Happened());
    blocks.push_back(::operator new(8));
  }
  {
    const AllocationFailure failure(0);
    EXPECT_EQ(::operator new(8, std::nothrow), nullptr);
    EXPECT_TRUE(failure.Happened());
  }
  ::operator delete(blocks[0]);
  ::operator delete[](blocks[1], kWide);
  ::operator delete(blocks[2]);
}

TEST(AllocationCounterDeathTest, ASecondMeterWhileOneIsAliveStopsTheProgram) {
  EXPECT_DEATH(
      {
        AllocationMeter first;
        AllocationMeter second;
      },
      "a second meter while one is alive");
}

TEST(AllocationCounterDeathTest, UnderTheSanitizerBlocksKeepTheirGuardsOnBothSides) {
  if (!kUnderSanitizer) GTEST_SKIP() << "only the sanitizer guards the edges of a block";
  for (const Form& form : kForms) {
    EXPECT_DEATH(static_cast<volatile char*>(form.allocate(13))[13] = 0, "heap-buffer-overflow") << form.name;
    EXPECT_DEATH(static_cast<volatile char*>(form.allocate(13))[-1] = 0, "heap-buffer-overflow") << form.name;
  }
}

}  // namespace
}  // namespace cvm::test
