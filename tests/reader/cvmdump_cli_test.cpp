// cvmdump as a program: its exit codes, its error line on stderr, and its two output forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/reader/built_file.h"
#include "tests/reader/unique_temp_path.h"
#include "tools/cvmdump/cvm_json.h"

namespace cvm::reader::test {
namespace {

struct ToolRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ToolRun RunCvmdump(const std::string& arguments) {
  const std::string outPath = UniqueTempPath("cvmdump_test_output.txt");
  const std::string command =
      std::string("\"") + CVMDUMP_PATH + "\" " + arguments + " > \"" + outPath + "\" 2>&1";
  const int status = std::system(command.c_str());
  ToolRun run;
#ifdef _WIN32
  run.exitCode = status;
#else
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.output = ReadText(outPath);
  std::remove(outPath.c_str());
  return run;
}

class CvmdumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> bytes = FullFile().bytes;
    WriteFile(valid, bytes);
    WriteFile(truncated, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30));
  }
  void TearDown() override {
    std::remove(valid.c_str());
    std::remove(truncated.c_str());
  }
  static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string valid = UniqueTempPath("cvmdump_valid.cvm");
  std::string truncated = UniqueTempPath("cvmdump_truncated.cvm");
};

TEST_F(CvmdumpTest, SummaryNamesTheRecords) {
  const ToolRun run = RunCvmdump("\"" + valid + "\"");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  for (const char* line :
       {"scale 2.5\n", "2 meshes, 2 lights, 1 helpers, 2 spline records, 2 materials, 3 textures",
        "material 1 \"Mat1\": one-sided", "groups: no material x 1 faces, material 1 x 1 faces",
        "light 1 \"\": type 4", "spline record 1 \"Empty\""}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  }
}

TEST_F(CvmdumpTest, JsonIsTheWholeDecodedFile) {
  const ToolRun run = RunCvmdump("--json \"" + valid + "\"");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> bytes = FullFile().bytes;
  CvmFile file;
  ReadError error;
  ASSERT_TRUE(ReadCvm(bytes.data(), bytes.size(), file, error));
  EXPECT_EQ(nlohmann::ordered_json::parse(run.output), CvmToJson(file));
  // Streamed, yet the very text of the tree's dump.
  EXPECT_EQ(run.output, CvmToJson(file).dump(2) + "\n");
}

TEST_F(CvmdumpTest, ProblemsGoToStderrWithOffsetAndExitOne) {
  ToolRun run = RunCvmdump("\"" + truncated + "\"");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, truncated +
                            ": offset 4: header: mesh count 2: the records need at least 80 bytes after "
                            "the header, 10 remain\n");
  const std::string missing = UniqueTempPath("cvmdump_missing.cvm");
  run = RunCvmdump("\"" + missing + "\"");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output.rfind(missing + ": cannot open: ", 0), 0u) << run.output;
}

// The width and height in a PNG's header, or 0 x 0 when the bytes do not start like a PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string& bytes) {
  static const std::string kSignature = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.compare(0, 8, kSignature) != 0 || bytes.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  const auto be32 = [&](size_t at) {
    return uint32_t{uint8_t(bytes[at])} << 24 | uint32_t{uint8_t(bytes[at + 1])} << 16 |
           uint32_t{uint8_t(bytes[at + 2])} << 8 | uint8_t(bytes[at + 3]);
  };
  return {be32(16), be32(20)};
}

// A folder of the test's own, so that a stray temporary file shows.
class CvmdumpRenderTest : public CvmdumpTest {
 protected:
  void SetUp() override {
    CvmdumpTest::SetUp();
    std::filesystem::create_directory(folder);
    WriteFile(empty, EmptyFile().bytes);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder);
    std::remove(empty.c_str());
    CvmdumpTest::TearDown();
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string folder = UniqueTempPath("cvmdump_render");
  std::string out = folder + "/out.png";
  std::string empty = UniqueTempPath("cvmdump_empty.cvm");
};

TEST_F(CvmdumpRenderTest, WritesAPngOfTheAskedSizeTheSameEveryRun) {
  struct Case {
    std::string file, options;
    uint32_t width, height;
  };
  const std::vector<Case> cases = {{valid, "", 640, 480},
                                   {valid, "--size 64x48 --view front", 64, 48},
                                   {valid, "--view top --size 7x1", 7, 1},
                                   {empty, "--size 2048x16", 2048, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string command = "\"" + c.file + "\" --render \"" + out + "\" " + c.options;
    const ToolRun run = RunCvmdump(command);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const std::string png = ReadText(out);
    EXPECT_EQ(PngSize(png), std::make_pair(c.width, c.height));
    ASSERT_EQ(RunCvmdump(command).exitCode, 0);
    EXPECT_EQ(ReadText(out), png);
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.png"});
  }
}

TEST_F(CvmdumpRenderTest, ABadFileOrPathWritesNoPictureAndLeavesTheOldOne) {
  struct Case {
    std::string file, target, messageStart;
  };
  const std::string missing = UniqueTempPath("cvmdump_missing.cvm");
  const std::vector<Case> cases = {
      {truncated, out, truncated + ": offset 4: header: mesh count 2"},
      {missing, out, missing + ": cannot open: "},
      {valid, folder + "/no/such/folder.png",
       "cannot create a file in the folder of '" + folder + "/no/such/folder.png'"},
      {valid, folder, "cannot replace '" + folder + "': "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " -> " + c.target);
    WriteFile(out, {'o', 'l', 'd'});
    const ToolRun run = RunCvmdump("\"" + c.file + "\" --render \"" + c.target + "\"");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output.rfind(c.messageStart, 0), 0u) << run.output;
    EXPECT_EQ(ReadText(out), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.png"});
  }
}

TEST_F(CvmdumpRenderTest, BadRenderOptionsAreUsageErrors) {
  const std::string render = "--render \"" + out + "\" ";
  for (const std::string& options :
       {render + "--size 0x10", render + "--size 2049x10", render + "--size 64", render + "--size 64x48x2",
        render + "--size x48", render + "--view side", render + "--json", std::string("--size 64x48"),
        std::string("--view top")}) {
    SCOPED_TRACE(options);
    const ToolRun run = RunCvmdump("\"" + valid + "\" " + options);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Entries().empty());
  }
}

TEST_F(CvmdumpTest, UsageErrorsExitTwoHelpAndVersionZero) {
  EXPECT_EQ(RunCvmdump("").exitCode, 2);
  EXPECT_EQ(RunCvmdump("--bogus \"" + valid + "\"").exitCode, 2);
  EXPECT_EQ(RunCvmdump("\"" + valid + "\" extra").exitCode, 2);
  const ToolRun help = RunCvmdump("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("--json"), std::string::npos);
  const ToolRun version = RunCvmdump("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, std::string(CVM_VERSION) + "\n");
}

}  // namespace
}  // namespace cvm::reader::test
