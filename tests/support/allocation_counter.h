// Counts the heap use of a program through its own replacement of the global operator new and
// delete (every form: plain and array, nothrow, sized, aligned). Only a program that links the
// library cvm_allocation_counter gets the replacement; there it counts every allocation of
// every thread, the exporter's and the standard library's included, from the program's start.
//
// Why this and not getrusage: maxrss only ever grows over the life of the process and counts
// pages, not bytes, so the peak of one stretch of code after a larger one would be invisible.
// Counting every allocation gives the peak of live bytes between two points exactly. It sees
// only operator new; malloc from C code (the stdio buffers among it) is outside it.
//
// A block counts the bytes asked for, so the figures are the same with any malloc. Under
// AddressSanitizer each block goes to the sanitizer's malloc exactly as asked, so that it
// guards the block's edges as without the replacement; a request for 0 bytes counts as 1 there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvm::test {

// Bytes allocated through operator new and not yet freed.
uint64_t LiveHeapBytes();

// Measures the stretch of code from its construction on: the peak of live bytes above those
// live at construction, the largest single allocation and the number of allocations. The peak
// window is the program's, so only one meter may be alive at a time (a second one aborts the
// program); allocations of other threads in that time are counted as well.
class AllocationMeter {
 public:
  AllocationMeter();
  ~AllocationMeter();
  AllocationMeter(const AllocationMeter&) = delete;
  AllocationMeter& operator=(const AllocationMeter&) = delete;

  // The most bytes live at one time since construction, less those live at construction; 0
  // when the stretch only freed blocks made before it.
  uint64_t Peak() const;
  // The largest request since construction, in bytes.
  size_t Largest() const;
  // Allocations since construction.
  uint64_t Count() const;

 private:
  uint64_t mark_;
  uint64_t countMark_;
};

// Makes one allocation fail: the one that is number `which` (0 for the first) among those made
// after construction, on any thread; operator new then throws std::bad_alloc (the nothrow forms
// return null) as when memory runs out. The allocations after it succeed again. One at a time,
// like the meter.
class AllocationFailure {
 public:
  explicit AllocationFailure(uint64_t which);
  ~AllocationFailure();
  AllocationFailure(const AllocationFailure&) = delete;
  AllocationFailure& operator=(const AllocationFailure&) = delete;

  // Whether that allocation was asked for (and failed) yet.
  bool Happened() const;
};

}  // namespace cvm::test
