#include "import/import_scene.h"

#include <cctype>

#include "import/assimp_import.h"
#include "import/gltf_import.h"
#include "import/scene_document.h"

namespace cvm::import {
namespace {

bool IsJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The end of the JSON string that starts at text[at] (a quote), or npos when it does not end.
size_t StringEnd(std::string_view text, size_t at) {
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

std::string DamagedGltf(const std::string& what) {
  return "damaged glTF file: " + what + " (the file is probably cut short or corrupt)";
}

// The result of a file the glTF reader took over (imported, or refused as damaged).
bool GltfImported(GltfImport outcome, const std::string& message, std::string& error) {
  if (outcome == GltfImport::kImported) return true;
  error = DamagedGltf(message);
  return false;
}

// A model file's bytes: a GLB the glTF reader takes over goes no further; any other goes to assimp.
bool ImportModelFileBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                          std::string& error, ImportLeftovers* leftovers) {
  if (GltfReaderEnabled()) {
    std::string message;
    const GltfImport outcome = ImportGltfBytes(bytes, out, warnings, message);
    if (outcome != GltfImport::kNotMine) return GltfImported(outcome, message, error);
  }
  return ImportModelBytes(bytes, out, warnings, error, leftovers);
}

}  // namespace

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

bool IsSceneDocument(std::string_view bytes) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
  size_t i = 0;
  while (i < bytes.size() && IsJsonSpace(bytes[i])) ++i;
  if (i == bytes.size() || bytes[i] != '{') return false;
  // Walks the text once, skipping strings and counting brackets, and looks at the keys of the
  // outermost object only. A document that is not valid JSON is left to the scene document
  // reader, which says where it breaks.
  int depth = 0;
  bool keyExpected = false;
  for (; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '"') {
      const size_t end = StringEnd(bytes, i);
      if (end == std::string_view::npos) return true;
      if (depth == 1 && keyExpected && bytes.substr(i, end - i) == "\"asset\"") return false;
      keyExpected = false;
      i = end - 1;
    } else if (c == '{' || c == '[') {
      ++depth;
      keyExpected = depth == 1;
    } else if (c == '}' || c == ']') {
      if (--depth == 0) return true;
    } else if (c == ',') {
      keyExpected = depth == 1;
    }
  }
  return true;
}

bool ImportScene(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                 std::string& error, ImportLeftovers* leftovers, FilesRead* filesRead) {
  if (!IsSceneDocumentPath(path)) {
    // A glTF file the reader of our own takes over needs no assimp; any other goes to assimp.
    if (IsGltfPath(path) && GltfReaderEnabled()) {
      std::string message;
      const GltfImport outcome = ImportGltfFile(path, out, warnings, message, filesRead);
      if (outcome != GltfImport::kNotMine) return GltfImported(outcome, message, error);
    }
    return ImportModelFile(path, out, warnings, error, leftovers, filesRead);
  }
  if (!LoadSceneFile(path, out, error)) return false;
  if (filesRead != nullptr) *filesRead = {path};
  return true;
}

bool ImportSceneBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                      std::string& error, ImportLeftovers* leftovers) {
  if (IsSceneDocument(bytes)) return LoadSceneDocument(bytes, out, error);
  return ImportModelFileBytes(bytes, out, warnings, error, leftovers);
}

}  // namespace cvm::import
