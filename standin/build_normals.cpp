#include "standin/build_normals.h"

#include <cstdint>

namespace cvm::standin {
namespace {

constexpr size_t kMaxComputedEntries = 32;

void ServeExplicitNormals(const ExplicitNormalsModel& normals, MeshNormals& out) {
  out.faceNormals = normals.faceNormals.empty() ? nullptr : normals.faceNormals.data();
  out.vertices.resize(normals.VertexCount());
  for (size_t j = 0; j < normals.VertexCount(); ++j) {
    RVertex& rv = out.vertices[j];
    const size_t count = normals.EntryCount(j);
    const RNormalEntry* entries = normals.VertexEntries(j);
    rv.rFlags = static_cast<uint32_t>(count & kRVertexNormalCountMask) |
                (normals.specified[j] != 0 ? kRVertexSpecifiedNormal : 0u);
    rv.primaryNormal = count > 0 ? entries[0].normal : Point3{};
    rv.ern = count > 0 ? entries : nullptr;
  }
}

}  // namespace

void ComputeFaceNormals(const MeshModel& mesh, std::vector<Point3>& faceNormals) {
  const std::vector<Point3>& v = mesh.vertices;
  faceNormals.resize(mesh.faces.size());
  for (size_t f = 0; f < mesh.faces.size(); ++f) {
    const uint32_t* c = mesh.faces[f].v;
    faceNormals[f] = Normalize(CrossProd(v[c[1]] - v[c[0]], v[c[2]] - v[c[1]]));
  }
}

const Point3* FaceNormalsOf(const MeshModel& mesh, MeshNormals& out) {
  if (out.faceNormals == nullptr) {
    ComputeFaceNormals(mesh, out.faceNormalStorage);
    out.faceNormals = out.faceNormalStorage.data();
  }
  return out.faceNormals;
}

void BuildMeshNormals(const MeshModel& mesh, MeshNormals& out) {
  out = MeshNormals();
  if (mesh.normals) {
    ServeExplicitNormals(*mesh.normals, out);
    return;
  }
  const std::vector<Point3>& v = mesh.vertices;
  const std::vector<MeshFace>& faces = mesh.faces;
  const size_t vertexCount = v.size();

  const Point3* faceNormals = FaceNormalsOf(mesh, out);

  // Smoothed corners grouped by vertex, keeping face order within a vertex (a counting sort),
  // so that each vertex's entries are built from its own faces only.
  std::vector<size_t> start(vertexCount + 1, 0);
  for (const MeshFace& face : faces) {
    if (face.smGroup == 0) continue;
    for (uint32_t j : face.v) ++start[j + 1];
  }
  for (size_t j = 0; j < vertexCount; ++j) start[j + 1] += start[j];
  std::vector<uint32_t> cornerFace(start[vertexCount]);
  std::vector<size_t> fill(start.begin(), start.end() - 1);
  for (size_t f = 0; f < faces.size(); ++f) {
    if (faces[f].smGroup == 0) continue;
    for (uint32_t j : faces[f].v) cornerFace[fill[j]++] = static_cast<uint32_t>(f);
  }

  out.entryStorage.reserve(cornerFace.size());
  std::vector<size_t> firstEntry(vertexCount + 1, 0);
  RNormalEntry local[kMaxComputedEntries];
  for (size_t j = 0; j < vertexCount; ++j) {
    size_t count = 0;
    for (size_t k = start[j]; k < start[j + 1]; ++k) {
      const uint32_t f = cornerFace[k];
      const uint32_t s = faces[f].smGroup;
      const Point3& n = faceNormals[f];
      size_t e = 0;
      while (e < count && (local[e].smGroup & s) == 0) ++e;
      if (e < count) {
        local[e].normal = local[e].normal + n;
        local[e].smGroup |= s;
      } else {
        local[count++] = RNormalEntry{n, s};
      }
    }
    firstEntry[j] = out.entryStorage.size();
    for (size_t e = 0; e < count; ++e)
      out.entryStorage.push_back({Normalize(local[e].normal), local[e].smGroup});
  }
  firstEntry[vertexCount] = out.entryStorage.size();

  out.vertices.resize(vertexCount);
  for (size_t j = 0; j < vertexCount; ++j) {
    const auto count = static_cast<uint32_t>(firstEntry[j + 1] - firstEntry[j]);
    RVertex& rv = out.vertices[j];
    rv.rFlags = count;
    rv.primaryNormal = count > 0 ? out.entryStorage[firstEntry[j]].normal : Point3{};
    rv.ern = count > 0 ? &out.entryStorage[firstEntry[j]] : nullptr;
  }
}

}  // namespace cvm::standin
