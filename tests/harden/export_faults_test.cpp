// Exports that the file system interrupts or refuses: a converter killed while it writes, a
// write that fails part-way (a full disk), outputs that cannot be written. Each leaves the old
// output as it was and, once a later export to the same target has run, no temporary behind.
// Also the exit statuses and messages of cvmdump on files it cannot use.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/atomic_file_target.h"
#include "reader/cvm_reader.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::RunProcess;
using test::TempDir;
using test::WriteBytes;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
constexpr const char* kLightScene = R"({"nodes": [{"name": "Lamp", "object": {"kind": "light"}}]})";

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
  WriteBytes(dir.File(name), std::vector<uint8_t>(text.begin(), text.end()));
  return dir.File(name);
}

// A mesh big enough that writing it takes a while: a strip of `faces` triangles over a grid
// of distinct vertices, so that nothing merges away.
std::string BigMeshScene(size_t faces) {
  const size_t columns = faces / 2 + 1;
  std::string text = R"({"nodes": [{"name": "Strip", "object": {"kind": "mesh", "vertices": [)";
  for (size_t c = 0; c < columns; ++c) {
    if (c) text += ',';
    text += "[" + std::to_string(c) + ",0,0],[" + std::to_string(c) + ",1,0]";
  }
  text += R"(], "faces": [)";
  for (size_t f = 0; f < faces; ++f) {
    const size_t c = f / 2;
    if (f) text += ',';
    text += f % 2 ? "[" + std::to_string(2 * c + 1) + "," + std::to_string(2 * c + 2) + "," +
                        std::to_string(2 * c + 3) + "]"
                  : "[" + std::to_string(2 * c) + "," + std::to_string(2 * c + 2) + "," +
                        std::to_string(2 * c + 1) + "]";
  }
  return text + "]}}]}";
}

