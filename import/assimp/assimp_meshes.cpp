#include "import/assimp_meshes.h"

#include <algorithm>
#include <cmath>

#include "import/source_axes.h"

namespace cvm::import {
namespace {

std::string Quoted(const aiString& name) {
  return std::string("'") + name.C_Str() + "'";
}

// What the first pass learns about the node's meshes, so that every array is sized once.
struct MeshTotals {
  uint64_t vertices = 0;
  uint64_t triangles = 0;
  bool anyUvs = false;
  bool anyColors = false;
  bool allNormals = true;
};

bool CountMeshes(const aiScene& scene, const aiNode& node, MeshTotals& totals, std::string& error) {
  for (unsigned k = 0; k < node.mNumMeshes; ++k) {
    if (node.mMeshes[k] >= scene.mNumMeshes) {
      error = "node " + Quoted(node.mName) + ": mesh index " + std::to_string(node.mMeshes[k]) +
              " out of range (" + std::to_string(scene.mNumMeshes) + " meshes)";
      return false;
    }
    const aiMesh& mesh = *scene.mMeshes[node.mMeshes[k]];
    if (mesh.mMaterialIndex >= scene.mNumMaterials) {
      error = "node " + Quoted(node.mName) + ", mesh " + Quoted(mesh.mName) + ": material index " +
              std::to_string(mesh.mMaterialIndex) + " out of range (" + std::to_string(scene.mNumMaterials) +
              " materials)";
      return false;
    }
    uint64_t triangles = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) triangles += mesh.mFaces[f].mNumIndices == 3 ? 1 : 0;
    if (triangles == 0) continue;
    totals.vertices += mesh.mNumVertices;
    totals.triangles += triangles;
    totals.anyUvs = totals.anyUvs || mesh.HasTextureCoords(0);
    totals.anyColors = totals.anyColors || mesh.HasVertexColors(0);
    totals.allNormals = totals.allNormals && mesh.HasNormals();
  }
  return true;
}

}  // namespace

Point3 FixNormal(const NormalFix& fix, const Point3& n) {
  if (!fix.apply) return n;
  double out[3];
  for (int r = 0; r < 3; ++r) out[r] = fix.m[r][0] * n.x + fix.m[r][1] * n.y + fix.m[r][2] * n.z;
  return Normalize({static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2])});
}

NormalFix NormalFixFor(const aiMatrix4x4& world) {
  const double l[3][3] = {
      {world.a1, world.a2, world.a3}, {world.b1, world.b2, world.b3}, {world.c1, world.c2, world.c3}};
  double g[3][3];  // L^T L
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) g[r][c] = l[0][r] * l[0][c] + l[1][r] * l[1][c] + l[2][r] * l[2][c];
  const double trace = g[0][0] + g[1][1] + g[2][2];
  NormalFix fix;
  if (!(trace > 0.0) || !std::isfinite(trace)) return fix;
  // L keeps angles when L^T L is a multiple of the identity.
  const double tolerance = 1e-6 * trace;
  const double mean = trace / 3.0;
  bool conformal = true;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      conformal = conformal && std::fabs(g[r][c] - (r == c ? mean : 0.0)) <= tolerance;
  if (conformal) return fix;
  const double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
                     g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                     g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
  if (!(std::fabs(det) > 1e-12 * trace * trace * trace)) return fix;
  fix.apply = true;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      fix.m[r][c] = (g[r1][c1] * g[r2][c2] - g[r1][c2] * g[r2][c1]) / det;  // adjugate / det
    }
  }
  return fix;
}

