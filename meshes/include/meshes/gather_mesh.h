// Gathering: the host's triangle mesh turned into its corners, in world orientation, each
// channel's values merged as they are met.
#pragma once

#include <cstdint>
#include <string>

#include "export_context/progress_text.h"
#include "export_context/task_runner.h"
#include "host/host_scene.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// Gathers faceCount faces of mesh into gathered (emptied first, capacity kept), as seen from a
// node with worldTransform and pivot: sets its pivot, its normalTransform (worldTransform with
// row 3 cleared), hasUVs (texture vertices), hasColours (map channel 0),
// and per corner: the position (worldTransform x vertex - pivot), the texture coordinate
// (u, v, w) when hasUVs, else (0, 0, 0), the colour (colours, read from the mesh when the
// record is written) when hasColours and the mesh has at least as many colour vertices as
// corners, and with exportNormals the normalised normalTransform x SelectCornerNormal (the
// caller has called buildNormals). Positions, texture coordinates and normals are computed once
// per host entry they come from (GatheredChannel). Sets "Exporting %s - Gathering %d%%\n"
// before every face. Needs faceCount <= the mesh's face count and 3 x faceCount within u32.
// Refuses (returns false with error naming nodeName, the face and the index) a host array that
// is missing (the face normals only once a corner takes one: they are asked for then) or an
// index out of its array's range; gathered is then partial. With a runner and
// at least kGatherBesideFaces faces, the texture coordinates are gathered beside the positions
// and normals; the channels, the texts and any refusal are those of one walk over the corners,
// with or without it.
bool GatherMesh(const HostMesh& mesh, uint32_t faceCount, const Matrix3& worldTransform, const Point3& pivot,
                bool exportNormals, const ProgressWindow& progress, const char* nodeName, TaskRunner* runner,
                GatheredMesh& gathered, std::string& error);

// Below this, handing the texture coordinates out costs more than it saves.
constexpr uint32_t kGatherBesideFaces = 1u << 14;

}  // namespace cvm
