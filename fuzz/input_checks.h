// The properties the fuzz targets hold every input to, as plain functions so that the
// libFuzzer targets and the ordinary test build (tests/harden) replay the same checks on the
// same files. Each returns an empty string when the input behaved, or a description of what
// went wrong; a crash, a sanitizer report or a hang is of course a failure too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cvm::fuzz {

// Scene document path: the bytes are a scene document. Loading either fails with a message
// that names where, or gives a model that the document writer turns into a document that loads
// back into the same model. An accepted scene is exported into memory with the real driver
// (options picked from a hash of the input, so that corpus files stay plain JSON): the export
// either fails with a message, finds nothing to export, or produces bytes that the reader
// decodes in full and whose header carries the scale and option-driven blocks it should. A
// second export of the same scene gives the same bytes.
std::string CheckSceneDocument(const uint8_t* data, size_t size);

// Reader path: any bytes. ReadCvm either refuses them with a message and an offset within the
// input, or decodes a file that is consistent (every index in range, counts matching) and
// that encodes back to exactly the input bytes.
std::string CheckCvmDecoding(const uint8_t* data, size_t size);

// CheckCvmDecoding, and cvmdump's summary and JSON of an accepted file are made without fault.
std::string CheckCvmBytes(const uint8_t* data, size_t size);

}  // namespace cvm::fuzz
