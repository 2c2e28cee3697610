#include "output/atomic_file_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', '!'};

bool WriteThrough(AtomicFileTarget& target, const std::vector<uint8_t>& bytes, std::string& error) {
  return target.Open(error) && target.Sink().Append(bytes.data(), bytes.size(), error) &&
         target.Commit(error);
}

TEST(AtomicFileTarget, CommitReplacesTheTargetAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("out.cvm");
  WriteBytes(path, kOld);
  AtomicFileTarget target(path);
  std::string error;
  ASSERT_TRUE(WriteThrough(target, kNew, error)) << error;
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.cvm"});
}

TEST(AtomicFileTarget, AbortLeavesAnExistingTargetAsItWas) {
  TempDir dir;
  const std::string path = dir.File("out.cvm");
  WriteBytes(path, kOld);
  {
    AtomicFileTarget target(path);
    std::string error;
    ASSERT_TRUE(target.Open(error)) << error;
    ASSERT_TRUE(target.Sink().Append(kNew.data(), kNew.size(), error));
    target.Abort();
  }
  {
    AtomicFileTarget dropped(path);  // destroyed without commit: same as abort
    std::string error;
    ASSERT_TRUE(dropped.Open(error));
  }
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.cvm"});
}

TEST(AtomicFileTarget, RefusesPathsItCannotWrite) {
  TempDir dir;
  WriteBytes(dir.File("plain-file"), kOld);
  std::filesystem::create_directory(dir.Path() / "folder");
  WriteBytes(dir.File("readonly.cvm"), kOld);
  chmod(dir.File("readonly.cvm").c_str(), 0444);
  const struct {
    std::string path;
    std::string messagePart;
  } cases[] = {
      {dir.File("missing/out.cvm"), "cannot create a file in the folder of"},
      {dir.File("plain-file/out.cvm"), "cannot create a file in the folder of"},
      {dir.File("folder"), "cannot replace"},
      {dir.File("folder") + "/", "names a folder"},
      {dir.File("readonly.cvm"), "read-only"},
  };
  for (const auto& c : cases) {
    AtomicFileTarget target(c.path);
    std::string error;
    EXPECT_FALSE(WriteThrough(target, kNew, error)) << c.path;
    EXPECT_NE(error.find(c.messagePart), std::string::npos) << c.path << ": " << error;
    EXPECT_NE(error.find(c.path.substr(dir.Path().string().size())), std::string::npos) << error;
  }
  EXPECT_EQ(ReadBytes(dir.File("readonly.cvm")), kOld);
  EXPECT_EQ(ReadBytes(dir.File("plain-file")), kOld);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder", "plain-file", "readonly.cvm"}));
}

TEST(AtomicFileTarget, WritesTargetsWhoseNamesLeaveNoRoomForTheTemporarySuffix) {
  TempDir dir;
  for (const size_t length : {size_t{200}, size_t{240}, size_t{255}}) {
    const std::string name(length, 'n');
    AtomicFileTarget target(dir.File(name));
    std::string error;
    EXPECT_TRUE(WriteThrough(target, kNew, error)) << length << ": " << error;
    EXPECT_EQ(ReadBytes(dir.File(name)), kNew) << length;
    std::filesystem::remove(dir.File(name));
  }
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(AtomicFileTarget, KeepsThePermissionsOfTheFileItReplaces) {
  TempDir dir;
  const std::string path = dir.File("out.cvm");
  WriteBytes(path, kOld);
  chmod(path.c_str(), 0640);
  AtomicFileTarget target(path);
  std::string error;
  ASSERT_TRUE(WriteThrough(target, kNew, error)) << error;
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFileTarget, RemovesTemporariesOfWritersThatNoLongerRun) {
  TempDir dir;
  const std::string path = dir.File("out.cvm");
  // A process id far above any the system hands out stands for a writer killed mid-export.
  WriteBytes(dir.File(".out.cvm.cvmtmp-2147483646"), kOld);
  // Temporaries of other targets and files that merely look alike are left alone.
  WriteBytes(dir.File(".other.cvm.cvmtmp-2147483646"), kOld);
  WriteBytes(dir.File(".out.cvm.cvmtmp-notapid"), kOld);
  AtomicFileTarget target(path);
  std::string error;
  ASSERT_TRUE(WriteThrough(target, kNew, error)) << error;
  EXPECT_EQ(dir.Entries(),
            (std::vector<std::string>{".other.cvm.cvmtmp-2147483646", ".out.cvm.cvmtmp-notapid", "out.cvm"}));
}

}  // namespace
}  // namespace cvm
