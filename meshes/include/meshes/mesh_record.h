// One mesh record of the file, after its pivot.
#pragma once

#include "format/binary_writer.h"
#include "export_context/progress_text.h"
#include "materials/material_list.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Writes fields 4 to 20 of a mesh record (the caller wrote the pivot when the node started):
// corner count, the position channel (values as x, z, y), the texture-coordinate flag and
// channel (u, v), the normal flag (exportNormals) and channel (channels.encodedNormals), the
// colours, the face count and the face groups (faces as corner serials 3f+2, 3f+1, 3f).
// Colours are written, one per corner, only when the mesh has them and its colour-vertex
// count, taken unsigned, is at least the corner count; otherwise the colour count is 0. Sets the
// "Exporting %s - Vertices/UVs/Normals/Colors/Faces...\n" texts before their blocks. Needs
// channels made from gathered by ConsolidateChannels (corner indices of every written channel
// hold one entry per corner, the normals are encoded); reads no host mesh, only the node's
// material for the face groups.
void WriteMeshRecord(const GatheredMesh& gathered, const MeshChannels& channels, bool exportNormals,
                     const MaterialList& materials, const ProgressWindow& progress, const char* nodeName,
                     OutputStream& stream);

}  // namespace cvm
