#include "tools/cvmexport/memory_tuning.h"

#include <cstring>

namespace cvm::tools {

std::vector<std::string> ConversionEnvironment(const char* const* environment, bool tune) {
  constexpr char kName[] = "GLIBC_TUNABLES=";
  constexpr size_t kNameLength = sizeof kName - 1;
  std::vector<std::string> out;
  bool merged = false;
  for (const char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
    if (tune && std::strncmp(*entry, kName, kNameLength) == 0) {
      // The tunables read left to right, a later one replacing an earlier: the user's stay last.
      const char* theirs = *entry + kNameLength;
      out.push_back(std::string(kName) + kConversionTunables + (*theirs != '\0' ? ":" : "") + theirs);
      merged = true;
    } else {
      out.emplace_back(*entry);
    }
  }
  if (tune && !merged) out.push_back(std::string(kName) + kConversionTunables);
  return out;
}

}  // namespace cvm::tools
