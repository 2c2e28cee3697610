// Gathering: the host's triangle mesh turned into one record per face corner, in world
// orientation, before anything is shared between corners.
#pragma once

#include <cstdint>
#include <string>

#include "export/progress_text.h"
#include "host/host_scene.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Appends faceCount faces of mesh to gathered, whose pivot, normalTransform, hasUVs and
// hasColours the caller has set and whose lists are empty. Per corner: the position
// (worldTransform x vertex - pivot), the texture coordinate (u, v, w) when hasUVs, the
// colour when hasColours, and with exportNormals the normalised normalTransform x
// SelectCornerNormal (the caller has called buildNormals). Sets "Exporting %s - Gathering
// %d%%\n" before every face. Needs faceCount <= the mesh's face count and 3 x faceCount
// within u32. Refuses (returns false with error naming nodeName, the face and the index) a
// host array that is missing or an index out of its array's range; gathered is then partial.
bool GatherMesh(const HostMesh& mesh, uint32_t faceCount, const Matrix3& worldTransform, bool exportNormals,
                const ProgressWindow& progress, const char* nodeName, GatheredMesh& gathered, std::string& error);

}  // namespace cvm
