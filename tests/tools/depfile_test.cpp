#include "tools/cvmexport/depfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvm::tools {
namespace {

TEST(EscapeForMakeRule, EscapesWhatMakeAndNinjaWouldMisread) {
  const struct {
    std::string path;
    std::string escaped;
  } cases[] = {
      {"models/box.gltf", "models/box.gltf"},
      {"my models/box 1.gltf", "my\\ models/box\\ 1.gltf"},
      {"tab\there", "tab\\\there"},
      {"hash#1.obj", "hash\\#1.obj"},
      {"cost$5.obj", "cost$$5.obj"},
      // Backslashes right before a space are doubled, others are left as they are.
      {"odd\\ name", "odd\\\\\\ name"},
      {"C:\\models\\box.obj", "C:\\models\\box.obj"},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string escaped;
    EXPECT_TRUE(EscapeForMakeRule(c.path, escaped)) << c.path;
    EXPECT_EQ(escaped, c.escaped) << c.path;
  }
  std::string escaped;
  EXPECT_FALSE(EscapeForMakeRule("line\nbreak", escaped));
  EXPECT_FALSE(EscapeForMakeRule("carriage\rreturn", escaped));
}

TEST(MakeDepfileRule, NamesTheOutputThenEachFileOnce) {
  std::string rule, error;
  ASSERT_TRUE(
      MakeDepfileRule("out dir/a.cvm", {"in/a.gltf", "in/./a.bin", "in/a.bin", "in/a.gltf"}, rule, error))
      << error;
  EXPECT_EQ(rule, "out\\ dir/a.cvm: in/a.gltf in/./a.bin\n");
  EXPECT_FALSE(MakeDepfileRule("a.cvm", {"in/a.gltf", "in/bad\nname.bin"}, rule, error));
  EXPECT_NE(error.find("line break"), std::string::npos) << error;
}

}  // namespace
}  // namespace cvm::tools
