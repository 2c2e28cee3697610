#include "import/strict_json.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace cvm::import {
namespace {

using nlohmann::json;

bool IsIdentifier(std::string_view key) {
  if (key.empty()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

// Builds the tree from SAX events while it knows the path of every value, which the DOM
// parser's callback does not give.
class StrictBuilder final : public nlohmann::json_sax<json> {
 public:
  explicit StrictBuilder(json& root) : root_(root) {}

  const std::string& Error() const { return error_; }

  bool null() override { return Add(json(nullptr)) != nullptr; }
  bool boolean(bool value) override { return Add(json(value)) != nullptr; }
  bool number_integer(number_integer_t value) override { return Add(json(value)) != nullptr; }
  bool number_unsigned(number_unsigned_t value) override { return Add(json(value)) != nullptr; }
  bool number_float(number_float_t value, const string_t& /*text*/) override {
    return Add(json(value)) != nullptr;
  }
  bool string(string_t& value) override {
    if (value.find('\0') != string_t::npos) return Fail(Path(), "string holds U+0000");
    return Add(json(std::move(value))) != nullptr;
  }
  bool binary(binary_t& /*value*/) override { return Fail(Path(), "binary value in a JSON document"); }

  bool start_object(std::size_t /*size*/) override { return Open(json::object(), true); }
  bool key(string_t& key) override {
    Frame& frame = stack_.back();
    if (key.find('\0') != string_t::npos) return Fail(Path(), "key holds U+0000");
    const bool comment = key[0] == '_';
    if (!comment && frame.value->contains(key)) {
      return Fail(AppendKeyToPath(Path(), key), "duplicate key \"" + key + "\"");
    }
    frame.key = std::move(key);
    frame.hasKey = true;
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t /*size*/) override { return Open(json::array(), false); }
  bool end_array() override { return Close(); }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& ex) override {
    std::string what = ex.what();
    // Drop nlohmann's "[json.exception.parse_error.101] " tag; the rest names line and column.
    const size_t tagEnd = what.find("] ");
    if (what.rfind("[json.exception", 0) == 0 && tagEnd != std::string::npos) what.erase(0, tagEnd + 2);
    return Fail(Path(), what);
  }

 private:
  struct Frame {
    json* value;
    bool isObject;
    bool hasKey = false;
    std::string key;
  };

  bool Fail(const std::string& path, const std::string& what) {
    if (error_.empty()) error_ = (path.empty() ? std::string(kDocumentPath) : path) + ": " + what;
    return false;
  }

  // The path of the value being parsed now: the open containers and, in the innermost, the
  // current key or the index the next element gets.
  std::string Path() const {
    std::string path;
    for (size_t i = 0; i < stack_.size(); ++i) {
      const Frame& frame = stack_[i];
      if (frame.isObject) {
        if (frame.hasKey) path = AppendKeyToPath(path, frame.key);
      } else {
        // An outer array already holds the open container it is parsing.
        const size_t size = frame.value->size();
        const size_t index = (i + 1 < stack_.size()) ? size - 1 : size;
        path += "[" + std::to_string(index) + "]";
      }
    }
    return path;
  }

  json* Add(json&& value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Frame& frame = stack_.back();
    if (frame.isObject) {
      json& slot = (*frame.value)[frame.key];
      slot = std::move(value);
      frame.hasKey = false;
      return &slot;
    }
    // Only the innermost open container grows, so pointers to the open ones stay valid.
    frame.value->push_back(std::move(value));
    return &frame.value->back();
  }

  bool Open(json&& empty, bool isObject) {
    if (stack_.size() >= static_cast<size_t>(kMaxJsonDepth)) {
      return Fail(Path(), "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep");
    }
    json* value = Add(std::move(empty));
    // Paths inside this container still name its key in the parent.
    if (!stack_.empty() && stack_.back().isObject) stack_.back().hasKey = true;
    stack_.push_back(Frame{value, isObject, false, std::string()});
    return true;
  }

  bool Close() {
    stack_.pop_back();
    if (!stack_.empty() && stack_.back().isObject) stack_.back().hasKey = false;
    return true;
  }

  json& root_;
  std::vector<Frame> stack_;
  std::string error_;
};

}  // namespace

std::string AppendKeyToPath(const std::string& prefix, std::string_view key) {
  if (IsIdentifier(key)) return prefix.empty() ? std::string(key) : prefix + "." + std::string(key);
  return prefix + "[" + json(std::string(key)).dump(-1, ' ', false, json::error_handler_t::replace) + "]";
}

bool ParseStrictJson(std::string_view text, nlohmann::json& out, std::string& error) {
  out = json();
  StrictBuilder builder(out);
  bool ok = false;
  try {
    ok = json::sax_parse(text.begin(), text.end(), &builder, json::input_format_t::json, true, false);
  } catch (const std::exception& ex) {
    // sax_parse reports through parse_error; this is only a guard (e.g. out of memory).
    error = std::string(kDocumentPath) + ": " + ex.what();
    out = json();
    return false;
  }
  if (!ok) {
    error = builder.Error().empty() ? std::string(kDocumentPath) + ": invalid JSON" : builder.Error();
    out = json();
    return false;
  }
  return true;
}

}  // namespace cvm::import
