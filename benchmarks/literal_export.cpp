#include "benchmarks/literal_export.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "format/binary_writer.h"
#include "format/byte_sink.h"
#include "format/record_writer.h"
#include "meshes/consolidate.h"
#include "meshes/encode_normal.h"
#include "meshes/select_corner_normal.h"
#include "tests/support/corner_records.h"

namespace cvm::bench {
namespace {

struct Channel {
  std::vector<Point3> values;
  std::vector<uint32_t> cornerIndices;
};

// One stdio call per byte. putc_unlocked is what fputc costs in a process of one thread (the
// C library then skips the stream's lock); this process runs threads for the exporter's sorts,
// after which every fputc would lock and unlock the stream and the baseline would be slower than
// the one stdio call per byte it stands for.
class StdioSink final : public ByteSink {
 public:
  explicit StdioSink(std::FILE* file) : file_(file) {}
  bool Append(const uint8_t* data, size_t size, std::string& /*error*/) override {
    for (size_t i = 0; i < size; ++i) putc_unlocked(data[i], file_);
    return true;
  }

 private:
  std::FILE* file_;
};

format::Vec3 FileAxes(const Point3& p) {
  return {p.x, p.z, p.y};
}

void ShowText(BenchUi& ui, const char* format, const char* name, int percent = 0) {
  char text[kProgressTextSize];
  if (FormatProgressText(text, format, name, percent)) ui.SetProgressText(text);
}

bool SameValue(const Point3& a, const Point3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The shared last percentage of one mesh's passes.
struct PassProgress {
  BenchUi& ui;
  const char* name;
  int lastPercent = -1;

  void Step(const char* format, uint32_t i, uint32_t count) {
    const int percent = ProgressPercent(i, count);
    if (percent == lastPercent) return;
    lastPercent = percent;
    ShowText(ui, format, name, percent);
  }
};

Channel SortAndWalk(std::vector<CornerRecord>& records, const char* format, PassProgress& progress) {
  const auto count = static_cast<uint32_t>(records.size());
  std::sort(records.begin(), records.end(), CornerRecordGreater);
  Channel channel;
  channel.cornerIndices.resize(count);
  uint32_t current = 0;
  for (uint32_t i = 0; i < count; ++i) {
    progress.Step(format, i, count);
    if (i == 0 || !SameValue(records[i].value, channel.values.back())) {
      current = static_cast<uint32_t>(channel.values.size());
      channel.values.push_back(records[i].value);
    }
    channel.cornerIndices[records[i].corner] = current;
  }
  return channel;
}

Channel SearchInOrder(const std::vector<CornerRecord>& records, bool mergeVertices, PassProgress& progress) {
  const auto count = static_cast<uint32_t>(records.size());
  Channel channel;
  channel.cornerIndices.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    progress.Step(kConsolidatingVerticesText, i, count);
    const Point3& value = records[i].value;
    size_t j = channel.values.size();
    if (mergeVertices) {
      j = 0;
      while (j < channel.values.size() && !SameValue(channel.values[j], value)) ++j;
    }
    if (j == channel.values.size()) channel.values.push_back(value);
    channel.cornerIndices[records[i].corner] = static_cast<uint32_t>(j);
  }
  return channel;
}

}  // namespace

bool LiteralExport(HostNode& node, const ExportOptions& options, BenchUi& ui, const std::string& path,
                   PhaseTimes& times, std::string& error) {
  Stopwatch clock;
  Stopwatch whole;
  const std::string tempPath = path + ".literal-tmp";
  std::FILE* file = std::fopen(tempPath.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot create " + tempPath;
    return false;
  }
  StdioSink sink(file);
  OutputStream stream(sink);
  // Header: scale, one mesh, no lights, helpers or splines; material section: no materials,
  // no textures.
  format::WriteRecord(stream, format::CvmHeader{options.scale, 1, 0, 0, 0});
  format::WriteRecord(stream, format::MaterialSectionCounts{0, 0});

  const char* name = node.NodeName();
  const TriObjectResult tri = node.ConvertNodeToTriangleObject(0);
  HostMesh& mesh = *tri.triObject->TriObjectMesh();
  ShowText(ui, "Exporting %s\n", name);
  const Matrix3 pivotTransform = node.NodePivotTransform(0);
  const Matrix3 world = node.ObjectToWorldTransform(0);
  const Point3 pivot = pivotTransform.GetRow(3);
  Matrix3 normalTransform = world;
  normalTransform.SetRow(3, Point3{0.0f, 0.0f, 0.0f});
  const bool hasUVs = mesh.MeshTVertCount() > 0;
  const int32_t colourVertexCount = mesh.getNumMapVerts(0);
  const bool hasColours = colourVertexCount > 0;
  if (options.exportNormals) mesh.buildNormals();
  ShowText(ui, "Exporting %s - Consolidating...\n", name);
  times.convert = clock.Lap();

  const auto faceCount = static_cast<uint32_t>(mesh.MeshFaceCount());
  const MeshFace* faces = mesh.MeshFaces();
  const Point3* vertices = mesh.MeshVertices();
  std::vector<CornerRecord> positions, normals, uvs;
  std::vector<Point3> colours;
  uint32_t cornerSerial = 0;
  for (uint32_t f = 0; f < faceCount; ++f) {
    ShowText(ui, "Exporting %s - Gathering %d%%\n", name, ProgressPercent(f, faceCount));
    for (int i = 0; i < 3; ++i) {
      const uint32_t j = faces[f].v[i];
      positions.push_back({TransformPoint(world, vertices[j]) - pivot, cornerSerial});
      Point3 uvw;
      if (hasUVs) uvw = mesh.MeshTVerts()[mesh.MeshTVFaces()[f].t[i]];
      uvs.push_back({uvw, cornerSerial});
      if (hasColours) colours.push_back(mesh.mapVerts(0)[mesh.mapFaces(0)[f].t[i]]);
      if (options.exportNormals)
        normals.push_back(
            {Normalize(TransformPoint(normalTransform, SelectCornerNormal(mesh, f, j))), cornerSerial});
      ++cornerSerial;
    }
  }
  times.gather = clock.Lap();

  PassProgress progress{ui, name};
  const Channel normalChannel = SortAndWalk(normals, kConsolidatingNormalsText, progress);
  times.normals = clock.Lap();
  const Channel positionChannel = options.preserveVertexOrdering
                                      ? SearchInOrder(positions, options.mergeVertices != 0, progress)
                                      : SortAndWalk(positions, kConsolidatingVerticesText, progress);
  times.positions = clock.Lap();
  const Channel uvChannel = SortAndWalk(uvs, kConsolidatingUVsText, progress);
  times.uvs = clock.Lap();

  // The whole record in memory, then every field through the format's layout.
  const uint32_t cornerCount = cornerSerial;
  format::CvmMesh record;
  record.pivot = FileAxes(pivot);
  record.cornerCount = cornerCount;
  record.positionIndices = positionChannel.cornerIndices;
  for (const Point3& p : positionChannel.values) record.positions.push_back(FileAxes(p));
  record.hasUvs = hasUVs;
  if (hasUVs) {
    record.uvIndices = uvChannel.cornerIndices;
    for (const Point3& t : uvChannel.values) record.uvs.push_back({t.x, t.y});
  }
  record.hasNormals = options.exportNormals;
  if (options.exportNormals) {
    record.normalIndices = normalChannel.cornerIndices;
    for (const Point3& n : normalChannel.values) record.normals.push_back(EncodeNormal(n));
  }
  if (hasColours && static_cast<uint32_t>(colourVertexCount) >= cornerCount) {
    for (const Point3& c : colours)
      record.colors.push_back({ColorToU16(c.x), ColorToU16(c.y), ColorToU16(c.z)});
  }
  // No material: one sub-material, every face in its group, material index 0xFFFF. One scan of
  // the faces per sub-material to count them, and one per group to list them.
  constexpr uint32_t kSubMaterials = 1;
  record.faceCount = faceCount;
  for (uint32_t s = 0; s < kSubMaterials; ++s) {
    uint32_t inGroup = 0;
    for (uint32_t f = 0; f < faceCount; ++f)
      if ((faces[f].flags >> 16) % kSubMaterials == s) ++inGroup;
    if (inGroup == 0) continue;
    format::CvmFaceGroup group;
    group.materialIndex = format::kNoMaterial;
    for (uint32_t f = 0; f < faceCount; ++f)
      if ((faces[f].flags >> 16) % kSubMaterials == s) group.faces.push_back({3 * f + 2, 3 * f + 1, 3 * f});
    record.groups.push_back(std::move(group));
  }
  static const char* const kBlockTexts[] = {"Exporting %s - Vertices...\n", "Exporting %s - UVs...\n",
                                            "Exporting %s - Normals...\n", "Exporting %s - Colors...\n",
                                            "Exporting %s - Faces...\n"};
  format::WriteMeshRecord(stream, record, [&](format::Landmark landmark) {
    ShowText(ui, kBlockTexts[static_cast<int>(landmark)], name);
  });
  if (tri.isTemporary) tri.triObject->ReleaseTemporaryObject();

  const bool flushed = stream.Flush();
  const long size = std::ftell(file);
  const bool ok = flushed && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!ok || !closed || std::rename(tempPath.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path;
    std::remove(tempPath.c_str());
    return false;
  }
  times.write = clock.Lap();
  times.total = whole.Lap();
  times.fileBytes = static_cast<uint64_t>(size);
  return true;
}

}  // namespace cvm::bench