// Starts the converter without waiting for it; its output goes nowhere.
pid_t StartConverter(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    std::vector<char*> argv = {const_cast<char*>(CVMEXPORT_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(CVMEXPORT_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

// Runs the converter with a file-size limit. Its stderr goes through a pipe, which the limit
// does not cover (a file would cut the message short at the limit too).
test::ProcessResult RunWithFileSizeLimit(const std::vector<std::string>& args, long long limit) {
  test::ProcessResult result;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeEnds[0]);
    freopen("/dev/null", "w", stdout);
    dup2(pipeEnds[1], 2);
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG, like a full disk
    const rlimit rl{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_FSIZE, &rl);
    std::vector<char*> argv = {const_cast<char*>(CVMEXPORT_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(CVMEXPORT_PATH, argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
    result.err.append(buffer, static_cast<size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) == pid) {
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return result;
}

bool ReadsAsAFile(const std::string& path) {
  reader::CvmFile file;
  reader::ReadError error;
  return reader::ReadCvmFile(path, file, error);
}

TEST(ExportFaults, AConverterKilledWhileWritingChangesNothing) {
  TempDir dir;
  const std::string scene = WriteText(dir, "big.json", BigMeshScene(400000));
  const std::string out = dir.File("out.cvm");
  WriteBytes(out, kOld);

  const pid_t pid = StartConverter({scene, "-o", out, "--quiet"});
  ASSERT_GT(pid, 0);
  const std::string temporary = TemporaryPathFor(out, static_cast<unsigned long>(pid));
  // Kill it once the temporary holds part of the file.
  bool caught = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code error;
    if (fs::file_size(temporary, error) > 0 && !error) {
      caught = kill(pid, SIGKILL) == 0;
      break;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) break;  // finished before it could be caught
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  int status = 0;
  if (caught) {
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
  ASSERT_TRUE(caught) << "the converter finished or stalled before its temporary was seen";

  EXPECT_EQ(ReadBytes(out), kOld);
  EXPECT_TRUE(fs::exists(temporary)) << "the killed converter could not clean up, so its temporary stays";

  // The next export to the same target replaces the file and removes the leftover.
  const std::string small = WriteText(dir, "small.json", kLightScene);
  const test::ProcessResult next = RunProcess(CVMEXPORT_PATH, {small, "-o", out});
  EXPECT_EQ(next.exitStatus, 0) << next.err;
  EXPECT_TRUE(ReadsAsAFile(out));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"big.json", "out.cvm", "small.json"}));
}

TEST(ExportFaults, AWriteThatFailsAnywhereKeepsTheOldFile) {
  TempDir dir;
  const std::string out = dir.File("out.cvm");
  const std::string reference = dir.File("reference.cvm");
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", reference}).exitStatus, 0);
  const long long size = static_cast<long long>(fs::file_size(reference));
  fs::remove(reference);
  // The file-size limit fails a write as a full disk would: at the first byte, inside the
  // header, at the header's end, in the middle, at the very last byte.
  for (long long limit : {0LL, 7LL, 20LL, size / 2, size - 1}) {
    WriteBytes(out, kOld);
    const test::ProcessResult run = RunWithFileSizeLimit({EXAMPLE_SCENE, "-o", out}, limit);
    EXPECT_EQ(run.exitStatus, 1) << "limit " << limit << ": " << run.err;
    EXPECT_NE(run.err.find("cannot write '" + out + "'"), std::string::npos)
        << "limit " << limit << ": " << run.err;
    EXPECT_EQ(ReadBytes(out), kOld) << "limit " << limit;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.cvm"}) << "limit " << limit;
  }
  // With exactly enough room the file is written.
  EXPECT_EQ(RunWithFileSizeLimit({EXAMPLE_SCENE, "-o", out}, size).exitStatus, 0);
  EXPECT_EQ(static_cast<long long>(fs::file_size(out)), size);
}

TEST(ExportFaults, OutputsThatCannotBeWrittenExitOneAndChangeNothing) {
  TempDir dir;
  const std::string scene = WriteText(dir, "scene.json", kLightScene);
  WriteBytes(dir.File("readonly.cvm"), kOld);
  chmod(dir.File("readonly.cvm").c_str(), 0444);
  WriteBytes(dir.File("plain-file"), kOld);
  const struct {
    std::string output;
    std::string message;
  } cases[] = {
      // Refused by the exporter itself, so that root, whom modes do not stop, is refused too.
      {dir.File("readonly.cvm"), "cannot write '" + dir.File("readonly.cvm") + "': the file is read-only"},
      {dir.File("plain-file/out.cvm"),
       "cannot create a file in the folder of '" + dir.File("plain-file/out.cvm") + "': Not a directory"},
      {dir.File("missing/out.cvm"), "cannot create a file in the folder of '" + dir.File("missing/out.cvm") +
                                        "': No such file or directory"},
  };
  for (const auto& c : cases) {
    const test::ProcessResult run = RunProcess(CVMEXPORT_PATH, {scene, "-o", c.output});
    EXPECT_EQ(run.exitStatus, 1) << c.output;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
  }
  EXPECT_EQ(ReadBytes(dir.File("readonly.cvm")), kOld);
  EXPECT_EQ(ReadBytes(dir.File("plain-file")), kOld);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"plain-file", "readonly.cvm", "scene.json"}));
}

TEST(ExportFaults, AFolderWithoutWritePermissionIsRefused) {
  TempDir dir;
  const std::string scene = WriteText(dir, "scene.json", kLightScene);
  std::string output;
  if (geteuid() != 0) {
    fs::create_directory(dir.Path() / "locked");
    WriteBytes(dir.File("locked/out.cvm"), kOld);
    chmod(dir.File("locked").c_str(), 0555);
    output = dir.File("locked/out.cvm");
  } else if (access("/sys", F_OK) == 0) {
    // Root writes through permission bits; sysfs refuses new files to everyone.
    output = "/sys/out.cvm";
  } else {
    GTEST_SKIP() << "running as root without /sys: no folder here refuses root's writes";
  }
  const test::ProcessResult run = RunProcess(CVMEXPORT_PATH, {scene, "-o", output});
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_NE(run.err.find("cannot create a file in the folder of '" + output + "': Permission denied"),
            std::string::npos)
      << run.err;
  if (geteuid() != 0) {
    EXPECT_EQ(ReadBytes(output), kOld);
    chmod(dir.File("locked").c_str(), 0755);
    EXPECT_EQ(fs::directory_iterator(dir.Path() / "locked")->path().filename(), "out.cvm");
  } else {
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST(ExportFaults, HostileSceneDocumentsExitOneWithTheirPlace) {
  TempDir dir;
  fs::create_directory(dir.Path() / "folder.json");
  const struct {
    std::string name;
    std::string text;
    std::string message;  // what follows "<document path>: "
  } cases[] = {
      {"folder.json", "", "cannot read the scene document: Is a directory"},
      {"empty.json", "", "(document): parse error"},
      {"deep.json", R"({"nodes": [], "_c": )" + std::string(100000, '[') + std::string(100000, ']') + "}",
       "_c"},
      {"nul.json", std::string(R"({"nodes": [{"name": "a)") + '\0' + R"(b", "object": {"kind": "helper"}}]})",
       "nodes[0]"},
      {"latin1.json", "{\"nodes\": [{\"name\": \"caf\xE9\", \"object\": {\"kind\": \"helper\"}}]}",
       "nodes[0]"},
  };
  const std::string out = dir.File("out.cvm");
  WriteBytes(out, kOld);
  for (const auto& c : cases) {
    const std::string scene = dir.File(c.name);
    if (c.name != "folder.json") WriteText(dir, c.name, c.text);
    const test::ProcessResult run = RunProcess(CVMEXPORT_PATH, {scene, "-o", out});
    EXPECT_EQ(run.exitStatus, 1) << c.name << ": " << run.err;
    EXPECT_EQ(run.err.rfind(scene + ": " + c.message, 0), 0u) << run.err.substr(0, 300);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": one line";
    EXPECT_EQ(ReadBytes(out), kOld) << c.name;
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"deep.json", "empty.json", "folder.json", "latin1.json",
                                                     "nul.json", "out.cvm"}));
}

TEST(ExportFaults, CvmdumpExitStatusesAndMessages) {
  TempDir dir;
  const std::string valid = dir.File("valid.cvm");
  ASSERT_EQ(RunProcess(CVMEXPORT_PATH, {EXAMPLE_SCENE, "-o", valid}).exitStatus, 0);
  const std::vector<uint8_t> bytes = ReadBytes(valid);
  std::vector<uint8_t> trailing = bytes;
  trailing.push_back(0);
  WriteBytes(dir.File("trailing.cvm"), trailing);
  WriteBytes(dir.File("empty.cvm"), {});
  WriteBytes(dir.File("half.cvm"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
  fs::create_directory(dir.Path() / "folder.cvm");
  const struct {
    std::string file;
    int exitStatus;
    std::string errorStart;  // what stderr starts with; empty for a clean run
  } cases[] = {
      {valid, 0, ""},
      {dir.File("empty.cvm"), 1, dir.File("empty.cvm") + ": offset 0: header: needs 20 bytes, 0 remain\n"},
      {dir.File("trailing.cvm"), 1,
       dir.File("trailing.cvm") + ": offset " + std::to_string(bytes.size()) +
           ": 1 bytes after the last record; the file must end there\n"},
      {dir.File("half.cvm"), 1, dir.File("half.cvm") + ": offset "},
      {dir.File("folder.cvm"), 1, dir.File("folder.cvm") + ": cannot read: Is a directory\n"},
      {dir.File("missing.cvm"), 1, dir.File("missing.cvm") + ": cannot open: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    for (const char* form : {"--json", ""}) {
      std::vector<std::string> args = {c.file};
      if (*form) args.push_back(form);
      const test::ProcessResult run = RunProcess(CVMDUMP_PATH, args);
      EXPECT_EQ(run.exitStatus, c.exitStatus) << c.file << " " << form << ": " << run.err;
      if (c.errorStart.empty()) {
        EXPECT_EQ(run.err, "") << c.file;
        EXPECT_FALSE(run.out.empty()) << c.file;
      } else {
        EXPECT_EQ(run.err.rfind(c.errorStart, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
        EXPECT_EQ(run.out, "") << c.file << ": nothing on stdout for a broken file";
      }
    }
  }
}

}  // namespace
}  // namespace cvm
