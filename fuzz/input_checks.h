// The properties the fuzz targets hold every input to, as plain functions so that the
// libFuzzer targets and the ordinary test build (tests/harden) replay the same checks on the
// same files. Each returns an empty string when the input behaved, or a description of what
// went wrong; a crash, a sanitizer report or a hang is of course a failure too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cvm::standin {
struct SceneModel;
}

namespace cvm::fuzz {

// Scene document path: the bytes are a scene document. Loading either fails with a message
// that names where, or gives a model that the document writer turns into a document that loads
// back into the same model. An accepted scene is exported into memory with the real driver
// (options picked from a hash of the input, so that corpus files stay plain JSON): the export
// either fails with a message, finds nothing to export, or produces bytes that the reader
// decodes in full and whose header carries the scale and option-driven blocks it should. A
// second export of the same scene gives the same bytes.
std::string CheckSceneDocument(const uint8_t* data, size_t size);

// What CheckSceneDocument holds an accepted document's model to: written as a document, it loads
// back into the same model, and its exports (options picked from hash) behave as said there.
std::string CheckSceneModel(const standin::SceneModel& model, uint32_t hash);

// Model-file path: the bytes are a model file of a kind assimp tells from its contents (GLB,
// OBJ, PLY, STL among them). A GLB goes to the glTF reader first: what it takes, assimp must read
// alike; what it finds damaged it refuses with a message. The rest goes to the staged import,
// which either refuses them with a message or gives a model that CheckSceneModel holds to what
// it says.
std::string CheckModelFile(const uint8_t* data, size_t size);

// The hash of an input from which the checks pick their export options.
uint32_t InputHash(const uint8_t* data, size_t size);

// Reader path: any bytes. ReadCvm either refuses them with a message and an offset within the
// input, or decodes a file that is consistent (every index in range, counts matching) and
// that encodes back to exactly the input bytes.
std::string CheckCvmDecoding(const uint8_t* data, size_t size);

// CheckCvmDecoding, and cvmdump's summary and JSON of an accepted file are made without fault.
std::string CheckCvmBytes(const uint8_t* data, size_t size);

}  // namespace cvm::fuzz
