// The whole of one mesh node's record: the sequence every mesh record is made by.
#pragma once

#include <string>

#include "export_context/export_options.h"
#include "export_context/progress_text.h"
#include "export_context/task_runner.h"
#include "format/binary_writer.h"
#include "host/host_scene.h"
#include "materials/material_list.h"
#include "meshes/consolidate_channels.h"
#include "meshes/gathered_mesh.h"

namespace cvm {

// What a mesh record needs between its steps, kept from one node to the next so that a
// section of many meshes does not allocate afresh for each.
struct MeshWork {
  GatheredMesh gathered;
  MeshChannels channels;
  ConsolidationScratch scratch;
};

// The largest face count whose corner serials (3 per face) fit a u32.
constexpr uint32_t kMaxMeshFaces = 0xFFFFFFFFu / 3;

// Writes node's mesh record: converts the node to a triangle object, sets "Exporting %s\n",
// takes the pivot (row 3 of the pivot transform) and the world transform, builds the mesh's
// normals (exportNormals), sets "Exporting %s - Consolidating...\n", gathers (the texture
// coordinates beside the rest through runner, when given, for a large mesh), consolidates
// (normals, positions, texture coordinates) and writes the record, whose face groups look their materials up
// in materials; then releases the temporary the conversion made, if any. A node whose conversion gives no
// mesh still gets a complete empty record. Returns false, with error naming the node, when the mesh has more
// faces than a record can count or its arrays are missing or hold an index out of range; the record is then
// incomplete and the output must be discarded.
bool WriteMeshNode(HostNode& node, const ExportOptions& options, const MaterialList& materials,
                   const ProgressWindow& progress, TaskRunner* runner, MeshWork& work, OutputStream& stream,
                   std::string& error);

}  // namespace cvm
