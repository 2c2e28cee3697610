// A floor for what any exporter of a mesh must spend: touching its gathered per-corner data
// once (one memcpy of that many bytes) and writing a file of the output's size the way the
// exporter writes its files (AtomicFileTarget: temporary file, 1 MiB blocks, fsync, rename).
// The source (standing for the host's mesh) and the bytes of the file exist before the clock
// starts; the copy goes to fresh memory inside the timed part, since any exporter's gathered
// data must, and the first touch of fresh memory is a large part of its cost.
#pragma once

#include <cstdint>
#include <string>

namespace cvm::bench {

struct ProxyTimes {
  double copy = 0;
  double write = 0;
  double total = 0;
};

bool RunLimitProxy(uint64_t gatheredBytes, uint64_t fileBytes, const std::string& path, ProxyTimes& times,
                   std::string& error);

}  // namespace cvm::bench
