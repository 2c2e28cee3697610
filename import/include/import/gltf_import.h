// glTF 2.0 files (.gltf and .glb) read straight into the stand-in host's scene model, without
// assimp: the file is mapped, its JSON text parsed, and every accessor read once where it lies.
// The result is exactly what ImportModelFile gives for the same file (assimp 5.2's glTF 2
// reader, triangulated, with smooth normals where a mesh has none, then converted); a file
// holding anything that this reader does not take over exactly is left to ImportModelFile.
//
// Taken over: triangle lists with positions and normals (floats), points and lines (counted
// and dropped with the warning ImportModelFile gives), texture coordinates set 0
// and colour set 0 (floats), indices of any unsigned size; nodes with matrices or TRS and
// extras; materials with their base colour, emissive colour, roughness, two-sidedness and their
// base colour, emissive and normal textures (files, or images in the file's buffers); cameras;
// KHR_lights_punctual lights. KHR_materials_unlit and KHR_texture_transform change nothing here.
// Left to assimp: any other extension (Draco, meshopt, ...), sparse or view-less accessors,
// other attribute types, triangles without normals, strips and fans, skins, morph targets,
// animations, data URIs, glTF 1.0, references out of range, indices out of range and node
// cycles (which assimp reports or mends). A file whose chunks, views or accessors reach past
// the bytes they lie in is refused as damaged, without asking assimp.
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

enum class GltfImport {
  kImported,  // out holds the scene
  kNotMine,   // left to ImportModelFile / ImportModelBytes: message says why
  kDamaged,   // the file contradicts itself; message says what and where, and no reader should try it
};

// Reads the glTF file at path into out (overwritten). kImported: the warnings ImportModelFile
// would give are appended and filesRead (when given) lists the file and its external buffers as
// ImportModelFile lists them. Otherwise out is empty, warnings and filesRead are untouched, and
// message names the object and, for a GLB, the byte offset: why the file is left to assimp
// ("accessors[3]: sparse accessor"), or where it is damaged ("accessors[0]: 1000 elements 12
// bytes apart from byte 0 run past the end of its view of 60 bytes"; assimp's reader reads
// such files out of bounds).
GltfImport ImportGltfFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                          std::string& message, FilesRead* filesRead = nullptr);

// The same for a GLB's bytes in memory: a GLB whose buffers all lie in its binary chunk; any
// other bytes are left to ImportModelBytes.
GltfImport ImportGltfBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                           std::string& message);

}  // namespace cvm::import
