// Mesh::buildNormals of the stand-in host: face normals and render normals of a mesh.
#pragma once

#include <vector>

#include "standin/scene_model.h"

namespace cvm::standin {

// The normals a mesh serves after buildNormals. faceNormals and every RVertex::ern point
// either into this record's storage or into the MeshModel's explicit normals, so the record
// must not outlive the model (moving the record keeps the pointers valid; copying does not).
struct MeshNormals {
  const Point3* faceNormals = nullptr;  // one per face; null: not made yet (FaceNormalsOf)
  std::vector<RVertex> vertices;        // one per vertex
  std::vector<Point3> faceNormalStorage;
  std::vector<RNormalEntry> entryStorage;  // the entries of all vertices, vertex after vertex
};

// The faces' own normals of mesh, computed as BuildMeshNormals computes them.
void ComputeFaceNormals(const MeshModel& mesh, std::vector<Point3>& faceNormals);

// The face normals out serves for mesh, made in out's storage on the first call when the
// explicit normals leave them out (BuildMeshNormals does not make them then).
const Point3* FaceNormalsOf(const MeshModel& mesh, MeshNormals& out);

// Fills out for mesh (indices in range, see ValidateSceneModel), in time linear in the size
// of the mesh. Explicit normals are served as given: face normals unchanged (left to
// FaceNormalsOf when they are left out), a vertex's
// normal count = its entries, 0x4000 when specified, primary normal = entry 0. Otherwise, in
// IEEE single precision, one rounding per operation:
//   face normal of (a, b, c) = Normalize(CrossProd(v[b] - v[a], v[c] - v[b]));
//   for each vertex, over the faces in ascending order and each corner on that vertex whose
//   face has a non-zero smoothing mask s: add the face normal to the first entry whose mask
//   shares a bit with s and OR s into that mask, else append the entry (face normal, s);
//   then every entry is normalized. Normal count = entries (at most 32, as each new entry
//   brings a bit no earlier entry has), primary normal = entry 0, 0x4000 never set.
// A vertex without entries has count 0, primary normal (0, 0, 0) and ern null.
void BuildMeshNormals(const MeshModel& mesh, MeshNormals& out);

}  // namespace cvm::standin
