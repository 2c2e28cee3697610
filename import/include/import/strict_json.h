// Strict JSON parsing for the scene document (internal to the scene document reader; needs
// nlohmann-json). nlohmann's own parser keeps one of two equal keys without a word and
// recurses as deep as the input nests; this one refuses both.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace cvm::import {

constexpr int kMaxJsonDepth = 64;

// Parses text (UTF-8 JSON, one value, nothing after it) into out. Refuses, besides malformed
// JSON: a key given twice in one object (keys that begin with '_' are comments and may
// repeat; the last one is kept), U+0000 in a string or key, and arrays and objects nested
// more than kMaxJsonDepth deep. On failure returns false and error = "<path>: <what>", path
// being where the parser stood, e.g. "nodes[2].object: duplicate key \"kind\"".
bool ParseStrictJson(std::string_view text, nlohmann::json& out, std::string& error);

// A path segment for an object key: ".key" for plain identifiers, "[\"...\"]" otherwise.
// At the start of a path (prefix empty) the dot is left out.
std::string AppendKeyToPath(const std::string& prefix, std::string_view key);

// The path of the document itself in messages.
inline constexpr const char* kDocumentPath = "(document)";

}  // namespace cvm::import
