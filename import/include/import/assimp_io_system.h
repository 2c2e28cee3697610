// The file access assimp is given: every file it opens is recorded, so that a converter can
// say exactly what a model read (a glTF's buffers, an OBJ's material library), and a model
// read from memory can be kept from opening anything at all.
#pragma once

#include <assimp/DefaultIOSystem.h>

#include <string>
#include <vector>

namespace cvm::import {

class RecordingIOSystem final : public Assimp::DefaultIOSystem {
 public:
  // refuseFiles: every file is refused (as missing) and its name kept in Refused(); for a
  // model read from memory, whose side files have no folder to be looked up in.
  explicit RecordingIOSystem(bool refuseFiles) : refuseFiles_(refuseFiles) {}

  bool Exists(const char* file) const override;
  Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;

  // The files opened for reading, each once, in the order first opened, as assimp named them.
  const std::vector<std::string>& Opened() const { return opened_; }
  // The files asked for and refused, each once (lexically normal), in the order first asked for.
  const std::vector<std::string>& Refused() const { return refused_; }

 private:
  bool refuseFiles_;
  std::vector<std::string> opened_;
  mutable std::vector<std::string> refused_;
};

}  // namespace cvm::import
