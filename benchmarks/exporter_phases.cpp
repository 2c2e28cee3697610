#include "benchmarks/exporter_phases.h"

#include <cstring>

#include "format/binary_writer.h"
#include "export/output_target.h"
#include "meshes/consolidate.h"
#include "meshes/consolidate_channels.h"
#include "meshes/gather_mesh.h"
#include "meshes/mesh_record.h"

namespace cvm::bench {
namespace {

bool SameChannel(const IndexedChannel& a, const IndexedChannel& b) {
  if (a.cornerIndices != b.cornerIndices || a.values.size() != b.values.size()) return false;
  return a.values.empty() ||
         std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(Point3)) == 0;
}

bool SameChannels(const MeshChannels& a, const MeshChannels& b) {
  return SameChannel(a.positions, b.positions) && SameChannel(a.normals, b.normals) &&
         SameChannel(a.textureCoordinates, b.textureCoordinates);
}

}  // namespace
namespace {}  // namespace

bool ExportInPhases(HostNode& node, const ExportOptions& options, BenchUi& ui, const std::string& path,
                    PhaseTimes& times, uint64_t& gatheredBytes, uint64_t& heldBytes, std::string& error) {
  Stopwatch clock;
  Stopwatch whole;
  AtomicFileTarget target(path);
  if (!target.Open(error)) return false;
  OutputStream stream(target.Sink());
  ProgressWindow window;
  window.ui = &ui;
  // Header (one mesh) and an empty material section.
  WriteF32(options.scale, stream);
  WriteU32(1, stream);
  for (int i = 0; i < 5; ++i) WriteU32(0, stream);

  const TriObjectResult tri = node.ConvertNodeToTriangleObject(0);
  HostMesh& mesh = *tri.triObject->TriObjectMesh();
  const char* name = node.NodeName();
  GatheredMesh gathered;
  gathered.material = node.NodeMaterial();
  SetProgressText(window, "Exporting %s\n", name);
  const Matrix3 world = node.ObjectToWorldTransform(0);
  gathered.pivot = node.NodePivotTransform(0).GetRow(3);
  WritePointXZY(gathered.pivot, stream);
  gathered.normalTransform = world;
  gathered.normalTransform.SetRow(3, Point3{0.0f, 0.0f, 0.0f});
  gathered.hasUVs = mesh.MeshTVertCount() > 0;
  gathered.colourVertexCount = mesh.getNumMapVerts(0);
  gathered.hasColours = gathered.colourVertexCount > 0;
  if (options.exportNormals) mesh.buildNormals();
  SetProgressText(window, "Exporting %s - Consolidating...\n", name);
  times.convert = clock.Lap();

  const auto faceCount = static_cast<uint32_t>(mesh.MeshFaceCount());
  if (!GatherMesh(mesh, faceCount, world, options.exportNormals, window, name, gathered, error)) return false;
  times.gather = clock.Lap();
  // The per-corner records the documented gathering holds (16 bytes per corner and channel),
  // the colours and the faces' material ids; and what this gathering holds instead.
  gatheredBytes = (uint64_t{gathered.positions.CornerCount()} + gathered.normals.CornerCount() +
                   gathered.textureCoordinates.CornerCount()) *
                      sizeof(CornerRecord) +
                  gathered.colours.size() / 3 * sizeof(Point3) +
                  gathered.faceMaterialIds.size() * sizeof(uint16_t);
  heldBytes = 0;
  for (const GatheredChannel* corners :
       {&gathered.positions, &gathered.normals, &gathered.textureCoordinates})
    heldBytes += corners->ids.size() * sizeof(uint32_t) + corners->values.size() * sizeof(Point3);
  heldBytes +=
      gathered.colours.size() * sizeof(uint16_t) + gathered.faceMaterialIds.size() * sizeof(uint16_t);

  // The passes one by one on a copy of the gathered channels (each pass on one thread), in
  // the order ConsolidateChannels runs them, to time each; then ConsolidateChannels itself as
  // the mesh section runs it (sorts on two threads for a large mesh), whose channels the
  // record is written from and must be the same.
  Stopwatch aside;  // the copy and the passes one by one, which the total leaves out
  GatheredMesh copy = gathered;
  ConsolidationProgress progress;
  progress.window = window;
  progress.name = name;
  ConsolidationScratch scratch;
  MeshChannels oneByOne;
  clock.Lap();
  ConsolidateSorted(copy.normals, kConsolidatingNormalsText, progress, scratch, oneByOne.normals);
  times.normals = clock.Lap();
  if (options.preserveVertexOrdering) {
    ConsolidateInOrder(copy.positions, options.mergeVertices != 0, progress, scratch, oneByOne.positions);
  } else {
    ConsolidateSorted(copy.positions, kConsolidatingVerticesText, progress, scratch, oneByOne.positions);
  }
  times.positions = clock.Lap();
  ConsolidateSorted(copy.textureCoordinates, kConsolidatingUVsText, progress, scratch,
                    oneByOne.textureCoordinates);
  times.uvs = clock.Lap();
  const double setAside = aside.Lap();

  ConsolidationProgress sectionProgress;
  sectionProgress.window = window;
  sectionProgress.name = name;
  ChannelScratch sectionScratch;
  MeshChannels channels;
  ConsolidateChannels(gathered, options, sectionProgress, sectionScratch, channels);
  times.channels = clock.Lap();
  if (!SameChannels(channels, oneByOne)) {
    error = "the passes run by ConsolidateChannels differ from the passes run one by one";
    target.Abort();
    return false;
  }

  const MaterialList noMaterials;
  WriteMeshRecord(gathered, channels, options.exportNormals, noMaterials, window, name, stream);
  if (tri.isTemporary) tri.triObject->ReleaseTemporaryObject();
  if (!stream.Flush() || !target.Commit(error)) {
    if (error.empty()) error = stream.Error();
    target.Abort();
    return false;
  }
  times.write = clock.Lap();
  times.total = whole.Lap() - setAside;
  times.fileBytes = stream.BytesWritten();
  return true;
}

}  // namespace cvm::bench
