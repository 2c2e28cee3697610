// The meshes of one assimp node as one host triangle mesh.
#pragma once

#include <assimp/scene.h>

#include <cstdint>
#include <string>
#include <vector>

#include "import/import_scene.h"
#include "standin/scene_model.h"

namespace cvm::import {

// A node's meshes merged: every triangle of every mesh in mesh order, vertices in object space
// (the node's transform stays on the node). usedMaterials lists the distinct source materials
// in order of first use; each face's material id is its mesh material's position in it.
// Texture coordinates (set 0) and colours (set 0, alpha dropped) are present when any of the
// meshes has them; the vertices of the others get (0, 0, 0). Normals are
// explicit and specified when every mesh has them, corrected by normalFix (below); otherwise
// the host builds them from smoothing group 1. Faces that are not triangles are counted in
// droppedPrimitives.
struct NodeMesh {
  standin::MeshModel mesh;
  std::vector<uint32_t> usedMaterials;
  uint64_t droppedPrimitives = 0;
};

// The matrix that makes the host's transform of a normal by the node's linear part L give
// the true normal: (L^T L)^-1, or none (identity) when L keeps angles (a rotation with uniform
// scale, mirrored or not) or cannot be inverted. Row-major 3 x 3.
struct NormalFix {
  bool apply = false;
  double m[3][3] = {};
};
NormalFix NormalFixFor(const aiMatrix4x4& world);

// A source normal n as the host is given it: fix applied and the result made unit length, or n
// as it is when fix does not apply.
Point3 FixNormal(const NormalFix& fix, const Point3& n);

// Fills out from the node's meshes. Refuses (false, error naming the node and mesh) a mesh or
// material index out of range and a face index beyond its mesh's vertices.
bool BuildNodeMesh(const aiScene& scene, const aiNode& node, const NormalFix& normalFix, NodeMesh& out,
                   std::string& error);

}  // namespace cvm::import
