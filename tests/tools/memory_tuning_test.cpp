// The environment a model file's child is started with: the allocator tunables added to what
// the converter was given, a user's own tunables kept and still deciding.
#include "tools/cvmexport/memory_tuning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvm::tools {
namespace {

TEST(MemoryTuning, TheTunablesJoinTheEnvironmentAndTheUsersOwnComeLast) {
  const std::string ours = std::string("GLIBC_TUNABLES=") + kConversionTunables;
  struct Case {
    const char* what;
    std::vector<const char*> given;
    bool tune;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"none set", {"PATH=/bin", "HOME=/root"}, true, {"PATH=/bin", "HOME=/root", ours}},
      {"the user's own",
       {"GLIBC_TUNABLES=glibc.malloc.arena_max=4", "PATH=/bin"},
       true,
       {ours + ":glibc.malloc.arena_max=4", "PATH=/bin"}},
      {"an empty setting", {"GLIBC_TUNABLES="}, true, {ours}},
      {"a name that only starts alike", {"GLIBC_TUNABLESX=1"}, true, {"GLIBC_TUNABLESX=1", ours}},
      {"switched off",
       {"PATH=/bin", "GLIBC_TUNABLES=glibc.malloc.arena_max=4"},
       false,
       {"PATH=/bin", "GLIBC_TUNABLES=glibc.malloc.arena_max=4"}},
      {"an empty environment", {}, true, {ours}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<const char*> environment = c.given;
    environment.push_back(nullptr);
    EXPECT_EQ(ConversionEnvironment(environment.data(), c.tune), c.expected);
  }
  EXPECT_EQ(ConversionEnvironment(nullptr, true), std::vector<std::string>{ours});
}

}  // namespace
}  // namespace cvm::tools
