// Scenes from small JSON documents and exports of them into memory, for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "export_context/export_options.h"
#include "standin/standin_scene.h"
#include "tests/support/recording_ui.h"

namespace cvm::test {

// The scene of a JSON document; fails the current test (and returns null) when it is invalid.
std::unique_ptr<standin::StandinScene> SceneFromJson(const std::string& json);

struct MemoryExport {
  ExportOutcome outcome;
  std::vector<uint8_t> bytes;  // the file's bytes when the export succeeded
  RecordingUi ui;
};

// Runs the real driver over any host scene with prompts suppressed into memory.
MemoryExport ExportToMemory(HostScene& scene, const ExportOptions& options = ExportOptions(),
                            uint32_t optionBits = 0);

// The header's four counts (meshes, lights, helpers, splines) of an exported file.
std::vector<uint32_t> HeaderCounts(const std::vector<uint8_t>& bytes);

uint32_t ReadU32At(const std::vector<uint8_t>& bytes, size_t offset);
float ReadF32At(const std::vector<uint8_t>& bytes, size_t offset);

}  // namespace cvm::test
