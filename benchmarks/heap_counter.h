// Live heap bytes of the benchmark process, counted by its own global operator new and delete
// (heap_counter.cpp replaces them for the whole program, the exporter's allocations included).
//
// Why this and not getrusage: maxrss only ever grows over the life of the process and counts
// pages, not bytes, so the peak of one export after a larger one would be invisible. Counting
// every allocation gives the peak of live bytes between two points exactly. It sees only
// operator new (every std container of the exporter and the stand-in host); malloc from C code
// and the stdio buffer of the output file are outside it, which is a few KiB.
#pragma once

#include <cstdint>

namespace cvm::bench {

// Bytes allocated through operator new and not yet freed.
uint64_t LiveHeapBytes();
// Starts a new peak window: the peak becomes the current live bytes.
void ResetHeapPeak();
// The largest LiveHeapBytes since the last ResetHeapPeak.
uint64_t HeapPeakBytes();

}  // namespace cvm::bench
