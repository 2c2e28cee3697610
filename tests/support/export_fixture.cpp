#include "tests/support/export_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "format/output_target.h"
#include "import/scene_document.h"
#include "tests/support/float_bits.h"

namespace cvm::test {

std::unique_ptr<standin::StandinScene> SceneFromJson(const std::string& json) {
  std::string error;
  auto scene = import::LoadStandinScene(json, error);
  EXPECT_NE(scene, nullptr) << error;
  return scene;
}

MemoryExport ExportToMemory(HostScene& scene, const ExportOptions& options, uint32_t optionBits) {
  MemoryExport result;
  MemoryTarget target;
  ExportOptions used = options;
  result.outcome = RunExport(target, scene, result.ui, used, optionBits, true);
  if (target.committed) result.bytes = target.Bytes();
  return result;
}

uint32_t ReadU32At(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset + 4 > bytes.size()) {
    ADD_FAILURE() << "no u32 at offset " << offset << " of " << bytes.size() << " bytes";
    return 0;
  }
  return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 | uint32_t{bytes[offset + 2]} << 16 |
         uint32_t{bytes[offset + 3]} << 24;
}

float ReadF32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return FloatFromBits(ReadU32At(bytes, offset));
}

std::vector<uint32_t> HeaderCounts(const std::vector<uint8_t>& bytes) {
  return {ReadU32At(bytes, 4), ReadU32At(bytes, 8), ReadU32At(bytes, 12), ReadU32At(bytes, 16)};
}

}  // namespace cvm::test
