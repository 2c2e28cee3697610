#include "import/gltf_import.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "import/gltf_container.h"
#include "import/gltf_document.h"
#include "import/gltf_scene.h"

namespace cvm::import {
namespace {

bool EndsWithNoCase(const std::string& text, std::string_view end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[text.size() - end.size() + i]);
    if (std::tolower(c) != end[i]) return false;
  }
  return true;
}

bool ImportContainer(const GltfContainer& container, const GltfBufferLoader& loadBuffer,
                     standin::SceneModel& out, ImportWarnings& warnings, std::string& notMine) {
  GltfDocument document;
  if (!ReadGltfDocument(container, loadBuffer, document, notMine)) return false;
  return BuildGltfScene(document, out, warnings, notMine);
}

}  // namespace

bool IsGltfPath(const std::string& path) {
  return EndsWithNoCase(path, ".gltf") || EndsWithNoCase(path, ".glb");
}

bool GltfReaderEnabled() {
  const char* viaAssimp = std::getenv("CVM_GLTF_VIA_ASSIMP");
  return viaAssimp == nullptr || *viaAssimp == '\0' || std::string_view(viaAssimp) == "0";
}

bool ImportGltfFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                    std::string& notMine, FilesRead* filesRead) {
  out = standin::SceneModel();
  MappedFile file;
  if (!file.Open(path, notMine)) return false;
  GltfContainer container;
  if (!SplitGltfContainer(file.Bytes(), container, notMine)) return false;
  if (!container.isGlb && !EndsWithNoCase(path, ".gltf")) {
    notMine = "a .glb that is not a GLB";
    return false;
  }
  // assimp opens a buffer's file as the folder of the model followed by the URI as written.
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::vector<MappedFile> buffers;
  FilesRead opened{path};
  const GltfBufferLoader loadBuffer = [&](const std::string& uri, std::string_view& bytes,
                                          std::string& reason) {
    const std::string name = folder + uri;
    MappedFile buffer;
    if (!buffer.Open(name, reason)) {
      reason = "buffer file '" + name + "': " + reason;
      return false;
    }
    bytes = buffer.Bytes();
    buffers.push_back(std::move(buffer));
    if (std::find(opened.begin(), opened.end(), name) == opened.end()) opened.push_back(name);
    return true;
  };
  if (!ImportContainer(container, loadBuffer, out, warnings, notMine)) return false;
  if (filesRead != nullptr) *filesRead = std::move(opened);
  return true;
}

bool ImportGltfBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                     std::string& notMine) {
  out = standin::SceneModel();
  if (!LooksLikeGlb(bytes)) {
    notMine = "not a GLB";
    return false;
  }
  GltfContainer container;
  if (!SplitGltfContainer(bytes, container, notMine)) return false;
  const GltfBufferLoader refuse = [](const std::string& uri, std::string_view&, std::string& reason) {
    reason = "buffer file '" + uri + "' beside a model read from memory";
    return false;
  };
  return ImportContainer(container, refuse, out, warnings, notMine);
}

}  // namespace cvm::import
