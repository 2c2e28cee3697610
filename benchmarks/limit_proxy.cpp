#include "benchmarks/limit_proxy.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "benchmarks/phase_times.h"
#include "output/atomic_file_target.h"

namespace cvm::bench {

bool RunLimitProxy(uint64_t gatheredBytes, uint64_t fileBytes, const std::string& path, ProxyTimes& times,
                   std::string& error) {
  const std::vector<uint8_t> source(gatheredBytes, 0x5A);
  const std::vector<uint8_t> output(fileBytes, 0xA5);

  Stopwatch clock;
  // Fresh memory, as any exporter's per-corner data must go somewhere new.
  const std::unique_ptr<uint8_t[]> copy(new uint8_t[gatheredBytes + 1]);
  if (gatheredBytes > 0) std::memcpy(copy.get(), source.data(), gatheredBytes);
  times.copy = clock.Lap();

  AtomicFileTarget target(path);
  if (!target.Open(error)) return false;
  constexpr size_t kBlock = size_t{1} << 20;
  for (size_t at = 0; at < output.size(); at += kBlock) {
    if (!target.Sink().Append(output.data() + at, std::min(kBlock, output.size() - at), error)) {
      target.Abort();
      return false;
    }
  }
  if (!target.Commit(error)) return false;
  times.write = clock.Lap();
  times.total = times.copy + times.write;
  // Keeps the copy from being optimised away.
  if (gatheredBytes > 0 && copy[gatheredBytes / 2] != 0x5A) error = "copy lost";
  return error.empty();
}

}  // namespace cvm::bench
