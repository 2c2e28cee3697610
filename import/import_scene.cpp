#include "import/import_scene.h"

#include <cctype>

#include "import/assimp_import.h"
#include "import/scene_document.h"

namespace cvm::import {

bool IsSceneDocumentPath(const std::string& path) {
  constexpr char kExtension[] = ".json";
  constexpr size_t kLength = sizeof kExtension - 1;
  if (path.size() < kLength) return false;
  for (size_t i = 0; i < kLength; ++i) {
    const auto c = static_cast<unsigned char>(path[path.size() - kLength + i]);
    if (std::tolower(c) != kExtension[i]) return false;
  }
  return true;
}

bool ImportScene(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                 std::string& error, ImportLeftovers* leftovers) {
  if (IsSceneDocumentPath(path)) return import::LoadSceneFile(path, out, error);
  return ImportModelFile(path, out, warnings, error, leftovers);
}

}  // namespace cvm::import
