// Seconds spent in each step of one mesh export, as the benchmark reports them.
#pragma once

#include <chrono>
#include <cstdint>

namespace cvm::bench {

struct PhaseTimes {
  double convert = 0;    // conversion, transforms and the host's buildNormals
  double gather = 0;     // gathering, which also merges each channel's same values
  double normals = 0;    // the normal consolidation pass
  double positions = 0;  // the position pass (sorted or in order)
  double uvs = 0;        // the texture-coordinate pass
  double channels = 0;   // the three passes as the mesh section runs them (ConsolidateChannels)
  double write = 0;      // the record's blocks, then flushing, syncing and closing the file
  double total = 0;
  uint64_t fileBytes = 0;
};

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  // Seconds since the last Lap (or construction); starts the next lap.
  double Lap() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    start_ = now;
    return seconds;
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace cvm::bench
