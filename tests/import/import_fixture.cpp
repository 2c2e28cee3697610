#include "tests/import/import_fixture.h"

#include <gtest/gtest.h>

#include "standin/standin_scene.h"
#include "tests/support/export_fixture.h"

namespace cvm::test {

ImportedFile ImportAndRead(const std::string& path) {
  ImportedFile imported;
  std::string error;
  if (!import::ImportScene(path, imported.model, imported.warnings, error)) {
    ADD_FAILURE() << path << ": " << error;
    return imported;
  }
  standin::SceneModel copy = imported.model;
  auto scene = standin::MakeStandinScene(std::move(copy), error);
  if (scene == nullptr) {
    ADD_FAILURE() << path << ": " << error;
    return imported;
  }
  const MemoryExport exported = ExportToMemory(*scene);
  if (exported.outcome.result != kExportDone || exported.outcome.noData) {
    ADD_FAILURE() << path << ": export gave no file: " << exported.outcome.error;
    return imported;
  }
  reader::ReadError readError;
  if (!reader::ReadCvm(exported.bytes.data(), exported.bytes.size(), imported.file, readError)) {
    ADD_FAILURE() << path << ": " << reader::FormatReadError(readError);
    return imported;
  }
  imported.ok = true;
  return imported;
}

reader::Vec3 HostCornerPosition(const reader::CvmMesh& mesh, uint32_t corner) {
  const reader::Vec3& p = mesh.positions.at(mesh.positionIndices.at(corner));
  return reader::FileToHostAxes({p.x + mesh.pivot.x, p.y + mesh.pivot.y, p.z + mesh.pivot.z});
}

}  // namespace cvm::test
