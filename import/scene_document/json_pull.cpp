#include "json_pull.h"

#include <boost/json/basic_parser_impl.hpp>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace cvm::import {
namespace {

namespace json = boost::json;

// The text handed to the parser at a time: its tokens are what the pull holds.
constexpr size_t kPieceBytes = size_t{64} << 10;

// Boost.JSON's events, each written as a token at the end of the pull's list. Keys, strings and
// numbers may come in parts when they cross the end of a piece.
class Handler {
 public:
  static constexpr std::size_t max_object_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_array_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_key_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_string_size = std::numeric_limits<std::size_t>::max();

  Handler(std::vector<JsonTokenValue>& tokens, size_t& count) : tokens_(tokens), count_(count) {}

  bool on_document_begin(json::error_code&) { return true; }
  bool on_document_end(json::error_code&) { return true; }
  bool on_object_begin(json::error_code&) { return Push(JsonToken::kObjectBegin); }
  bool on_object_end(std::size_t, json::error_code&) { return Push(JsonToken::kObjectEnd); }
  bool on_array_begin(json::error_code&) { return Push(JsonToken::kArrayBegin); }
  bool on_array_end(std::size_t, json::error_code&) { return Push(JsonToken::kArrayEnd); }
  bool on_key_part(json::string_view part, std::size_t, json::error_code&) {
    parts_.append(part.data(), part.size());
    return true;
  }
  bool on_key(json::string_view last, std::size_t, json::error_code&) { return Text(JsonToken::kKey, last); }
  bool on_string_part(json::string_view part, std::size_t, json::error_code&) {
    parts_.append(part.data(), part.size());
    return true;
  }
  bool on_string(json::string_view last, std::size_t, json::error_code&) {
    return Text(JsonToken::kString, last);
  }
  bool on_number_part(json::string_view part, json::error_code&) {
    parts_.append(part.data(), part.size());
    return true;
  }
  bool on_int64(std::int64_t i, json::string_view last, json::error_code&) {
    return WholeNumber(i < 0 ? uint64_t{0} - static_cast<uint64_t>(i) : static_cast<uint64_t>(i),
                       static_cast<double>(i), last);
  }
  bool on_uint64(std::uint64_t u, json::string_view last, json::error_code&) {
    return WholeNumber(u, static_cast<double>(u), last);
  }
  // Boost's own double may be a unit in the last place off; the text is converted again to the
  // nearest double. A number beyond double's range, either way, is not finite.
  bool on_double(double, json::string_view last, json::error_code&) {
    const std::string_view text = Whole(last);
    JsonTokenValue& token = Number(text);
    token.whole = text.find_first_of(".eE") == std::string_view::npos;
    token.fits64 = false;
    token.magnitude = 0;
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    token.finite =
        result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite(value);
    token.value = value;
    parts_.clear();
    return true;
  }
  bool on_bool(bool b, json::error_code&) { return Push(b ? JsonToken::kTrue : JsonToken::kFalse); }
  bool on_null(json::error_code&) { return Push(JsonToken::kNull); }
  bool on_comment_part(json::string_view, json::error_code&) { return true; }
  bool on_comment(json::string_view, json::error_code&) { return true; }

 private:
  JsonTokenValue& Slot() {
    if (count_ == tokens_.size()) tokens_.emplace_back();
    return tokens_[count_++];
  }
  bool Push(JsonToken kind) {
    Slot().kind = kind;
    return true;
  }
  bool Text(JsonToken kind, json::string_view last) {
    JsonTokenValue& token = Slot();
    token.kind = kind;
    if (parts_.empty()) {
      token.text.assign(last.data(), last.size());
    } else {
      token.text.swap(parts_);
      token.text.append(last.data(), last.size());
      parts_.clear();
    }
    return true;
  }
  // The whole text of a key, string or number whose last part is last (in parts_ until it is
  // cleared, when it came in more than one).
  std::string_view Whole(json::string_view last) {
    if (parts_.empty()) return std::string_view(last.data(), last.size());
    parts_.append(last.data(), last.size());
    return parts_;
  }
  // A whole number within 64 bits, of the given magnitude and value.
  bool WholeNumber(uint64_t magnitude, double value, json::string_view last) {
    JsonTokenValue& token = Number(Whole(last));
    token.whole = true;
    token.fits64 = true;
    token.magnitude = magnitude;
    token.value = value;
    token.finite = true;
    parts_.clear();
    return true;
  }
  JsonTokenValue& Number(std::string_view text) {
    JsonTokenValue& token = Slot();
    token.kind = JsonToken::kNumber;
    token.negative = !text.empty() && text[0] == '-';
    return token;
  }

  std::vector<JsonTokenValue>& tokens_;
  size_t& count_;
  std::string parts_;  // of the key, string or number not yet complete
};

}  // namespace

class JsonPull::Parser {
 public:
  Parser(std::vector<JsonTokenValue>& tokens, size_t& count, size_t maxDepth)
      : parser_(Options(maxDepth), tokens, count) {}

  json::basic_parser<Handler>& Get() { return parser_; }

 private:
  static json::parse_options Options(size_t maxDepth) {
    json::parse_options options;
    options.max_depth = maxDepth;
    return options;
  }

  json::basic_parser<Handler> parser_;
};

JsonPull::JsonPull(size_t maxDepth) : parser_(std::make_unique<Parser>(tokens_, count_, maxDepth)) {}

JsonPull::JsonPull(std::string_view text, size_t maxDepth) : JsonPull(maxDepth) {
  text_ = text;
}

JsonPull::JsonPull(Source& source, size_t maxDepth) : JsonPull(maxDepth) {
  source_ = &source;
  piece_.resize(kPieceBytes);
}

JsonPull::~JsonPull() = default;

bool JsonPull::Fill() {
  count_ = 0;
  next_ = 0;
  while (count_ == 0) {
    if (failed_ || ended_) return false;
    std::string_view piece;
    if (source_ != nullptr) {
      size_t got = 0;
      if (!source_->Read(piece_.data(), piece_.size(), got)) {
        failed_ = true;
        return false;
      }
      piece = std::string_view(piece_.data(), got);
    } else {
      piece = text_.substr(0, kPieceBytes);
      text_.remove_prefix(piece.size());
    }
    json::error_code error;
    if (piece.empty()) {
      ended_ = true;
      parser_->Get().write_some(false, nullptr, 0, error);
    } else {
      const size_t used = parser_->Get().write_some(true, piece.data(), piece.size(), error);
      // The parser stops at the end of the document: what is left of the piece follows it.
      if (!error && used < piece.size()) {
        extra_ = true;
        ended_ = true;
      }
    }
    if (error) failed_ = true;
  }
  return true;
}

bool JsonPull::Finish() {
  if (next_ != count_) return false;
  while (Fill()) {
    if (count_ != 0) return false;
  }
  return !failed_ && !extra_ && parser_->Get().done();
}

}  // namespace cvm::import
