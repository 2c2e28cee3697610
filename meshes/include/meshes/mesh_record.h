// One mesh record of the file.
#pragma once

#include "export_context/progress_text.h"
#include "format/binary_writer.h"
#include "host/host_scene.h"
#include "materials/material_list.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Writes the mesh record of gathered through the format's layout (format/record_layout.h),
// without copying its lists: the pivot, the corner count, the position channel (values as
// x, z, y), the texture-coordinate flag and channel (u, v), the normal flag (exportNormals)
// and channel (each normal encoded by EncodeNormal as it is written), the colours, the face
// count and the face groups of nodeMaterial (faces as corner serials 3f+2, 3f+1, 3f). Colours
// are written, one per corner, only when the mesh has them and its colour-vertex count, taken
// unsigned, is at least the corner count; otherwise the colour count is 0. Sets the
// "Exporting %s - Vertices/UVs/Normals/Colors/Faces...\n" texts before their blocks. Needs
// channels made from gathered by ConsolidateChannels; the corner indices, the colours and the
// faces' material ids are read from the host's mesh, which must still live, and nodeMaterial
// from the host for the face groups.
void WriteMeshRecord(const GatheredMesh& gathered, const MeshChannels& channels, HostMaterial* nodeMaterial,
                     bool exportNormals, const MaterialList& materials, const ProgressWindow& progress,
                     const char* nodeName, OutputStream& stream);

}  // namespace cvm
