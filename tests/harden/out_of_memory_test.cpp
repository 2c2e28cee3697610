// Memory that runs out: every allocation of a read and of an export is made to fail in turn.
// The reader then says so instead of throwing; the export fails like any failed write, with
// its message shown, its progress window gone, nothing committed and nothing leaked.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "format/output_target.h"
#include "reader/cvm_reader.h"
#include "tests/reader/built_file.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/export_fixture.h"
#include "tools/cvmdump/cvm_json.h"

namespace cvm {
namespace {

using test::AllocationFailure;
using test::LiveHeapBytes;

// Allocation N is made to fail, for N = 0, 1, ... until a run makes fewer allocations than N;
// the run sees whether its allocation failed (Happened) or it ran to the end.
template <typename Run>
size_t FailEachAllocation(const Run& run) {
  for (uint64_t n = 0;; ++n) {
    bool failed = false;
    {
      const AllocationFailure failure(n);
      run(failure);
      failed = failure.Happened();
    }
    if (!failed) return static_cast<size_t>(n);
  }
}

TEST(OutOfMemory, TheReaderSaysSoInsteadOfThrowing) {
  const std::vector<uint8_t> bytes = reader::test::FullFile().bytes;
  reader::CvmFile expected;
  reader::ReadError error;
  ASSERT_TRUE(reader::ReadCvm(bytes.data(), bytes.size(), expected, error));
  const std::string expectedJson = reader::CvmToJson(expected).dump();

  size_t runs = 0;
  bool complete = false;
  const size_t allocations = FailEachAllocation([&](const AllocationFailure& failure) {
    const uint64_t live = LiveHeapBytes();
    bool ok = false;
    reader::ReadError readError;
    {
      reader::CvmFile file;
      ok = reader::ReadCvm(bytes.data(), bytes.size(), file, readError);
      if (!failure.Happened()) {
        ASSERT_TRUE(ok) << readError.message;
        complete = true;
        return;
      }
    }
    ++runs;
    EXPECT_FALSE(ok) << "allocation " << runs - 1;
    EXPECT_EQ(readError.kind, reader::ReadErrorKind::Memory);
    EXPECT_EQ(reader::FormatReadError(readError), "out of memory");
    EXPECT_EQ(LiveHeapBytes(), live) << "allocation " << runs - 1 << ": nothing kept";
  });
  EXPECT_GT(allocations, 20u) << "the full file takes many allocations to read";
  EXPECT_TRUE(complete);
  reader::CvmFile again;
  ASSERT_TRUE(reader::ReadCvm(bytes.data(), bytes.size(), again, error));
  EXPECT_EQ(reader::CvmToJson(again).dump(), expectedJson);
}

// An export's user interface that records what it is shown without allocating, so that only
// the export's own allocations are made to fail.
class FixedUi final : public ExportUi {
 public:
  int ShowOptionsDialog(ExportOptions&) override { return 0; }
  void ShowNoDataMessage() override { ++noData; }
  void ShowExportError(const char* message, bool) override {
    ++errors;
    std::snprintf(error, sizeof error, "%s", message);
  }
  bool CreateProgressWindow() override {
    open = true;
    return true;
  }
  void SetProgressText(const char*) override {}
  void DestroyProgressWindow() override { open = false; }

  int noData = 0;
  int errors = 0;
  char error[256] = {};
  bool open = false;
};

TEST(OutOfMemory, AnExportThatRunsOutFailsAndKeepsNothing) {
  // One object of every kind, materials with maps and engine settings: every section allocates.
  std::ifstream document(EXAMPLE_SCENE);
  auto scene = test::SceneFromJson(std::string(std::istreambuf_iterator<char>(document), {}));
  ASSERT_NE(scene, nullptr);
  const test::MemoryExport reference = test::ExportToMemory(*scene);
  ASSERT_EQ(reference.outcome.result, kExportDone) << reference.outcome.error;

  bool complete = false;
  const size_t allocations = FailEachAllocation([&](const AllocationFailure& failure) {
    const uint64_t live = LiveHeapBytes();
    {
      MemoryTarget target;
      FixedUi ui;
      ExportOptions options;
      const ExportOutcome outcome = RunExport(target, *scene, ui, options, 0, true);
      if (!failure.Happened()) {
        ASSERT_EQ(outcome.result, kExportDone) << outcome.error;
        // Compared here: a copy would be one allocation more than the export made.
        EXPECT_EQ(target.Bytes(), reference.bytes);
        complete = true;
        return;
      }
      EXPECT_EQ(outcome.result, kExportFailed);
      EXPECT_FALSE(target.committed);
      EXPECT_TRUE(target.Bytes().empty()) << "nothing of the file kept";
      EXPECT_FALSE(ui.open) << "the progress window is gone";
      EXPECT_EQ(ui.errors, 1);
      EXPECT_STREQ(ui.error, "out of memory: the export needed more memory than it could get");
    }
    EXPECT_EQ(LiveHeapBytes(), live) << "nothing leaked";
  });
  EXPECT_GT(allocations, 20u);
  EXPECT_TRUE(complete);
}

}  // namespace
}  // namespace cvm
