// glTF 2.0 files (.gltf and .glb) read straight into the stand-in host's scene model, without
// assimp: the file is mapped, its JSON text parsed, and every accessor read once where it lies.
// The result is exactly what ImportModelFile gives for the same file (assimp 5.2's glTF 2
// reader, triangulated, with smooth normals where a mesh has none, then converted); a file
// holding anything that this reader does not take over exactly is left to ImportModelFile.
//
// Taken over: triangle lists with positions and normals (floats), texture coordinates set 0
// and colour set 0 (floats), indices of any unsigned size; nodes with matrices or TRS and
// extras; materials with their base colour, emissive colour, roughness, two-sidedness and their
// base colour, emissive and normal textures (files, or images in the file's buffers); cameras;
// KHR_lights_punctual lights. KHR_materials_unlit and KHR_texture_transform change nothing here.
// Left to assimp: any other extension (Draco, meshopt, ...), sparse or view-less accessors,
// other attribute types, missing normals, other primitive modes, skins, morph targets,
// animations, data URIs, glTF 1.0, and every kind of damage (references out of range, views
// outside their buffer, indices out of range, cut-short GLB chunks, node cycles).
#pragma once

#include <string>
#include <string_view>

#include "import/import_scene.h"
#include "standin/scene_model.h"

namespace cvm::import {

// True when path's extension is .gltf or .glb (any case).
bool IsGltfPath(const std::string& path);

// Whether ImportScene and ImportSceneBytes try this reader first: unless the environment
// variable CVM_GLTF_VIA_ASSIMP is set (to anything but "" or "0"), which sends every glTF file
// through assimp, to compare the two.
bool GltfReaderEnabled();

// Reads the glTF file at path into out (overwritten). True on success, with the warnings
// ImportModelFile would give appended and filesRead (when given) listing the file and its
// external buffers as ImportModelFile lists them. False when the file is left to
// ImportModelFile: out is empty, warnings and filesRead untouched, and notMine says why,
// naming the object and, for a GLB, the byte offset ("accessors[3]: sparse accessor").
bool ImportGltfFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                    std::string& notMine, FilesRead* filesRead = nullptr);

// The same for a GLB's bytes in memory: a GLB whose buffers all lie in its binary chunk; any
// other bytes are left to ImportModelBytes.
bool ImportGltfBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                     std::string& notMine);

}  // namespace cvm::import
