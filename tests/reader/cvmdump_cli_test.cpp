// cvmdump as a program: its exit codes, its error line on stderr, and its two output forms.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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
