// The allocator tunables the tools start with: added to the environment they were given, a
// user's own tunables kept and still deciding, and the restart that puts them in place made once.
#include "tools/memory_tuning/memory_tuning.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace cvm::tools {
namespace {

const std::string kOurs = std::string("GLIBC_TUNABLES=") + kConversionTunables;

TEST(MemoryTuning, TheTunablesJoinTheEnvironmentAndTheUsersOwnComeLast) {
  struct Case {
    const char* what;
    std::vector<const char*> given;
    std::vector<std::string> expected;
    bool tunedBefore;
  };
  const std::string oursThenTheirs = kOurs + ":glibc.malloc.arena_max=4";
  const Case cases[] = {
      {"none set", {"PATH=/bin", "HOME=/root"}, {"PATH=/bin", "HOME=/root", kOurs}, false},
      {"the user's own",
       {"GLIBC_TUNABLES=glibc.malloc.arena_max=4", "PATH=/bin"},
       {oursThenTheirs, "PATH=/bin"},
       false},
      {"an empty setting", {"GLIBC_TUNABLES="}, {kOurs}, false},
      {"a name that only starts alike", {"GLIBC_TUNABLESX=1"}, {"GLIBC_TUNABLESX=1", kOurs}, false},
      {"an empty environment", {}, {kOurs}, false},
      {"already tuned", {"PATH=/bin", kOurs.c_str()}, {"PATH=/bin", kOurs}, true},
      {"already tuned, the user's after", {oursThenTheirs.c_str()}, {oursThenTheirs}, true},
      {"ours only as a prefix of another setting",
       {"GLIBC_TUNABLES=glibc.malloc.hugetlb=1:glibc.malloc.arena_max=16"},
       {kOurs + ":glibc.malloc.hugetlb=1:glibc.malloc.arena_max=16"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<const char*> environment = c.given;
    environment.push_back(nullptr);
    EXPECT_EQ(IsTuned(environment.data()), c.tunedBefore);
    EXPECT_EQ(TunedEnvironment(environment.data()), c.expected);
    std::vector<const char*> after;
    for (const std::string& entry : c.expected) after.push_back(entry.c_str());
    after.push_back(nullptr);
    EXPECT_TRUE(IsTuned(after.data()));
  }
  EXPECT_EQ(TunedEnvironment(nullptr), std::vector<std::string>{kOurs});
}

TEST(MemoryTuning, TheSwitchCountsAmongTheOptionsOnly) {
  struct Case {
    std::vector<const char*> argv;
    bool off;
  };
  const Case cases[] = {
      {{"cvmdump", "a.cvm"}, false},
      {{"cvmdump", "--no-memory-tuning", "a.cvm"}, true},
      {{"cvmexport", "a.glb", "-o", "a.cvm", "--no-memory-tuning"}, true},
      {{"cvmexport", "--", "--no-memory-tuning"}, false},  // a file of that name
      {{"--no-memory-tuning"}, false},                     // the program's own name
      {{"cvmdump", "--no-memory-tuning=1"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv.back());
    EXPECT_EQ(TuningSwitchedOff(static_cast<int>(c.argv.size()), c.argv.data()), c.off);
  }
}

// The probe prints "start" each time its main begins, then the GLIBC_TUNABLES it runs with.
TEST(MemoryTuning, AToolRestartsOnceWithTheTunablesUnlessSwitchedOff) {
  struct Case {
    const char* what;
    const char* given;  // GLIBC_TUNABLES of the environment, null for none
    std::vector<std::string> args;
    std::string expected;
  };
  const std::string ours = kConversionTunables;
  const Case cases[] = {
      {"none set", nullptr, {"x"}, "start\nstart\n" + ours + "\n"},
      {"the user's own",
       "glibc.malloc.arena_max=4",
       {},
       "start\nstart\n" + ours + ":glibc.malloc.arena_max=4\n"},
      {"already tuned", kConversionTunables, {}, "start\n" + ours + "\n"},
      {"switched off", nullptr, {"x", kNoMemoryTuningFlag}, "start\n(none)\n"},
      {"switched off, the user's own",
       "glibc.malloc.arena_max=4",
       {kNoMemoryTuningFlag},
       "start\nglibc.malloc.arena_max=4\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.given != nullptr)
      setenv("GLIBC_TUNABLES", c.given, 1);
    else
      unsetenv("GLIBC_TUNABLES");
    const test::ProcessResult result = test::RunProcess(TUNING_PROBE_PATH, c.args);
    unsetenv("GLIBC_TUNABLES");
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, c.expected);
  }
}

}  // namespace
}  // namespace cvm::tools