bool BuildNodeMesh(const aiScene& scene, const aiNode& node, const NormalFix& normalFix, NodeMesh& out,
                   std::string& error) {
  MeshTotals totals;
  if (!CountMeshes(scene, node, totals, error)) return false;
  if (totals.vertices >= UINT32_MAX || totals.triangles >= UINT32_MAX) {
    error = "node " + Quoted(node.mName) + ": more vertices or faces than a host mesh holds";
    return false;
  }
  standin::MeshModel& mesh = out.mesh;
  mesh.vertices.reserve(totals.vertices);
  mesh.faces.reserve(totals.triangles);
  // Texture and colour vertices run parallel to the vertices, so a face's three vertex indices
  // serve all of them and no faces of their own are kept; meshes without a set give (0, 0, 0).
  if (totals.anyUvs) {
    mesh.tverts.reserve(totals.vertices);
    mesh.tvFacesAreVertexFaces = true;
  }
  if (totals.anyColors) {
    mesh.colors.emplace();
    mesh.colors->verts.reserve(totals.vertices);
    mesh.colors->facesAreVertexFaces = true;
  }
  if (totals.allNormals && totals.triangles > 0) {
    // Every vertex has a specified normal, so no corner takes a face normal: they are left out.
    mesh.normals.emplace();
    mesh.normals->specified.reserve(totals.vertices);
    mesh.normals->entryStart.reserve(size_t{totals.vertices} + 1);
    mesh.normals->entries.reserve(totals.vertices);
  }

  for (unsigned k = 0; k < node.mNumMeshes; ++k) {
    const aiMesh& source = *scene.mMeshes[node.mMeshes[k]];
    const auto base = static_cast<uint32_t>(mesh.vertices.size());
    bool hasTriangles = false;
    for (unsigned f = 0; f < source.mNumFaces && !hasTriangles; ++f)
      hasTriangles = source.mFaces[f].mNumIndices == 3;
    if (!hasTriangles) {
      out.droppedPrimitives += source.mNumFaces;
      continue;
    }
    const auto used = std::find(out.usedMaterials.begin(), out.usedMaterials.end(), source.mMaterialIndex);
    const auto materialId = static_cast<uint16_t>(used - out.usedMaterials.begin());
    if (used == out.usedMaterials.end()) out.usedMaterials.push_back(source.mMaterialIndex);
    if (out.usedMaterials.size() > 65536) {
      error = "node " + Quoted(node.mName) + ": more than 65536 materials";
      return false;
    }

    for (unsigned v = 0; v < source.mNumVertices; ++v) mesh.vertices.push_back(ToPoint3(source.mVertices[v]));
    if (mesh.normals) {
      for (unsigned v = 0; v < source.mNumVertices; ++v) {
        mesh.normals->AddVertex(true);
        mesh.normals->AddEntry({FixNormal(normalFix, ToPoint3(source.mNormals[v])), 0});
      }
    }
    if (totals.anyUvs) {
      const bool has = source.HasTextureCoords(0);
      for (unsigned v = 0; v < source.mNumVertices; ++v)
        mesh.tverts.push_back(has ? ToPoint3(source.mTextureCoords[0][v]) : Point3{});
    }
    if (totals.anyColors) {
      const bool has = source.HasVertexColors(0);
      for (unsigned v = 0; v < source.mNumVertices; ++v) {
        const aiColor4D c = has ? source.mColors[0][v] : aiColor4D(0, 0, 0, 0);
        mesh.colors->verts.push_back({c.r, c.g, c.b});
      }
    }

    for (unsigned f = 0; f < source.mNumFaces; ++f) {
      const aiFace& face = source.mFaces[f];
      if (face.mNumIndices != 3) {
        ++out.droppedPrimitives;
        continue;
      }
      MeshFace host{{0, 0, 0}, mesh.normals ? 0u : 1u, standin::FlagsWithMaterialId(materialId)};
      for (int i = 0; i < 3; ++i) {
        if (face.mIndices[i] >= source.mNumVertices) {
          error = "node " + Quoted(node.mName) + ", mesh " + Quoted(source.mName) + ", face " +
                  std::to_string(f) + ": vertex index " + std::to_string(face.mIndices[i]) +
                  " out of range (mesh has " + std::to_string(source.mNumVertices) + " vertices)";
          return false;
        }
        host.v[i] = base + face.mIndices[i];
      }
      mesh.faces.push_back(host);
    }
  }
  return true;
}

}  // namespace cvm::import
