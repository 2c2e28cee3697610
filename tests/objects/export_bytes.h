// Small helpers for the scene-object tests: the records a section should write, as bytes, and
// one export through the real driver into memory. The bytes of each kind of record against the
// format itself are the format tests' (tests/format).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "format/binary_writer.h"
#include "format/byte_sink.h"
#include "format/record_writer.h"
#include "host/host_scene.h"
#include "import/scene_document.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/float_bits.h"
#include "tests/support/recording_ui.h"

namespace cvm::test {

// A file whose only records are lights, helpers or splines starts with the 20-byte header and
// the 8-byte material section of an empty material list.
constexpr size_t kObjectRecordsStart = 28;

// The bytes of records as the format lays them out (format/record_layout.h), one after the
// other: what a section writes for nodes that give these records.
template <typename... Records>
std::vector<uint8_t> RecordBytes(const Records&... records) {
  MemorySink sink;
  {
    OutputStream stream(sink);
    (format::WriteRecord(stream, records), ...);
    stream.Flush();
  }
  return sink.bytes;
}

// An exported file's records; fails the current test when the reader refuses the file.
inline reader::CvmFile Decoded(const std::vector<uint8_t>& bytes) {
  reader::CvmFile file;
  reader::ReadError error;
  EXPECT_TRUE(reader::ReadCvm(bytes.data(), bytes.size(), file, error)) << reader::FormatReadError(error);
  return file;
}

struct ExportRun {
  RecordingUi ui;
  ExportOutcome outcome;
  std::vector<uint8_t> bytes;  // what the target holds after the export (empty when aborted)
  bool committed = false;
};

// Runs the real driver over any host scene with default options and prompts suppressed.
inline ExportRun ExportSceneToMemory(HostScene& scene) {
  ExportRun run;
  MemoryTarget target;
  ExportOptions options;
  run.outcome = RunExport(target, scene, run.ui, options, 0, true);
  run.bytes = target.Bytes();
  run.committed = target.committed;
  return run;
}

// A scene document exported through the stand-in host wrapped in a CountingHost; both stay
// alive so that the counts can be read.
struct JsonExport {
  std::unique_ptr<standin::StandinScene> scene;
  std::unique_ptr<CountingHost> host;
  ExportRun run;
};

// Fails the current test when the document is invalid (scene and host are then null).
inline JsonExport ExportJson(const std::string& json) {
  JsonExport result;
  std::string error;
  result.scene = import::LoadStandinScene(json, error);
  if (result.scene == nullptr) {
    ADD_FAILURE() << error;
    return result;
  }
  result.host = std::make_unique<CountingHost>(*result.scene);
  result.run = ExportSceneToMemory(*result.host);
  return result;
}

// A scene built from a model; fails the current test when the model is refused.
inline std::unique_ptr<standin::StandinScene> SceneFromModel(standin::SceneModel model) {
  std::string error;
  std::unique_ptr<standin::StandinScene> scene = standin::MakeStandinScene(std::move(model), error);
  if (scene == nullptr) ADD_FAILURE() << error;
  return scene;
}

// Names a parameterized case after its label member.
struct LabelName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& c) const {
    return c.param.label;
  }
};

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset > bytes.size()) return {};
  return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end());
}

inline uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes.at(offset)) | static_cast<uint32_t>(bytes.at(offset + 1)) << 8 |
         static_cast<uint32_t>(bytes.at(offset + 2)) << 16 |
         static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

}  // namespace cvm::test
