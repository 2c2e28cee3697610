#include "output/replace_if_changed_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A time well in the past, so that a file written by the test cannot have it by chance.
constexpr time_t kOldTime = 1000000000;

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

TEST(ReplaceIfChangedTarget, LeavesATargetWithTheSameBytesUntouchedAndReplacesAnyOther) {
  const struct {
    const char* what;
    std::optional<std::string> existing;
    std::string written;
    bool unchanged;
  } cases[] = {
      {"no target", std::nullopt, "abcdefg", false},
      {"the same bytes", "abcdefg", "abcdefg", true},
      {"nothing, over an empty file", "", "", true},
      {"the last byte differs", "abcdefX", "abcdefg", false},
      {"the first byte differs", "Xbcdefg", "abcdefg", false},
      {"the target is longer", "abcdefgh", "abcdefg", false},
      {"the target is shorter", "abcdef", "abcdefg", false},
      {"bytes over an empty file", "", "abcdefg", false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("out.cvm");
    if (c.existing) {
      WriteBytes(path, Bytes(*c.existing));
      const utimbuf times{kOldTime, kOldTime};
      ASSERT_EQ(utime(path.c_str(), &times), 0);
    }
    const ino_t inode = c.existing ? StatOf(path).st_ino : 0;

    ReplaceIfChangedTarget target(path);
    std::string error;
    ASSERT_TRUE(target.Open(error)) << c.what << ": " << error;
    // In pieces of three, as the export hands over its blocks: the comparison spans them.
    for (size_t at = 0; at < c.written.size(); at += 3) {
      const std::string piece = c.written.substr(at, 3);
      ASSERT_TRUE(target.Sink().Append(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), error))
          << c.what << ": " << error;
    }
    ASSERT_TRUE(target.Commit(error)) << c.what << ": " << error;

    EXPECT_EQ(target.Unchanged(), c.unchanged) << c.what;
    EXPECT_EQ(ReadBytes(path), Bytes(c.written)) << c.what;
    const struct stat st = StatOf(path);
    if (c.unchanged) {
      EXPECT_EQ(st.st_mtime, kOldTime) << c.what;
      EXPECT_EQ(st.st_ino, inode) << c.what;
    } else {
      EXPECT_NE(st.st_mtime, kOldTime) << c.what;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.cvm"}) << c.what;
  }
}

TEST(ReplaceIfChangedTarget, AbortAndRefusalsLeaveTheTargetAsItWas) {
  TempDir dir;
  const std::string path = dir.File("out.cvm");
  const std::vector<uint8_t> old = Bytes("old");
  WriteBytes(path, old);
  {
    ReplaceIfChangedTarget target(path);
    std::string error;
    ASSERT_TRUE(target.Open(error)) << error;
    const std::vector<uint8_t> other = Bytes("new!");
    ASSERT_TRUE(target.Sink().Append(other.data(), other.size(), error));
    target.Abort();
    EXPECT_FALSE(target.Unchanged());
  }
  EXPECT_EQ(ReadBytes(path), old);
  // A read-only target is refused even when it already holds the bytes.
  chmod(path.c_str(), 0444);
  ReplaceIfChangedTarget target(path);
  std::string error;
  EXPECT_FALSE(target.Open(error));
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.cvm"});
}

}  // namespace
}  // namespace cvm
