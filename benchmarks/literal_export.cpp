#include "benchmarks/literal_export.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "format/binary_writer.h"
#include "meshes/consolidate.h"
#include "meshes/encode_normal.h"
#include "meshes/select_corner_normal.h"
#include "tests/support/float_bits.h"

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
void PutByte(int byte, std::FILE* file) {
  putc_unlocked(byte, file);
}

void PutU16(uint32_t value, std::FILE* file) {
  PutByte(static_cast<int>(value & 0xFF), file);
  PutByte(static_cast<int>((value >> 8) & 0xFF), file);
}

void PutU32(uint32_t value, std::FILE* file) {
  PutByte(static_cast<int>(value & 0xFF), file);
  PutByte(static_cast<int>((value >> 8) & 0xFF), file);
  PutByte(static_cast<int>((value >> 16) & 0xFF), file);
  PutByte(static_cast<int>((value >> 24) & 0xFF), file);
}

void PutF32(float value, std::FILE* file) {
  PutU32(cvm::test::FloatBits(value), file);
}

void PutPointXZY(const Point3& p, std::FILE* file) {
  PutF32(p.x, file);
  PutF32(p.z, file);
  PutF32(p.y, file);
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

void PutIndices(const Channel& channel, std::FILE* file) {
  for (const uint32_t index : channel.cornerIndices) PutU32(index, file);
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
  // Header: scale, one mesh, no lights, helpers or splines; material section: no materials,
  // no textures.
  PutF32(options.scale, file);
  PutU32(1, file);
  PutU32(0, file);
  PutU32(0, file);
  PutU32(0, file);
  PutU32(0, file);
  PutU32(0, file);

  const char* name = node.NodeName();
  const TriObjectResult tri = node.ConvertNodeToTriangleObject(0);
  HostMesh& mesh = *tri.triObject->TriObjectMesh();
  ShowText(ui, "Exporting %s\n", name);
  const Matrix3 pivotTransform = node.NodePivotTransform(0);
  const Matrix3 world = node.ObjectToWorldTransform(0);
  const Point3 pivot = pivotTransform.GetRow(3);
  PutPointXZY(pivot, file);
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

  const uint32_t cornerCount = cornerSerial;
  ShowText(ui, "Exporting %s - Vertices...\n", name);
  PutU32(cornerCount, file);
  PutIndices(positionChannel, file);
  PutU32(static_cast<uint32_t>(positionChannel.values.size()), file);
  for (const Point3& p : positionChannel.values) PutPointXZY(p, file);
  ShowText(ui, "Exporting %s - UVs...\n", name);
  PutU16(hasUVs ? 1 : 0, file);
  if (hasUVs) {
    PutIndices(uvChannel, file);
    PutU32(static_cast<uint32_t>(uvChannel.values.size()), file);
    for (const Point3& t : uvChannel.values) {
      PutF32(t.x, file);
      PutF32(t.y, file);
    }
  }
  ShowText(ui, "Exporting %s - Normals...\n", name);
  PutU16(options.exportNormals ? 1 : 0, file);
  if (options.exportNormals) {
    PutIndices(normalChannel, file);
    PutU32(static_cast<uint32_t>(normalChannel.values.size()), file);
    for (const Point3& n : normalChannel.values) {
      const EncodedNormal e = EncodeNormal(n);
      PutByte(e.polar, file);
      PutByte(e.azimuth, file);
    }
  }
  ShowText(ui, "Exporting %s - Colors...\n", name);
  const bool writeColours = hasColours && static_cast<uint32_t>(colourVertexCount) >= cornerCount;
  PutU32(writeColours ? cornerCount : 0, file);
  if (writeColours) {
    for (const Point3& c : colours) {
      PutU16(ColorToU16(c.x), file);
      PutU16(ColorToU16(c.y), file);
      PutU16(ColorToU16(c.z), file);
    }
  }
  ShowText(ui, "Exporting %s - Faces...\n", name);
  // No material: one sub-material, every face in its group, material index 0xFFFF.
  constexpr uint32_t kSubMaterials = 1;
  PutU32(faceCount, file);
  std::vector<uint32_t> groupFaces(kSubMaterials, 0);
  for (uint32_t s = 0; s < kSubMaterials; ++s)
    for (uint32_t f = 0; f < faceCount; ++f)
      if ((faces[f].flags >> 16) % kSubMaterials == s) ++groupFaces[s];
  uint32_t groups = 0;
  for (const uint32_t n : groupFaces) groups += n > 0 ? 1 : 0;
  PutU32(groups, file);
  for (uint32_t s = 0; s < kSubMaterials; ++s) {
    if (groupFaces[s] == 0) continue;
    PutU16(0xFFFF, file);
    PutU32(groupFaces[s], file);
    for (uint32_t f = 0; f < faceCount; ++f) {
      if ((faces[f].flags >> 16) % kSubMaterials != s) continue;
      PutU32(3 * f + 2, file);
      PutU32(3 * f + 1, file);
      PutU32(3 * f, file);
    }
  }
  if (tri.isTemporary) tri.triObject->ReleaseTemporaryObject();

  const long size = std::ftell(file);
  const bool ok = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
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
