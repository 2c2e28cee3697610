// A mapped text reads as its file followed by zeros, refuses what it cannot map as sized, and
// survives its file being shortened under it, where a plain mapping ends the process.
#include "import/mapped_text.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace cvm::import {
namespace {

#if !defined(_WIN32)

constexpr size_t kPadding = 64;

size_t Page() {
  return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Text of n bytes that shows where each byte came from.
std::string Pattern(size_t n) {
  std::string text(n, '\0');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

TEST(MappedText, ReadsAsTheFileThenZeros) {
  const test::TempDir dir;
  for (const size_t size : {size_t{0}, size_t{1}, Page() - 1, Page(), Page() + 1, 3 * Page() + 100}) {
    SCOPED_TRACE(size);
    const std::string text = Pattern(size);
    const std::string path = test::WriteText(dir.File("text.json"), text);
    const MappedText mapped(path, size, kPadding);
    ASSERT_NE(mapped.Text(), nullptr);
    EXPECT_EQ(mapped.Size(), size);
    EXPECT_EQ(std::string(mapped.Text(), size), text);
    EXPECT_EQ(std::string(mapped.Text() + size, kPadding), std::string(kPadding, '\0'));
    EXPECT_FALSE(mapped.Lost());
  }
}

TEST(MappedText, RefusesWhatItCannotMapAsSized) {
  const test::TempDir dir;
  const std::string path = test::WriteText(dir.File("text.json"), "{}");
  struct Case {
    const char* what;
    std::string path;
    size_t size;
  };
  for (const Case& c :
       {Case{"missing", dir.File("missing.json"), 2}, Case{"a folder", dir.Path().string(), 0},
        Case{"shorter than sized", path, 3}, Case{"longer than sized", path, 1}}) {
    SCOPED_TRACE(c.what);
    const MappedText mapped(c.path, c.size, kPadding);
    EXPECT_EQ(mapped.Text(), nullptr);
  }
}

// Reads every byte, as a parser would after the file was shortened.
std::string Copy(const MappedText& mapped) {
  return std::string(mapped.Text(), mapped.Size());
}

TEST(MappedText, AShortenedFileReadsAsZerosAndIsLost) {
  const test::TempDir dir;
  const size_t size = 4 * Page() + 10;
  const size_t kept = Page() + 5;
  const std::string text = Pattern(size);
  const std::string shortened = test::WriteText(dir.File("shortened.json"), text);
  const std::string keptWhole = test::WriteText(dir.File("whole.json"), text);
  const MappedText mapped(shortened, size, kPadding);
  const MappedText other(keptWhole, size, kPadding);
  ASSERT_NE(mapped.Text(), nullptr);
  ASSERT_NE(other.Text(), nullptr);
  ASSERT_EQ(Copy(mapped), text);

  std::filesystem::resize_file(shortened, kept);
  const std::string read = Copy(mapped);
  EXPECT_EQ(read.substr(0, kept), text.substr(0, kept));
  // The pages past the new end are gone: zeros from the first of them on.
  EXPECT_EQ(read.substr(2 * Page()), std::string(size - 2 * Page(), '\0'));
  EXPECT_TRUE(mapped.Lost());
  // Only the text whose file lost pages is lost.
  EXPECT_EQ(Copy(other), text);
  EXPECT_FALSE(other.Lost());
}

// With the handler in place, a fault in a mapping that is not a mapped text's still ends the
// process (by SIGBUS, or by the report of a sanitizer that had the signal first).
TEST(MappedTextDeathTest, AFaultElsewhereStillEndsTheProcess) {
  const test::TempDir dir;
  const std::string path = test::WriteText(dir.File("plain.json"), Pattern(3 * Page()));
  const MappedText guarded(path, 3 * Page(), kPadding);
  ASSERT_NE(guarded.Text(), nullptr);
  EXPECT_DEATH(
      {
        const int fd = open(path.c_str(), O_RDONLY);
        const auto* plain =
            static_cast<const volatile char*>(mmap(nullptr, 3 * Page(), PROT_READ, MAP_PRIVATE, fd, 0));
        close(fd);
        std::filesystem::resize_file(path, 1);
        for (size_t i = 0; i < 3 * Page(); i += Page()) (void)plain[i];
      },
      "");
}

#endif

}  // namespace
}  // namespace cvm::import
