// Records the largest single heap allocation made while a tracker is alive, through a
// replacement of the global operator new in this test program.
#pragma once

#include <cstddef>

namespace cvm::reader::test {

class LargestAllocation {
 public:
  LargestAllocation();
  ~LargestAllocation();
  size_t bytes() const;
};

}  // namespace cvm::reader::test
