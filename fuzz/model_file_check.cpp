#include <string>
#include <string_view>

#include "fuzz/input_checks.h"
#include "import/assimp_import.h"
#include "import/gltf_import.h"
#include "import/import_scene.h"
#include "standin/scene_model.h"
#include "tests/support/scene_model_compare.h"

namespace cvm::fuzz {

std::string CheckModelFile(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  standin::SceneModel model;
  import::ImportWarnings warnings;
  std::string error;
  // A GLB goes to the glTF reader first, as the converter's routing sends it; what that reader
  // takes, assimp must read into the same scene with the same warnings.
  switch (import::ImportGltfBytes(bytes, model, warnings, error)) {
    case import::GltfImport::kImported: {
      standin::SceneModel viaAssimp;
      import::ImportWarnings assimpWarnings;
      std::string assimpError;
      if (!import::ImportModelBytes(bytes, viaAssimp, assimpWarnings, assimpError))
        return "the glTF reader took a GLB that assimp refuses: " + assimpError;
      const std::string difference = standin::SceneModelDifference(model, viaAssimp);
      if (!difference.empty()) return "the glTF reader and assimp read the GLB differently at " + difference;
      if (warnings != assimpWarnings) return "the glTF reader and assimp warn differently";
      break;
    }
    case import::GltfImport::kDamaged:
      if (error.empty()) return "the glTF reader refused a damaged GLB without a message";
      return std::string();
    case import::GltfImport::kNotMine:
      error.clear();
      if (!import::ImportModelBytes(bytes, model, warnings, error)) {
        if (error.empty()) return "the import refused the bytes without a message";
        return std::string();
      }
      break;
  }
  for (const std::string& warning : warnings) {
    if (warning.empty()) return "an empty warning";
  }
  return CheckSceneModel(model, InputHash(data, size));
}

}  // namespace cvm::fuzz
