#include "meshes/gather_mesh.h"

#include "meshes/progress_text_cache.h"
#include "meshes/select_corner_normal.h"

namespace cvm {
namespace {

bool Fail(std::string& error, const char* nodeName, const std::string& what) {
  error = "mesh node \"" + std::string(nodeName) + "\": " + what;
  return false;
}

std::string IndexOutOfRange(uint32_t f, int corner, const char* kind, uint32_t index, int32_t count) {
  return "face " + std::to_string(f) + " corner " + std::to_string(corner) + ": " + kind + " index " +
         std::to_string(index) + " out of range (" + std::to_string(count < 0 ? 0 : count) + ")";
}

bool InRange(uint32_t index, int32_t count) {
  return count > 0 && index < static_cast<uint32_t>(count);
}

}  // namespace

bool GatherMesh(const HostMesh& mesh, uint32_t faceCount, const Matrix3& worldTransform, bool exportNormals,
                const ProgressWindow& progress, const char* nodeName, GatheredMesh& gathered,
                std::string& error) {
  if (faceCount == 0) return true;
  const MeshFace* faces = mesh.MeshFaces();
  const Point3* vertices = mesh.MeshVertices();
  const int32_t vertexCount = mesh.MeshVertexCount();
  if (faces == nullptr || vertices == nullptr)
    return Fail(error, nodeName, "the mesh has no face or vertex array");

  const Point3* tverts = nullptr;
  const TVFace* tvFaces = nullptr;
  const int32_t tvertCount = mesh.MeshTVertCount();
  if (gathered.hasUVs) {
    tverts = mesh.MeshTVerts();
    tvFaces = mesh.MeshTVFaces();
    if (tverts == nullptr || tvFaces == nullptr)
      return Fail(error, nodeName, "the mesh's texture vertices are missing");
  }
  const Point3* mapVerts = nullptr;
  const TVFace* mapFaces = nullptr;
  const int32_t mapVertCount = mesh.getNumMapVerts(0);
  if (gathered.hasColours) {
    mapVerts = mesh.mapVerts(0);
    mapFaces = mesh.mapFaces(0);
    if (mapVerts == nullptr || mapFaces == nullptr)
      return Fail(error, nodeName, "the mesh's colour channel is missing");
  }
  const Point3* faceNormals = exportNormals ? mesh.MeshFaceNormals() : nullptr;
  const RVertex* renderNormals = exportNormals ? mesh.MeshRenderNormals() : nullptr;
  if (exportNormals && (faceNormals == nullptr || renderNormals == nullptr))
    return Fail(error, nodeName, "the mesh's normals were not built");

  const size_t cornerCount = size_t{3} * faceCount;
  gathered.positions.reserve(cornerCount);
  gathered.textureCoordinates.reserve(cornerCount);
  if (exportNormals) gathered.normals.reserve(cornerCount);
  if (gathered.hasColours) gathered.colours.reserve(cornerCount);
  gathered.faceMaterialIds.reserve(faceCount);

  ProgressTextCache text;
  uint32_t cornerSerial = 0;
  for (uint32_t f = 0; f < faceCount; ++f) {
    text.Show(progress, "Exporting %s - Gathering %d%%\n", nodeName, ProgressPercent(f, faceCount));
    const MeshFace& face = faces[f];
    for (int i = 0; i < 3; ++i) {
      const uint32_t j = face.v[i];
      if (!InRange(j, vertexCount))
        return Fail(error, nodeName, IndexOutOfRange(f, i, "vertex", j, vertexCount));
      gathered.positions.push_back(
          {TransformPoint(worldTransform, vertices[j]) - gathered.pivot, cornerSerial});

      Point3 uvw;
      if (gathered.hasUVs) {
        const uint32_t t = tvFaces[f].t[i];
        if (!InRange(t, tvertCount))
          return Fail(error, nodeName, IndexOutOfRange(f, i, "texture vertex", t, tvertCount));
        uvw = tverts[t];
      }
      gathered.textureCoordinates.push_back({uvw, cornerSerial});

      if (gathered.hasColours) {
        const uint32_t m = mapFaces[f].t[i];
        if (!InRange(m, mapVertCount))
          return Fail(error, nodeName, IndexOutOfRange(f, i, "colour vertex", m, mapVertCount));
        gathered.colours.push_back(mapVerts[m]);
      }

      if (exportNormals) {
        const Point3& normal = SelectCornerNormal(renderNormals[j], face.smGroup, faceNormals[f]);
        gathered.normals.push_back(
            {Normalize(TransformPoint(gathered.normalTransform, normal)), cornerSerial});
      }
      ++cornerSerial;
    }
    gathered.faceMaterialIds.push_back(static_cast<uint16_t>(face.flags >> 16));
  }
  return true;
}

}  // namespace cvm
