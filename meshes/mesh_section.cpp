#include "meshes/mesh_section.h"

#include <string>

#include "meshes/consolidate.h"
#include "meshes/consolidate_channels.h"
#include "meshes/gather_mesh.h"
#include "meshes/gathered_mesh.h"
#include "meshes/mesh_record.h"

namespace cvm {
namespace {

// What one node's record needs across its steps; reused from node to node so that a
// section of many meshes does not allocate afresh for each.
struct MeshWork {
  GatheredMesh gathered;
  MeshChannels channels;
  ChannelScratch scratch;
};

// The largest face count whose corner serials (3 per face) fit a u32.
constexpr uint32_t kMaxFaceCount = 0xFFFFFFFFu / 3;

// Returns false when the export must stop (ctx has been refused).
bool WriteMeshNode(ExportContext& ctx, HostNode& node, const MaterialList& materials, MeshWork& work) {
  const TriObjectResult tri = node.ConvertNodeToTriangleObject(0);
  HostMesh* mesh = tri.triObject != nullptr ? tri.triObject->TriObjectMesh() : nullptr;
  const auto releaseTemporary = [&tri] {
    if (tri.isTemporary && tri.triObject != nullptr) tri.triObject->ReleaseTemporaryObject();
  };
  const char* name = node.NodeName();
  GatheredMesh& gathered = work.gathered;
  gathered.Clear();
  gathered.material = node.NodeMaterial();

  SetProgressText(ctx.progress, "Exporting %s\n", name);
  const Matrix3 pivotTransform = node.NodePivotTransform(0);
  const Matrix3 worldTransform = node.ObjectToWorldTransform(0);
  gathered.pivot = pivotTransform.GetRow(3);
  WritePointXZY(gathered.pivot, ctx.stream);
  gathered.normalTransform = worldTransform;
  gathered.normalTransform.SetRow(3, Point3{0.0f, 0.0f, 0.0f});

  const int32_t hostFaceCount = mesh != nullptr ? mesh->MeshFaceCount() : 0;
  const uint32_t faceCount = hostFaceCount > 0 ? static_cast<uint32_t>(hostFaceCount) : 0;
  if (faceCount > kMaxFaceCount) {
    ctx.Refuse("mesh node \"" + std::string(name) + "\": " + std::to_string(faceCount) +
               " faces have more corners than a mesh record can count");
    releaseTemporary();
    return false;
  }
  if (mesh != nullptr) {
    gathered.hasUVs = mesh->MeshTVertCount() > 0;
    gathered.colourVertexCount = mesh->getNumMapVerts(0);
    gathered.hasColours = gathered.colourVertexCount > 0;
    if (ctx.options.exportNormals) mesh->buildNormals();
  }
  SetProgressText(ctx.progress, "Exporting %s - Consolidating...\n", name);

  std::string error;
  if (mesh != nullptr && !GatherMesh(*mesh, faceCount, worldTransform, ctx.options.exportNormals,
                                     ctx.progress, name, gathered, error)) {
    ctx.Refuse(error);
    releaseTemporary();
    return false;
  }

  ConsolidationProgress progress;
  progress.window = ctx.progress;
  progress.name = name;
  MeshChannels& channels = work.channels;
  ConsolidateChannels(gathered, ctx.options, progress, work.scratch, channels);

  WriteMeshRecord(gathered, channels, ctx.options.exportNormals, materials, ctx.progress, name, ctx.stream);
  releaseTemporary();
  return true;
}

}  // namespace

void WriteMeshSection(ExportContext& ctx, const MaterialList& materials) {
  MeshWork work;
  for (const uint32_t position : ctx.lists.meshes) {
    if (!WriteMeshNode(ctx, *ctx.NodeAt(position), materials, work)) return;
  }
}

}  // namespace cvm
