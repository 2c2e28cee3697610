// Strict JSON parsing for the scene document (internal to the scene document reader; needs
// nlohmann-json). nlohmann's own parser keeps one of two equal keys without a word and
// recurses as deep as the input nests; this one refuses both.
#pragma once

#include <cstddef>
#include <istream>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace cvm::import {

constexpr int kMaxJsonDepth = 64;

// One step of the path to a value: a key of an object or an index of an array.
struct JsonStep {
  std::string_view key;  // when isIndex is false
  size_t index = 0;
  bool isIndex = false;
};

// Takes chosen arrays element by element while the text is parsed, so that the bulk of a big
// document never becomes nodes of the tree: each element is a tree of its own only while it
// is handed over, and one element's tree is reused for the next.
class ArrayTaker {
 public:
  virtual ~ArrayTaker() = default;
  // Asked when an array starts outside the arrays already taken, with the steps from the
  // document down to it. An id >= 0 takes the array: the tree holds json::binary({}, id) in
  // its place (no JSON text gives a binary value) and Element gets its elements. -1 leaves
  // the array in the tree.
  virtual int Take(const std::vector<JsonStep>& path) = 0;
  // An element of the array taken as id, complete, with its index. The strict checks have
  // passed for it; the taker keeps whatever it needs, as the tree is reused afterwards.
  virtual void Element(int id, const nlohmann::json& element, size_t index) = 0;
};

// Parses text (UTF-8 JSON, one value, nothing after it) into out. Refuses, besides malformed
// JSON: a key given twice in one object (keys that begin with '_' are comments and may
// repeat; the last one is kept), U+0000 in a string or key, and arrays and objects nested
// more than kMaxJsonDepth deep; inside taken arrays as everywhere else. On failure returns
// false and error = "<path>: <what>", path being where the parser stood, e.g.
// "nodes[2].object: duplicate key \"kind\"". taker, when given, takes the arrays it chooses.
bool ParseStrictJson(std::string_view text, nlohmann::json& out, std::string& error,
                     ArrayTaker* taker = nullptr);
// The same for the text that the stream gives up to its end, read as the parser goes: the text
// is never held whole.
bool ParseStrictJson(std::istream& text, nlohmann::json& out, std::string& error,
                     ArrayTaker* taker = nullptr);

// A path segment for an object key: ".key" for plain identifiers, "[\"...\"]" otherwise.
// At the start of a path (prefix empty) the dot is left out.
std::string AppendKeyToPath(const std::string& prefix, std::string_view key);

// The path of the document itself in messages.
inline constexpr const char* kDocumentPath = "(document)";

}  // namespace cvm::import
