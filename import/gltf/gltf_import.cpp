#include "import/gltf_import.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "files/mapped_file.h"
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

GltfImport Refused(const GltfRefusal& refusal, std::string& message) {
  message = refusal.reason;
  return refusal.damaged ? GltfImport::kDamaged : GltfImport::kNotMine;
}

GltfImport ImportContainer(const GltfContainer& container, const GltfBufferLoader& loadBuffer,
                           standin::SceneModel& out, ImportWarnings& warnings, std::string& message) {
  GltfDocument document;
  GltfRefusal refusal;
  if (!ReadGltfDocument(container, loadBuffer, document, refusal)) return Refused(refusal, message);
  if (!BuildGltfScene(document, out, warnings, message)) return GltfImport::kNotMine;
  return GltfImport::kImported;
}

}  // namespace

bool IsGltfPath(const std::string& path) {
  return EndsWithNoCase(path, ".gltf") || EndsWithNoCase(path, ".glb");
}

bool GltfReaderEnabled() {
  const char* viaAssimp = std::getenv("CVM_GLTF_VIA_ASSIMP");
  return viaAssimp == nullptr || *viaAssimp == '\0' || std::string_view(viaAssimp) == "0";
}

GltfImport ImportGltfFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                          std::string& message, FilesRead* filesRead) {
  out = standin::SceneModel();
  files::MappedFile file;
  if (!file.Open(path, message)) return GltfImport::kNotMine;
  GltfContainer container;
  GltfRefusal refusal;
  if (!SplitGltfContainer(file.Bytes(), container, refusal)) return Refused(refusal, message);
  // assimp picks its reader by the extension as well as the contents; a file whose two
  // disagree is left to it.
  if (container.isGlb != EndsWithNoCase(path, ".glb")) {
    message = container.isGlb ? "a GLB under another extension" : "a .glb that is not a GLB";
    return GltfImport::kNotMine;
  }
  // assimp opens a buffer's file as the folder of the model followed by the URI as written.
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::vector<files::MappedFile> buffers;
  FilesRead opened{path};
  const GltfBufferLoader loadBuffer = [&](const std::string& uri, std::string_view& bytes,
                                          std::string& reason) {
    const std::string name = folder + uri;
    files::MappedFile buffer;
    if (!buffer.Open(name, reason)) {
      reason = "buffer file '" + name + "': " + reason;
      return false;
    }
    bytes = buffer.Bytes();
    buffers.push_back(std::move(buffer));
    if (std::find(opened.begin(), opened.end(), name) == opened.end()) opened.push_back(name);
    return true;
  };
  const size_t warned = warnings.size();
  const GltfImport outcome = ImportContainer(container, loadBuffer, out, warnings, message);
  // A file shortened while it was read reads as zeros from there on: whatever came of it is
  // thrown away.
  const auto lost = [](const files::MappedFile& f) { return f.Lost(); };
  if (file.Lost() || std::any_of(buffers.begin(), buffers.end(), lost)) {
    out = standin::SceneModel();
    warnings.resize(warned);
    message = "the file was shortened, or could not be read, while it was read";
    return GltfImport::kDamaged;
  }
  if (outcome == GltfImport::kImported && filesRead != nullptr) *filesRead = std::move(opened);
  return outcome;
}

GltfImport ImportGltfBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                           std::string& message) {
  out = standin::SceneModel();
  if (!LooksLikeGlb(bytes)) {
    message = "not a GLB";
    return GltfImport::kNotMine;
  }
  GltfContainer container;
  GltfRefusal refusal;
  if (!SplitGltfContainer(bytes, container, refusal)) return Refused(refusal, message);
  const GltfBufferLoader refuse = [](const std::string& uri, std::string_view&, std::string& reason) {
    reason = "buffer file '" + uri + "' beside a model read from memory";
    return false;
  };
  return ImportContainer(container, refuse, out, warnings, message);
}

}  // namespace cvm::import
