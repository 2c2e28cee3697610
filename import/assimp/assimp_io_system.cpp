#include "import/assimp_io_system.h"

#include <assimp/MemoryIOWrapper.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace cvm::import {
namespace {

void AddOnce(std::vector<std::string>& names, const std::string& name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// A name asked for while reading from memory, as the model names it ("./a.bin" and "a.bin"
// alike); empty for the names assimp makes from the in-memory file's own ("$$$___magic___$mtl",
// an OBJ's default material library), which are no file of the model's.
std::string RefusedName(const char* file) {
  constexpr size_t kMagicStem = sizeof "$$$___magic___" - 1;
  std::string name = std::filesystem::path(file).lexically_normal().string();
  return name.compare(0, kMagicStem, AI_MEMORYIO_MAGIC_FILENAME, kMagicStem) == 0 ? std::string() : name;
}

}  // namespace

bool RecordingIOSystem::Exists(const char* file) const {
  if (!refuseFiles_) return DefaultIOSystem::Exists(file);
  if (const std::string name = RefusedName(file); !name.empty()) AddOnce(refused_, name);
  return false;
}

Assimp::IOStream* RecordingIOSystem::Open(const char* file, const char* mode) {
  if (refuseFiles_) {
    if (const std::string name = RefusedName(file); !name.empty()) AddOnce(refused_, name);
    return nullptr;
  }
  Assimp::IOStream* stream = DefaultIOSystem::Open(file, mode);
  // A file opened for writing only (the importers open none, but the interface allows it) is no input.
  if (stream != nullptr && std::strpbrk(mode, "wa") == nullptr) AddOnce(opened_, file);
  return stream;
}

}  // namespace cvm::import
