// The decoded content of a .cvm file as JSON, every field, for cvmdump --json and for tools and
// tests that compare files. Floats are written so that reading them back as float gives the
// same bits (except NaN payloads): finite values as numbers with the shortest digits that
// round-trip, NaN as "nan", infinities as "inf"/"-inf" and negative zero as "-0".
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "reader/cvm_reader.h"

namespace cvm::reader {

nlohmann::ordered_json FloatToJson(float value);

// The inverse of FloatToJson; refuses (returns false) anything that FloatToJson cannot produce.
bool FloatFromJson(const nlohmann::ordered_json& value, float& out);

// Names and texts are 8-bit host code-page bytes, not necessarily UTF-8: each byte is written as
// the code point of the same value (Latin-1), so every text survives and maps back byte for byte.
nlohmann::ordered_json TextToJson(const std::string& bytes);
// The inverse of TextToJson: false for a text with a code point above 255.
bool TextFromJson(const std::string& utf8, std::string& bytes);

// Object with "header", "textures", "materials", "meshes", "lights", "helpers", "splines".
// Vectors are arrays in file order ([x, y, z] as stored, i.e. host x, z, y); absent optional
// blocks and user texts are null; references keep their raw values (4294967295, 65535).
// Every field follows from the file's layout (format/record_layout.h).
nlohmann::ordered_json CvmToJson(const CvmFile& file);

// Writes the text of CvmToJson(file).dump(2), without the trailing newline, to out while the
// records are walked: no tree is made, so the memory it takes does not grow with the file. The
// caller checks the stream.
void WriteCvmJson(const CvmFile& file, std::ostream& out);

// The inverse of CvmToJson: fills file from a document of that form (the counts of the file
// follow from its lists, except the header's, which the document states; a key left out leaves
// its field at the record's default). False, with error
// naming the path of the first value of the wrong kind, e.g. "meshes[0].positions: expected a
// list". The file is not checked: encoding it gives bytes the reader may refuse.
bool CvmFromJson(const nlohmann::ordered_json& document, CvmFile& file, std::string& error);

}  // namespace cvm::reader
