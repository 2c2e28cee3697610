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
// parser's callback does not give. The elements of taken arrays are built in element_ and
// handed to the taker instead.
class StrictBuilder final : public nlohmann::json_sax<json> {
 public:
  StrictBuilder(json& root, ArrayTaker* taker) : root_(root), taker_(taker) {}

  const std::string& Error() const { return error_; }

  bool null() override { return Scalar(json(nullptr)); }
  bool boolean(bool value) override { return Scalar(json(value)); }
  bool number_integer(number_integer_t value) override { return Scalar(json(value)); }
  bool number_unsigned(number_unsigned_t value) override { return Scalar(json(value)); }
  bool number_float(number_float_t value, const string_t& /*text*/) override { return Scalar(json(value)); }
  bool string(string_t& value) override {
    if (value.find('\0') != string_t::npos) return Fail(Path(), "string holds U+0000");
    return Scalar(json(std::move(value)));
  }
  bool binary(binary_t& /*value*/) override { return Fail(Path(), "binary value in a JSON document"); }

  bool start_object(std::size_t /*size*/) override { return Open(json::value_t::object); }
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
  bool start_array(std::size_t /*size*/) override { return Open(json::value_t::array); }
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
    json* value;  // null for a taken array
    bool isObject;
    bool hasKey = false;
    std::string key;
    size_t count = 0;  // of an array: the elements begun so far
    int taken = -1;    // of a taken array: the taker's id
  };

  bool Fail(const std::string& path, const std::string& what) {
    if (error_.empty()) error_ = (path.empty() ? std::string(kDocumentPath) : path) + ": " + what;
    return false;
  }

  // The steps to the value being parsed now: the open containers and, in the innermost, the
  // current key or the index the next element gets.
  std::vector<JsonStep> Steps() const {
    std::vector<JsonStep> steps;
    for (size_t i = 0; i < stack_.size(); ++i) {
      const Frame& frame = stack_[i];
      if (frame.isObject) {
        if (frame.hasKey) steps.push_back(JsonStep{frame.key, 0, false});
      } else {
        // An outer array has begun the open container it is parsing.
        steps.push_back(JsonStep{{}, i + 1 < stack_.size() ? frame.count - 1 : frame.count, true});
      }
    }
    return steps;
  }
  std::string Path() const {
    std::string path;
    for (const JsonStep& step : Steps()) {
      path = step.isIndex ? path + "[" + std::to_string(step.index) + "]" : AppendKeyToPath(path, step.key);
    }
    return path;
  }

  // The slot of a new value in the innermost open container (or the root, or element_).
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
    ++frame.count;
    if (frame.taken >= 0) {
      element_ = std::move(value);
      return &element_;
    }
    // Only the innermost open container grows, so pointers to the open ones stay valid.
    frame.value->push_back(std::move(value));
    return &frame.value->back();
  }

  bool Scalar(json&& value) {
    Add(std::move(value));
    HandOver();
    return true;
  }
  // Hands a complete element of the innermost taken array to the taker.
  void HandOver() {
    if (stack_.empty() || stack_.back().taken < 0) return;
    taker_->Element(stack_.back().taken, element_, stack_.back().count - 1);
  }

  bool Open(json::value_t type) {
    if (stack_.size() >= static_cast<size_t>(kMaxJsonDepth)) {
      return Fail(Path(), "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep");
    }
    const bool isObject = type == json::value_t::object;
    int taken = -1;
    if (!isObject && taker_ != nullptr && takenOpen_ == 0) taken = taker_->Take(Steps());
    json* value = nullptr;
    if (!stack_.empty() && stack_.back().taken >= 0 && element_.type() == type) {
      // An element of a taken array reuses the last one's container: no allocation for it.
      ++stack_.back().count;
      element_.clear();
      value = &element_;
    } else {
      value = Add(taken >= 0 ? json::binary({}, static_cast<std::uint64_t>(taken)) : json(type));
    }
    // Paths inside this container still name its key in the parent.
    if (!stack_.empty() && stack_.back().isObject) stack_.back().hasKey = true;
    stack_.push_back(Frame{taken >= 0 ? nullptr : value, isObject, false, std::string(), 0, taken});
    if (taken >= 0) ++takenOpen_;
    return true;
  }

  bool Close() {
    if (stack_.back().taken >= 0) --takenOpen_;
    stack_.pop_back();
    if (!stack_.empty() && stack_.back().isObject) stack_.back().hasKey = false;
    HandOver();
    return true;
  }

  json& root_;
  ArrayTaker* taker_;
  std::vector<Frame> stack_;
  json element_;       // the element of a taken array being parsed
  int takenOpen_ = 0;  // taken arrays open (at most one: none is asked for inside another)
  std::string error_;
};

}  // namespace

std::string AppendKeyToPath(const std::string& prefix, std::string_view key) {
  if (IsIdentifier(key)) return prefix.empty() ? std::string(key) : prefix + "." + std::string(key);
  return prefix + "[" + json(std::string(key)).dump(-1, ' ', false, json::error_handler_t::replace) + "]";
}

namespace {

// Runs sax_parse(builder) of the input at hand.
template <typename SaxParse>
bool Parse(SaxParse saxParse, nlohmann::json& out, std::string& error, ArrayTaker* taker) {
  out = json();
  StrictBuilder builder(out, taker);
  bool ok = false;
  try {
    ok = saxParse(builder);
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

}  // namespace

bool ParseStrictJson(std::string_view text, nlohmann::json& out, std::string& error, ArrayTaker* taker) {
  return Parse(
      [&](StrictBuilder& builder) {
        return json::sax_parse(text.begin(), text.end(), &builder, json::input_format_t::json, true, false);
      },
      out, error, taker);
}

bool ParseStrictJson(std::istream& text, nlohmann::json& out, std::string& error, ArrayTaker* taker) {
  return Parse(
      [&](StrictBuilder& builder) {
        return json::sax_parse(text, &builder, json::input_format_t::json, true, false);
      },
      out, error, taker);
}

}  // namespace cvm::import
