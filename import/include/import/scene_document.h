// Reading and writing scene documents (JSON) into and from a SceneModel.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "standin/scene_model.h"
#include "standin/standin_scene.h"

namespace cvm::import {

// The largest scene document read. Loading holds the text and the model at once (the arrays of
// meshes are read while the text is parsed and never become a JSON tree; the rest of the
// document does, briefly), a small multiple of the text's size, so a bigger one is refused
// before it is parsed rather than left to exhaust memory.
constexpr size_t kMaxSceneDocumentBytes = size_t{512} << 20;

// Reads a scene document. Enforces the whole format: strict JSON (no duplicate keys, at most
// 64 levels of nesting, no U+0000), no unknown keys other than '_' comments, required keys,
// value types, whole numbers in range, float strings ("nan", "inf", "-inf", "-0"), matching
// counts, indices in range, map slots named once, no sub-material cycle (ValidateSceneModel),
// and no more than kMaxSceneDocumentBytes of text.
// On success fills out and returns true. On failure returns false, leaves out empty and sets
// error to one message that starts with the JSON path of the offending value, e.g.
// "nodes[3].object.faces[17][2]: vertex index 40 out of range (mesh has 12 vertices)".
// Never throws and never crashes, whatever the input.
bool LoadSceneDocument(std::string_view json, standin::SceneModel& out, std::string& error);

// LoadSceneDocument on the contents of the file at path. The error is the reader's (it starts
// with the JSON path; a file over kMaxSceneDocumentBytes is refused before it is read) or
// "cannot open the scene document" / "cannot read the scene document: <cause>"; it does not
// repeat the file's path, which the caller puts in front.
bool LoadSceneFile(const std::string& path, standin::SceneModel& out, std::string& error);

// Writes a document that LoadSceneDocument reads back into an equal model (SameSceneModel):
// every float is written so that it reads back to the same bits, NaN (any payload, written
// as canonical NaN), infinities and -0 as the strings "nan", "inf", "-inf", "-0". Model data
// that a document cannot hold is not written: the low 16 bits of a face's flags, and bytes of
// strings that are not valid UTF-8 (replaced by U+FFFD). The model should pass
// ValidateSceneModel; the writer itself accepts any model.
std::string WriteSceneDocument(const standin::SceneModel& model);

// Reads a scene document (LoadSceneDocument) and builds its scene; null and error set (with the
// JSON path) when the document is refused.
std::unique_ptr<standin::StandinScene> LoadStandinScene(std::string_view json, std::string& error);

}  // namespace cvm::import
