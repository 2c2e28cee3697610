#include "output/atomic_file_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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

std::string NameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

void MakeOld(const std::string& path) {
  const auto twoDaysAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
  std::filesystem::last_write_time(path, twoDaysAgo);
}

TEST(AtomicFileTarget, RemovesOnlyTheTemporariesOfWritersThatSurelyNoLongerRun) {
  TempDir dir;
  const std::string path = dir.File("out.cvm");
  // A process id far above any the system hands out stands for a writer killed mid-export.
  const std::string deadHere = TemporaryPathFor(path, 2147483646);
  const std::string aliveHere = TemporaryPathFor(path, static_cast<unsigned long>(getppid()));
  const std::string stem = dir.File(".out.cvm.cvmtmp-");
  const struct {
    std::string path;
    bool old;
    bool removed;
  } cases[] = {
      {deadHere, false, true},
      {aliveHere, false, false},
      // Another machine's writer in a shared folder cannot be asked: kept for a day.
      {stem + "other-machine-2147483646", false, false},
      {stem + "other-machine-2147483645", true, true},
      // Temporaries of an older naming, without a host, count as another machine's.
      {stem + "2147483646", false, false},
      {stem + "2147483645", true, true},
      // Temporaries of other targets and files that merely look alike are left alone.
      {dir.File(".other.cvm.cvmtmp-") + NameOf(deadHere).substr(std::string(".out.cvm.cvmtmp-").size()),
       false, false},
      {stem + "notapid", true, false},
  };
  for (const auto& c : cases) {
    WriteBytes(c.path, kOld);
    if (c.old) MakeOld(c.path);
  }
  AtomicFileTarget target(path);
  std::string error;
  ASSERT_TRUE(WriteThrough(target, kNew, error)) << error;
  for (const auto& c : cases) EXPECT_EQ(!std::filesystem::exists(c.path), c.removed) << NameOf(c.path);
}

TEST(AtomicFileTarget, ALinkKeepsLeadingToTheFileItReplaces) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "store");
  std::filesystem::create_directory(dir.Path() / "links");
  const std::string file = dir.File("store/model.cvm");
  WriteBytes(file, kOld);
  const struct {
    const char* what;
    std::string link;
    std::string leadsTo;  // as the link holds it
    std::string file;     // the file written
  } cases[] = {
      {"absolute link", dir.File("links/absolute.cvm"), file, file},
      {"relative link", dir.File("links/relative.cvm"), "../store/model.cvm", file},
      {"link to a link", dir.File("links/second.cvm"), "absolute.cvm", file},
      {"link to a file not made yet", dir.File("links/new.cvm"), "../store/new.cvm",
       dir.File("store/new.cvm")},
  };
  for (const auto& c : cases) {
    std::filesystem::create_symlink(c.leadsTo, c.link);
    AtomicFileTarget target(c.link);
    std::string error;
    ASSERT_TRUE(WriteThrough(target, kNew, error)) << c.what << ": " << error;
    EXPECT_TRUE(std::filesystem::is_symlink(c.link)) << c.what;
    EXPECT_EQ(std::filesystem::read_symlink(c.link).string(), c.leadsTo) << c.what;
    EXPECT_EQ(ReadBytes(c.file), kNew) << c.what;
    WriteBytes(file, kOld);
  }
  // No temporary stays behind, beside the links or beside the files.
  for (const char* folder : {"store", "links"}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / folder))
      EXPECT_EQ(entry.path().filename().string().find(".cvmtmp-"), std::string::npos) << entry.path();
  }
}

TEST(AtomicFileTarget, ALoopOfLinksIsRefused) {
  TempDir dir;
  std::filesystem::create_symlink("b.cvm", dir.File("a.cvm"));
  std::filesystem::create_symlink("a.cvm", dir.File("b.cvm"));
  AtomicFileTarget target(dir.File("a.cvm"));
  std::string error;
  EXPECT_FALSE(WriteThrough(target, kNew, error));
  EXPECT_NE(error.find("too many levels of symbolic links"), std::string::npos) << error;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.cvm", "b.cvm"}));
}

}  // namespace
}  // namespace cvm
