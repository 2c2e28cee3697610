#include "meshes/mesh_record.h"

#include "meshes/encode_normal.h"
#include "meshes/face_groups.h"
#include "meshes/write_blocks.h"

namespace cvm {
namespace {

void WriteChannelIndices(const IndexedChannel& channel, OutputStream& stream) {
  WriteU32Block(channel.cornerIndices.data(), channel.cornerIndices.size(), stream);
}

void WriteFaceGroups(const GatheredMesh& gathered, const MaterialList& materials, OutputStream& stream) {
  std::vector<FaceGroup> groups;
  std::vector<uint32_t> faceOrder;
  BuildFaceGroups(gathered.faceMaterialIds, gathered.material, materials, groups, faceOrder);
  WriteU32(gathered.FaceCount(), stream);
  WriteU32(static_cast<uint32_t>(groups.size()), stream);
  size_t next = 0;
  for (const FaceGroup& group : groups) {
    WriteU16(group.materialIndex, stream);
    WriteU32(group.faceCount, stream);
    // Corners in reversed order, for every node whatever its transform.
    WriteReversedFaceBlock(faceOrder.data() + next, group.faceCount, stream);
    next += group.faceCount;
  }
}

}  // namespace

void WriteMeshRecord(const GatheredMesh& gathered, const MeshChannels& channels, bool exportNormals,
                     const MaterialList& materials, const ProgressWindow& progress, const char* nodeName,
                     OutputStream& stream) {
  const uint32_t cornerCount = gathered.CornerCount();

  SetProgressText(progress, "Exporting %s - Vertices...\n", nodeName);
  WriteU32(cornerCount, stream);
  WriteChannelIndices(channels.positions, stream);
  WriteU32(static_cast<uint32_t>(channels.positions.values.size()), stream);
  WritePointXZYBlock(channels.positions.values.data(), channels.positions.values.size(), stream);

  SetProgressText(progress, "Exporting %s - UVs...\n", nodeName);
  WriteU16(gathered.hasUVs ? 1 : 0, stream);
  if (gathered.hasUVs) {
    const IndexedChannel& uvs = channels.textureCoordinates;
    WriteChannelIndices(uvs, stream);
    WriteU32(static_cast<uint32_t>(uvs.values.size()), stream);
    WritePointXYBlock(uvs.values.data(), uvs.values.size(), stream);
  }

  SetProgressText(progress, "Exporting %s - Normals...\n", nodeName);
  WriteU16(exportNormals ? 1 : 0, stream);
  if (exportNormals) {
    const IndexedChannel& normals = channels.normals;
    WriteChannelIndices(normals, stream);
    WriteU32(static_cast<uint32_t>(normals.values.size()), stream);
    for (const EncodedNormal& e : channels.encodedNormals) {
      stream.PutByte(e.polar);
      stream.PutByte(e.azimuth);
    }
  }

  SetProgressText(progress, "Exporting %s - Colors...\n", nodeName);
  const bool writeColours = gathered.hasColours &&
                            static_cast<uint32_t>(gathered.colourVertexCount) >= cornerCount &&
                            gathered.colours.size() == size_t{3} * cornerCount;
  WriteU32(writeColours ? cornerCount : 0, stream);
  if (writeColours) WriteU16Block(gathered.colours.data(), gathered.colours.size(), stream);

  SetProgressText(progress, "Exporting %s - Faces...\n", nodeName);
  WriteFaceGroups(gathered, materials, stream);
}

}  // namespace cvm
