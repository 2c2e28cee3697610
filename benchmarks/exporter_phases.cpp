#include "benchmarks/exporter_phases.h"

#include <cstring>

#include "format/binary_writer.h"
#include "format/record_writer.h"
#include "meshes/consolidate.h"
#include "meshes/consolidate_channels.h"
#include "meshes/gather_mesh.h"
#include "meshes/mesh_record.h"
#include "output/atomic_file_target.h"

namespace cvm::bench {
namespace {

// The same corner indices, slot for slot (both come from one gathering).
bool SameIndices(const CornerIds& a, const CornerIds& b) {
  const auto sameOwn = [](const OwnCornerId& x, const OwnCornerId& y) {
    return x.corner == y.corner && x.id == y.id;
  };
  return a.slots == b.slots && a.cornerCount == b.cornerCount && a.bySlot == b.bySlot &&
         a.byFace == b.byFace && a.byFurther == b.byFurther && a.furtherStart == b.furtherStart &&
         std::equal(a.ownIds.begin(), a.ownIds.end(), b.ownIds.begin(), b.ownIds.end(), sameOwn);
}

bool SameChannel(const IndexedChannel& a, const IndexedChannel& b) {
  if (!SameIndices(a.indices, b.indices) || a.values.size() != b.values.size()) return false;
  return a.values.empty() ||
         std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(Point3)) == 0;
}

bool SameChannels(const MeshChannels& a, const MeshChannels& b) {
  return SameChannel(a.positions, b.positions) && SameChannel(a.normals, b.normals) &&
         SameChannel(a.textureCoordinates, b.textureCoordinates);
}

}  // namespace

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
  format::WriteRecord(stream, format::CvmHeader{options.scale, 1, 0, 0, 0});
  format::WriteRecord(stream, format::MaterialSectionCounts{0, 0});

  // The steps of WriteMeshNode, one by one.
  const TriObjectResult tri = node.ConvertNodeToTriangleObject(0);
  HostMesh& mesh = *tri.triObject->TriObjectMesh();
  const char* name = node.NodeName();
  SetProgressText(window, "Exporting %s\n", name);
  const Point3 pivot = node.NodePivotTransform(0).GetRow(3);
  const Matrix3 world = node.ObjectToWorldTransform(0);
  if (options.exportNormals) mesh.buildNormals();
  SetProgressText(window, "Exporting %s - Consolidating...\n", name);
  times.convert = clock.Lap();

  GatheredMesh gathered;
  const auto faceCount = static_cast<uint32_t>(mesh.MeshFaceCount());
  if (!GatherMesh(mesh, faceCount, world, pivot, options.exportNormals, window, name, nullptr, gathered,
                  error))
    return false;
  times.gather = clock.Lap();
  // The per-corner records the documented gathering holds (16 bytes per corner and channel:
  // a value and a corner serial), the colours and the faces' material ids; and what this
  // gathering holds instead.
  gatheredBytes = (uint64_t{gathered.positions.CornerCount()} + gathered.normals.CornerCount() +
                   gathered.textureCoordinates.CornerCount()) *
                      (sizeof(Point3) + sizeof(uint32_t)) +
                  gathered.colours.size() * sizeof(Point3) +
                  uint64_t{gathered.FaceCount()} * sizeof(uint16_t);
  heldBytes = 0;
  for (const GatheredChannel* channel :
       {&gathered.positions, &gathered.normals, &gathered.textureCoordinates}) {
    const CornerIds& ids = channel->ids;
    heldBytes += (ids.bySlot.size() + ids.byFace.size() + ids.byFurther.size() + ids.furtherStart.size()) *
                     sizeof(uint32_t) +
                 ids.ownIds.size() * sizeof(OwnCornerId) + channel->values.size() * sizeof(Point3);
  }
  // Colours and material ids are read from the host.

  // The passes one by one on a copy of the gathered channels, to time each; then the three as
  // the mesh section runs them, whose channels the record is written from and must be the same.
  Stopwatch aside;  // the copy and the passes one by one, which the total leaves out
  GatheredMesh copy = gathered;
  ConsolidationProgress progress;
  progress.window = window;
  progress.name = name;
  ConsolidationScratch scratch;
  MeshChannels oneByOne;
  clock.Lap();
  ConsolidateNormals(copy, progress, scratch, oneByOne);
  times.normals = clock.Lap();
  ConsolidatePositions(copy, options, progress, scratch, oneByOne);
  times.positions = clock.Lap();
  ConsolidateTextureCoordinates(copy, progress, scratch, oneByOne);
  times.uvs = clock.Lap();
  const double setAside = aside.Lap();

  ConsolidationProgress sectionProgress;
  sectionProgress.window = window;
  sectionProgress.name = name;
  ConsolidationScratch sectionScratch;
  MeshChannels channels;
  ConsolidateChannels(gathered, options, sectionProgress, sectionScratch, channels);
  times.channels = clock.Lap();
  aside.Lap();
  if (!SameChannels(channels, oneByOne)) {
    error = "the passes run by ConsolidateChannels differ from the passes run one by one";
    target.Abort();
    return false;
  }
  const double compared = aside.Lap();
  clock.Lap();

  const MaterialList noMaterials;
  WriteMeshRecord(gathered, channels, node.NodeMaterial(), options.exportNormals, noMaterials, window, name,
                  stream);
  if (tri.isTemporary) tri.triObject->ReleaseTemporaryObject();
  if (!stream.Flush() || !target.Commit(error)) {
    if (error.empty()) error = stream.Error();
    target.Abort();
    return false;
  }
  times.write = clock.Lap();
  times.total = whole.Lap() - setAside - compared;
  times.fileBytes = stream.BytesWritten();
  return true;
}

}  // namespace cvm::bench
