// A read glTF document (gltf_document.h) turned into the stand-in host's scene model, exactly
// as ImportModelFile turns assimp's reading of the same file into it (assimp_import.h): the
// same nodes in the same order, transforms, meshes, materials, lights, cameras, user text and
// warnings. Internal to the glTF importer (gltf_import.h).
#pragma once

#include <string>

#include "import/gltf_document.h"
#include "import/import_scene.h"
#include "standin/scene_model.h"

namespace cvm::import {

// Fills out (overwritten) from document and appends the import's warnings to warnings. False
// with reason, out empty and warnings untouched, when the document holds what the import does
// not take over exactly after all: a vertex index out of range, more vertices or materials than
// a host mesh holds, or a model that fails ValidateSceneModel.
bool BuildGltfScene(const GltfDocument& document, standin::SceneModel& out, ImportWarnings& warnings,
                    std::string& reason);

}  // namespace cvm::import
