// How the converter's process takes memory from the system.
//
// A large conversion spends much of its time in the system's first touch of fresh pages:
// every page a process writes for the first time costs a fault of about a microsecond here,
// and a million-face model file takes some 70 000 of them, most while one thread reads or
// builds. Both measures below apply to glibc on Linux and do nothing elsewhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace cvm::tools {

// Keeps freed memory in the process instead of giving it back at once, so that what an
// import frees serves the export that follows without fresh pages. Call once, first thing.
void KeepFreedMemoryInProcess();

// What a conversion of the file at `path` is expected to take from the heap (a multiple of
// the file's size, at most a quarter of the machine's memory and at most the amount kept by
// KeepFreedMemoryInProcess); 0 when the file is too small for warming to pay or cannot be read.
uint64_t ExpectedConversionBytes(const std::string& path);

// Grows the heap by `bytes` and has a second thread ask the system to back that range with
// pages while this thread goes on (Linux's MADV_POPULATE_WRITE, which maps pages without
// writing to them). Nothing in memory is changed, so the warming is safe beside any
// allocation or use of the range, and an estimate that is off costs only the second core's
// time or resident memory. Does nothing for 0 bytes, without a second thread, or where the
// system does not know the request. The destructor stops the warming and waits for it.
class HeapWarmer {
 public:
  explicit HeapWarmer(uint64_t bytes);
  ~HeapWarmer();
  HeapWarmer(const HeapWarmer&) = delete;
  HeapWarmer& operator=(const HeapWarmer&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace cvm::tools
