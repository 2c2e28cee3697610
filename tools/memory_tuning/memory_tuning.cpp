#include "tools/memory_tuning/memory_tuning.h"

#include <cstring>
#include <string_view>

#if !defined(_WIN32)
#include <unistd.h>
extern char** environ;
#endif

namespace cvm::tools {
namespace {

constexpr std::string_view kName = "GLIBC_TUNABLES=";

// The value of the environment's GLIBC_TUNABLES entry, or null without one.
const char* TunablesOf(const char* const* environment) {
  for (const char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::string_view(*entry).substr(0, kName.size()) == kName) return *entry + kName.size();
  }
  return nullptr;
}

}  // namespace

bool IsTuned(const char* const* environment) {
  const char* tunables = TunablesOf(environment);
  if (tunables == nullptr) return false;
  const std::string_view value(tunables);
  const std::string_view ours(kConversionTunables);
  return value.substr(0, ours.size()) == ours && (value.size() == ours.size() || value[ours.size()] == ':');
}

std::vector<std::string> TunedEnvironment(const char* const* environment) {
  const bool tuned = IsTuned(environment);
  std::vector<std::string> out;
  bool merged = false;
  for (const char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
    if (!tuned && !merged && std::string_view(*entry).substr(0, kName.size()) == kName) {
      // The tunables read left to right, a later one replacing an earlier: the user's stay last.
      const char* theirs = *entry + kName.size();
      out.push_back(std::string(kName) + kConversionTunables + (*theirs != '\0' ? ":" : "") + theirs);
      merged = true;
    } else {
      out.emplace_back(*entry);
    }
  }
  if (!tuned && !merged) out.push_back(std::string(kName) + kConversionTunables);
  return out;
}

bool TuningSwitchedOff(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (std::strcmp(argv[i], kNoMemoryTuningFlag) == 0) return true;
  }
  return false;
}

void RestartTuned(int argc, char** argv) {
#if !defined(_WIN32)
  if (IsTuned(environ) || TuningSwitchedOff(argc, argv)) return;
  std::vector<std::string> environment = TunedEnvironment(environ);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  execve("/proc/self/exe", argv, envp.data());  // returns only when it fails
#else
  (void)argc;
  (void)argv;
#endif
}

}  // namespace cvm::tools
