// A model file imported, exported into memory and read back, for the importer's tests.
#pragma once

#include <string>

#include "import/import_scene.h"
#include "reader/cvm_reader.h"

namespace cvm::test {

struct ImportedFile {
  bool ok = false;  // imported, exported and read back; the current test has failed otherwise
  standin::SceneModel model;
  import::ImportWarnings warnings;
  reader::CvmFile file;
};

ImportedFile ImportAndRead(const std::string& path);

// Position of corner serial c of a mesh record in the host's frame (pivot added back).
reader::Vec3 HostCornerPosition(const reader::CvmMesh& mesh, uint32_t corner);

}  // namespace cvm::test
