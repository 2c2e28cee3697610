// Measures the heap use of a stretch of code through a replacement of the global operator new
// in this test program: the largest single allocation and the peak of the bytes live at once,
// counted from when the meter was made.
#pragma once

#include <cstddef>

namespace cvm::test {

class AllocationMeter {
 public:
  AllocationMeter();
  ~AllocationMeter();
  AllocationMeter(const AllocationMeter&) = delete;
  AllocationMeter& operator=(const AllocationMeter&) = delete;

  size_t Largest() const;
  size_t Peak() const;  // the most bytes allocated since construction and live at one time
};

}  // namespace cvm::test
