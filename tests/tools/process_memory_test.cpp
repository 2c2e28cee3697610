// The converter's heap warming: what it expects a conversion to take, that it backs the heap
// with pages, and that a conversion it runs beside writes the same bytes as one in memory.
#include "tools/cvmexport/process_memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/export_fixture.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::TempDir;

constexpr uint64_t kMiB = uint64_t{1} << 20;

std::string SparseFile(const TempDir& dir, const std::string& name, uint64_t size) {
  const std::string path = dir.File(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) std::fclose(file);
  std::filesystem::resize_file(path, size);
  return path;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

#if defined(__linux__) && defined(__GLIBC__)
constexpr bool kGlibcOnLinux = true;
#else
constexpr bool kGlibcOnLinux = false;
#endif
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = true;  // the sanitizer's allocator, which the warming leaves alone
#else
constexpr bool kOwnAllocator = false;
#endif

TEST(ExpectedConversionBytes, NothingForSmallOrMissingInputsAndBoundedForHugeOnes) {
  if (!kGlibcOnLinux) GTEST_SKIP() << "heap warming applies to glibc on Linux only";
  TempDir dir;
  EXPECT_EQ(tools::ExpectedConversionBytes(dir.File("missing.glb")), 0u);
  EXPECT_EQ(tools::ExpectedConversionBytes(dir.Path().string()), 0u) << "a folder";
  EXPECT_EQ(tools::ExpectedConversionBytes(SparseFile(dir, "small.glb", kMiB)), 0u);

  const uint64_t medium = tools::ExpectedConversionBytes(SparseFile(dir, "medium.glb", 40 * kMiB));
  const uint64_t huge = tools::ExpectedConversionBytes(SparseFile(dir, "huge.glb", 64 * 1024 * kMiB));
  EXPECT_GT(medium, 40 * kMiB);
  EXPECT_GE(huge, medium);
  EXPECT_LE(huge, 512 * kMiB) << "never more than the process keeps of freed memory";
}

TEST(HeapWarmer, AllocationsAfterWarmingFindTheirPagesReady) {
  if (!kGlibcOnLinux || kOwnAllocator) GTEST_SKIP() << "heap warming applies to glibc's heap on Linux only";
  tools::KeepFreedMemoryInProcess();
  constexpr uint64_t kWarmed = 96 * kMiB;
  const long pages = static_cast<long>(kWarmed / static_cast<uint64_t>(sysconf(_SC_PAGESIZE)));
  const long before = MinorFaults();
  {
    const tools::HeapWarmer warmer(kWarmed);
    // The warming is done once the system has counted (nearly) all its pages.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (MinorFaults() - before < pages * 9 / 10 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(MinorFaults() - before, pages * 9 / 10) << "the warming did not back the heap with pages";
  }

  // Blocks taken and written now come from the warmed range: few new pages.
  constexpr size_t kBlocks = 48;
  std::vector<void*> blocks;
  const long beforeUse = MinorFaults();
  for (size_t i = 0; i < kBlocks; ++i) {
    blocks.push_back(std::malloc(kMiB));
    ASSERT_NE(blocks.back(), nullptr);
    std::memset(blocks.back(), static_cast<int>(i), kMiB);
  }
  const long usedPages = static_cast<long>(kBlocks * kMiB / static_cast<uint64_t>(sysconf(_SC_PAGESIZE)));
  EXPECT_LT(MinorFaults() - beforeUse, usedPages / 10);
  for (void* block : blocks) std::free(block);
}

TEST(HeapWarmer, LeavesTheContentsOfMemoryInUseAsTheyAre) {
  tools::KeepFreedMemoryInProcess();
  // Blocks taken from the range being warmed, filled from the last (highest) one down while the
  // warming works up from the first, keep what was written.
  constexpr size_t kBlocks = 64;
  constexpr size_t kWords = kMiB / sizeof(uint32_t);
  const auto word = [](size_t b, size_t i) { return static_cast<uint32_t>(b * 0x9E3779B9u + i); };
  std::vector<uint32_t*> blocks;
  {
    const tools::HeapWarmer warmer(128 * kMiB);
    for (size_t b = 0; b < kBlocks; ++b) blocks.push_back(static_cast<uint32_t*>(std::malloc(kMiB)));
    for (size_t b = kBlocks; b-- > 0;) {
      ASSERT_NE(blocks[b], nullptr);
      for (size_t i = 0; i < kWords; ++i) blocks[b][i] = word(b, i);
    }
  }
  for (size_t b = 0; b < kBlocks; ++b) {
    for (size_t i = 0; i < kWords; ++i)
      ASSERT_EQ(blocks[b][i], word(b, i)) << "block " << b << ", word " << i;
  }
  for (uint32_t* block : blocks) std::free(block);
}

// A scene document large enough for cvmexport to warm the heap while it reads it: a grid of
// quads with texture coordinates, colours and two smoothing groups.
std::string LargeGridScene(unsigned side) {
  std::string vertices, tverts, colours, faces, smoothing;
  for (unsigned y = 0; y < side; ++y) {
    for (unsigned x = 0; x < side; ++x) {
      const float height = static_cast<float>((x * 7 + y * 13) % 17) * 0.03125f;
      vertices += (vertices.empty() ? "[" : ",[") + std::to_string(x) + "," + std::to_string(y) + "," +
                  std::to_string(height) + "]";
      tverts += (tverts.empty() ? "[" : ",[") + std::to_string(x / static_cast<float>(side)) + "," +
                std::to_string(y / static_cast<float>(side)) + "]";
      colours += (colours.empty() ? "[" : ",[") + std::to_string(height) + ",0.5," +
                 std::to_string(x % 3 == 0 ? 1 : 0) + "]";
    }
  }
  for (unsigned y = 0; y + 1 < side; ++y) {
    for (unsigned x = 0; x + 1 < side; ++x) {
      const unsigned a = y * side + x, b = a + 1, c = a + side, d = c + 1;
      for (const auto& face : {std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(d),
                               std::to_string(a) + "," + std::to_string(d) + "," + std::to_string(c)}) {
        faces += (faces.empty() ? "[" : ",[") + face + "]";
        smoothing += (smoothing.empty() ? "" : ",") + std::string(x < side / 2 ? "1" : "2");
      }
    }
  }
  return R"({"nodes": [{"name": "Grid", "object": {"kind": "mesh", "vertices": [)" + vertices +
         "], \"faces\": [" + faces + "], \"smoothing\": [" + smoothing + "], \"tverts\": [" + tverts +
         "], \"tvFaces\": [" + faces + "], \"colors\": {\"verts\": [" + colours + "], \"faces\": [" + faces +
         "]}}}]}";
}

TEST(HeapWarmer, AConversionBesideItWritesWhatAnExportInMemoryWrites) {
  TempDir dir;
  const std::string json = LargeGridScene(260);
  const std::string scenePath = dir.File("grid.json");
  test::WriteBytes(scenePath, std::vector<uint8_t>(json.begin(), json.end()));
  ASSERT_GT(tools::ExpectedConversionBytes(scenePath), 0u) << "the document is too small to be warmed for";

  const std::string out = dir.File("grid.cvm");
  const test::ProcessResult result = test::RunProcess(CVMEXPORT_PATH, {scenePath, "-o", out, "--quiet"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;

  const auto scene = test::SceneFromJson(json);
  ASSERT_NE(scene, nullptr);
  const test::MemoryExport expected = test::ExportToMemory(*scene);
  ASSERT_FALSE(expected.bytes.empty());
  EXPECT_TRUE(test::ReadBytes(out) == expected.bytes)
      << "the converter's file differs from the export in memory";
}

}  // namespace
}  // namespace cvm
