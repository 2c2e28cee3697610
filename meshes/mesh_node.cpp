#include "meshes/mesh_node.h"

#include "host/temporary_object.h"
#include "meshes/gather_mesh.h"
#include "meshes/mesh_record.h"

namespace cvm {

bool WriteMeshNode(HostNode& node, const ExportOptions& options, const MaterialList& materials,
                   const ProgressWindow& progress, TaskRunner* runner, MeshWork& work, OutputStream& stream,
                   std::string& error) {
  const TemporaryObject tri(node.ConvertNodeToTriangleObject(0));
  HostMesh* mesh = tri.get() != nullptr ? tri.get()->TriObjectMesh() : nullptr;

  const char* name = node.NodeName();
  SetProgressText(progress, "Exporting %s\n", name);
  const Point3 pivot = node.NodePivotTransform(0).GetRow(3);
  const Matrix3 worldTransform = node.ObjectToWorldTransform(0);
  const int32_t hostFaceCount = mesh != nullptr ? mesh->MeshFaceCount() : 0;
  const uint32_t faceCount = hostFaceCount > 0 ? static_cast<uint32_t>(hostFaceCount) : 0;
  if (faceCount > kMaxMeshFaces) {
    error = "mesh node \"" + std::string(name) + "\": " + std::to_string(faceCount) +
            " faces have more corners than a mesh record can count";
    return false;
  }
  if (mesh != nullptr && options.exportNormals) mesh->buildNormals();
  SetProgressText(progress, "Exporting %s - Consolidating...\n", name);

  GatheredMesh& gathered = work.gathered;
  gathered.Clear();
  gathered.pivot = pivot;
  if (mesh != nullptr && !GatherMesh(*mesh, faceCount, worldTransform, pivot, options.exportNormals, progress,
                                     name, runner, gathered, error)) {
    return false;
  }
  ConsolidationProgress consolidation;
  consolidation.window = progress;
  consolidation.name = name;
  ConsolidateChannels(gathered, options, consolidation, work.scratch, work.channels);
  WriteMeshRecord(gathered, work.channels, node.NodeMaterial(), options.exportNormals, materials, progress,
                  name, stream);
  return true;
}

}  // namespace cvm
