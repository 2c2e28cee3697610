#include <string>
#include <string_view>

#include "fuzz/input_checks.h"
#include "import/assimp_import.h"
#include "import/import_scene.h"
#include "standin/scene_model.h"

namespace cvm::fuzz {

std::string CheckModelFile(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  standin::SceneModel model;
  import::ImportWarnings warnings;
  std::string error;
  if (!import::ImportModelBytes(bytes, model, warnings, error)) {
    if (error.empty()) return "the import refused the bytes without a message";
    return std::string();
  }
  for (const std::string& warning : warnings) {
    if (warning.empty()) return "an empty warning";
  }
  return CheckSceneModel(model, InputHash(data, size));
}

}  // namespace cvm::fuzz
