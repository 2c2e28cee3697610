// Model files through assimp, turned into the stand-in host's scene model.
//
// The source's y-up frame becomes the host's right-handed z-up frame, (x, y, z) -> (x, -z, y),
// as the modelling application turns a y-up model upright on import. Every node gets its world
// transform (the hierarchy is flattened, nodes in depth-first order, parents first):
//   - a node with meshes becomes one mesh object (all its meshes' triangles, in mesh order;
//     several materials become a multi-material with one sub-material per distinct material,
//     in order of first use, and face material ids pointing into it); normals are explicit
//     ("specified", one per vertex), corrected for non-uniform scale so that the exporter's
//     transform of them gives the true surface normal; UV set 0; colour set 0;
//   - a node named like one of the file's lights becomes a light, like a camera a camera;
//   - any other node without meshes becomes a dummy helper, except the root node;
//   - node metadata becomes the node's user text, "key = value" lines.
// Points and lines are dropped with a warning, as are bones, animations and morph targets.
#pragma once

#include <string>
#include <string_view>

#include "import/import_scene.h"
#include "standin/scene_model.h"

struct aiScene;
namespace Assimp {
class Importer;
}

namespace cvm::import {

// The assimp post-processing steps the import asks for: triangulation (points and lines stay
// as they are and are dropped), smooth normals where the source has none, and nothing else:
// the exporter's consolidation already merges equal vertices.
unsigned AssimpImportSteps();

// Whether every mesh of a scene as read holds what its counts promise: vertex positions and
// faces, every face with corners and every corner's vertex index in range. The post-processing
// steps trust this and crash where it fails. False with error naming the mesh and the face.
bool CheckMeshFaces(const aiScene& scene, std::string& error);

// Reads path with importer as ImportModelFile reads it: as the file stands, then checked
// (CheckMeshFaces), then post-processed. The scene (owned by importer), or null with error
// naming assimp's reader, what went wrong and what it likely means, without the path.
const aiScene* ReadModelWithAssimp(Assimp::Importer& importer, const std::string& path, std::string& error);

// Reads the model file at path into out. Fails (false, out empty, error set without the path)
// when assimp cannot read the file or gives data out of range. Whatever the file holds that no
// node of its scene reaches (child slots left empty, meshes no node uses, lights no node
// places) is dropped with a warning. Thread-safe: every call has its
// own assimp importer and no global logger is used. With leftovers, the importer and its
// scene are handed over there instead of being freed here (see ImportScene). With filesRead,
// every file assimp opened for reading is listed there on success (see FilesRead).
bool ImportModelFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                     std::string& error, ImportLeftovers* leftovers = nullptr,
                     FilesRead* filesRead = nullptr);

// ImportModelFile on a model file's bytes: assimp picks its reader from the contents alone and
// opens no file; a model that refers to files beside it fails with an error naming them.
bool ImportModelBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                      std::string& error, ImportLeftovers* leftovers = nullptr);

}  // namespace cvm::import
