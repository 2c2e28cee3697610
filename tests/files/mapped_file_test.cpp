// A mapped file reads as the file, refuses what it cannot map, and survives the file being
// shortened under it, where a plain mapping ends the process.
#include "files/mapped_file.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace cvm::files {
namespace {

#if !defined(_WIN32)

size_t Page() {
  return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Text of n bytes that shows where each byte came from.
std::string Pattern(size_t n) {
  std::string text(n, '\0');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

// The file at path, mapped.
MappedFile Mapped(const std::string& path) {
  MappedFile mapped;
  std::string error;
  EXPECT_TRUE(mapped.Open(path, error)) << path << ": " << error;
  return mapped;
}

// Reads every byte, as a reader would after the file was shortened.
std::string Copy(const MappedFile& mapped) {
  return std::string(mapped.Bytes());
}

TEST(MappedFile, ReadsAsTheFile) {
  const test::TempDir dir;
  for (const size_t size : {size_t{1}, Page() - 1, Page(), Page() + 1, 3 * Page() + 100}) {
    SCOPED_TRACE(size);
    const std::string text = Pattern(size);
    const MappedFile mapped = Mapped(test::WriteText(dir.File("file.cvm"), text));
    EXPECT_EQ(Copy(mapped), text);
    EXPECT_FALSE(mapped.Lost());
  }
}

TEST(MappedFile, RefusesWhatItCannotMap) {
  const test::TempDir dir;
  const struct {
    std::string path;
    const char* error;
  } cases[] = {{dir.File("missing.cvm"), "cannot open the file: No such file or directory"},
               {dir.Path().string(), "cannot open the file: not a regular file"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    MappedFile mapped;
    std::string error;
    EXPECT_FALSE(mapped.Open(c.path, error));
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(mapped.Bytes().empty());
  }
  // An empty file has no bytes to map.
  EXPECT_TRUE(Mapped(test::WriteText(dir.File("empty.cvm"), "")).Bytes().empty());
}

// Each of two files shortened in turn: its lost pages read as zeros from the first of them on
// and it is marked lost; the other one is left as it was.
TEST(MappedFile, AShortenedFileReadsAsZerosAndIsLost) {
  const size_t size = 4 * Page() + 10;
  const size_t kept = Page() + 5;
  const std::string text = Pattern(size);
  for (const int shortened : {0, 1}) {
    SCOPED_TRACE(shortened);
    const test::TempDir dir;
    const std::string paths[2] = {test::WriteText(dir.File("first.cvm"), text),
                                  test::WriteText(dir.File("second.cvm"), text)};
    const MappedFile mapped[2] = {Mapped(paths[0]), Mapped(paths[1])};
    std::filesystem::resize_file(paths[shortened], kept);
    const std::string read = Copy(mapped[shortened]);
    EXPECT_EQ(read.substr(0, kept), text.substr(0, kept));
    EXPECT_EQ(read.substr(2 * Page()), std::string(size - 2 * Page(), '\0'));
    EXPECT_TRUE(mapped[shortened].Lost());
    EXPECT_EQ(Copy(mapped[1 - shortened]), text);
    EXPECT_FALSE(mapped[1 - shortened].Lost());
  }
}

// With the handler in place, a fault in a mapping that is not a mapped file's still ends the
// process (by SIGBUS, or by the report of a sanitizer that had the signal first).
TEST(MappedFileDeathTest, AFaultElsewhereStillEndsTheProcess) {
  const test::TempDir dir;
  const std::string path = test::WriteText(dir.File("plain.cvm"), Pattern(3 * Page()));
  const MappedFile guarded = Mapped(test::WriteText(dir.File("guarded.cvm"), Pattern(3 * Page())));
  EXPECT_DEATH(
      {
        const int fd = open(path.c_str(), O_RDONLY);
        void* plain = mmap(nullptr, 3 * Page(), PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (plain == MAP_FAILED) return;
        std::filesystem::resize_file(path, 1);
        for (size_t i = 0; i < 3 * Page(); i += Page()) (void)static_cast<const volatile char*>(plain)[i];
      },
      "");
}

#endif

}  // namespace
}  // namespace cvm::files
