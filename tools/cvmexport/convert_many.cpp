#include "tools/cvmexport/convert_many.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

namespace cvm::tools {

std::string OutputPathFor(const std::string& input, const std::string& outDir) {
  return (std::filesystem::path(outDir) / std::filesystem::path(input).filename().replace_extension(".cvm"))
      .string();
}

std::string FirstOutputClash(const std::vector<std::string>& inputs, const std::string& outDir) {
  std::map<std::string, const std::string*> seen;
  for (const std::string& input : inputs) {
    const auto [at, added] = seen.emplace(OutputPathFor(input, outDir), &input);
    if (!added) return *at->second + " and " + input + " would both write " + at->first;
  }
  return std::string();
}

std::vector<ConvertResult> ConvertMany(const std::vector<std::string>& inputs, const std::string& outDir,
                                       const ConvertRequest& base, unsigned jobs) {
  std::vector<ConvertResult> results(inputs.size());
  if (inputs.empty()) return results;
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i = next++; i < inputs.size(); i = next++) {
      ConvertRequest request = base;
      request.scenePath = inputs[i];
      request.outputPath = OutputPathFor(inputs[i], outDir);
      results[i] = ConvertScene(request);
    }
  };
  const size_t threads = std::clamp<size_t>(jobs, 1, inputs.size());
  std::vector<std::thread> workers;
  for (size_t t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  return results;
}

int CombinedStatus(const std::vector<ConvertResult>& results) {
  int status = kExitWritten;
  for (const ConvertResult& result : results) {
    if (result.status == kExitError) return kExitError;
    if (result.status == kExitNoData) status = kExitNoData;
  }
  return status;
}

}  // namespace cvm::tools
