#include "meshes/mesh_section.h"

namespace cvm {

void WriteMeshSection(ExportContext& /*ctx*/, const MaterialList& /*materials*/) {}

}  // namespace cvm
