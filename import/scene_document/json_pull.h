// JSON text as a stream of tokens that a reader pulls one at a time, from Boost.JSON's event
// parser (no tree, no index of the text): the text is parsed a piece at a time as the reader
// asks for more, so that only the tokens of one piece are held, whatever the size of the text.
// Numbers arrive converted to the nearest double (std::from_chars, as strtod rounds), keys and
// strings unescaped. The parser holds the text to the JSON grammar and to valid UTF-8, and
// refuses comments, NaN and trailing commas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cvm::import {

enum class JsonToken : uint8_t {
  kObjectBegin,
  kObjectEnd,
  kArrayBegin,
  kArrayEnd,
  kKey,
  kString,
  kNumber,
  kTrue,
  kFalse,
  kNull,
};

struct JsonTokenValue {
  JsonToken kind = JsonToken::kNull;
  // Numbers: written with a minus sign; written as a whole number (no fraction, no exponent);
  // a whole number that fits 64 bits, whose magnitude is then `magnitude`; `value` finite,
  // which it is not for a number beyond the range of double.
  bool negative = false;
  bool whole = false;
  bool fits64 = false;
  bool finite = false;
  uint64_t magnitude = 0;
  double value = 0.0;  // the nearest double
  std::string text;    // keys and strings, unescaped
};

class JsonPull {
 public:
  // Where the text comes from: Read fills buffer with up to size bytes and returns how many,
  // 0 at the end of the text; false on a read error.
  class Source {
   public:
    virtual ~Source() = default;
    virtual bool Read(char* buffer, size_t size, size_t& got) = 0;
  };

  // A text in memory, parsed in pieces of itself, or a text from source; the parser refuses
  // arrays and objects nested deeper than maxDepth.
  JsonPull(std::string_view text, size_t maxDepth);
  JsonPull(Source& source, size_t maxDepth);
  ~JsonPull();
  JsonPull(const JsonPull&) = delete;
  JsonPull& operator=(const JsonPull&) = delete;

  // The next token, left in place (Peek) or taken (Next); null when the text is not valid JSON,
  // could not be read, or has no more tokens. What either returns stays valid until the next
  // call of either.
  const JsonTokenValue* Peek() { return next_ < count_ || Fill() ? &tokens_[next_] : nullptr; }
  const JsonTokenValue* Next() {
    const JsonTokenValue* token = Peek();
    if (token != nullptr) ++next_;
    return token;
  }

  // Whether the rest of the text, once the last token has been taken, is only whitespace and
  // the text was valid JSON to its end.
  bool Finish();

 private:
  class Parser;
  explicit JsonPull(size_t maxDepth);
  bool Fill();

  std::unique_ptr<Parser> parser_;
  std::string_view text_;  // what is left of a text in memory
  Source* source_ = nullptr;
  std::vector<char> piece_;
  std::vector<JsonTokenValue> tokens_;
  size_t count_ = 0;  // tokens_ in use
  size_t next_ = 0;   // the next one to give
  bool failed_ = false;
  bool ended_ = false;  // the whole text was handed to the parser
  bool extra_ = false;  // something other than whitespace followed the document
};

}  // namespace cvm::import
