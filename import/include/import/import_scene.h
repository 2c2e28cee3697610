// Reading a scene for export from any file the converter accepts: a scene document (JSON) or a
// model file that assimp reads (glTF/GLB, FBX, OBJ, 3DS, ASE, DAE, PLY, STL, ...). Either way
// the result is the stand-in host's SceneModel, which the exporter then serves from memory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "standin/scene_model.h"

namespace cvm::import {

// What the importer had to leave out or change, one readable line each, naming the node,
// mesh or material concerned (e.g. "node 'Wheel': 12 points and lines dropped").
using ImportWarnings = std::vector<std::string>;

// True when path names a scene document: its extension is ".json" (any case). Everything
// else goes to assimp, which picks its reader from the extension and the contents.
bool IsSceneDocumentPath(const std::string& path);

// What reading a model file leaves behind: assimp's own copy of the model, as large as the
// scene and about as slow to free as it was to convert (a million small arrays for a million
// faces). Freed when the last owner lets go, on whichever thread that is.
using ImportLeftovers = std::shared_ptr<void>;

// The files an import read: the scene document or model file itself, then every file the model
// file led to (a glTF's buffers, an OBJ's material library), each once, named as opened.
using FilesRead = std::vector<std::string>;

// Reads the scene at path into out (which is overwritten). Scene documents are read strictly
// (LoadSceneFile) and give no warnings; model files go through ImportModelFile. On failure
// returns false, leaves out empty and sets error to a message that does not repeat the path
// (the caller puts it in front). The model passes ValidateSceneModel on success. Safe to call
// from several threads at once. With leftovers, a model file's assimp copy is handed over
// there instead of being freed before the call returns (a scene document leaves none). With
// filesRead, the files read are listed there on success.
bool ImportScene(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                 std::string& error, ImportLeftovers* leftovers = nullptr, FilesRead* filesRead = nullptr);

// True when bytes hold a scene document: a JSON object (after white space and a UTF-8 byte
// order mark) without the top-level "asset" key that every glTF file has.
bool IsSceneDocument(std::string_view bytes);

// ImportScene on a whole file in memory (the converter's standard input): a scene document
// when IsSceneDocument, else any format assimp recognises from its contents (GLB, FBX, PLY,
// ...), without a file name and without opening any file. A model that needs files beside it
// (a glTF's external buffers, an OBJ's material library) fails, naming them.
bool ImportSceneBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                      std::string& error, ImportLeftovers* leftovers = nullptr);

}  // namespace cvm::import
