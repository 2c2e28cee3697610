// The token stream under the fast scene reader: the same tokens whether the text comes whole or
// a byte at a time (every key, string and number then crosses the end of a piece), numbers at
// the nearest double, and the end of the text held to whitespace only.
#include "import/scene_document/json_pull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace cvm::import {
namespace {

// Gives the text a few bytes at a time.
class Trickle : public JsonPull::Source {
 public:
  Trickle(std::string text, size_t step) : text_(std::move(text)), step_(step) {}
  bool Read(char* buffer, size_t size, size_t& got) override {
    got = std::min({size, step_, text_.size() - at_});
    std::memcpy(buffer, text_.data() + at_, got);
    at_ += got;
    return true;
  }

 private:
  std::string text_;
  size_t step_;
  size_t at_ = 0;
};

// The tokens of a pull, written out one per line; "!" where the pull stopped short, and the
// verdict of Finish at the end.
std::string Tokens(JsonPull& pull) {
  std::string out;
  while (const JsonTokenValue* token = pull.Next()) {
    switch (token->kind) {
      case JsonToken::kObjectBegin:
        out += "{";
        break;
      case JsonToken::kObjectEnd:
        out += "}";
        break;
      case JsonToken::kArrayBegin:
        out += "[";
        break;
      case JsonToken::kArrayEnd:
        out += "]";
        break;
      case JsonToken::kKey:
        out += "key " + token->text;
        break;
      case JsonToken::kString:
        out += "string " + token->text;
        break;
      case JsonToken::kTrue:
        out += "true";
        break;
      case JsonToken::kFalse:
        out += "false";
        break;
      case JsonToken::kNull:
        out += "null";
        break;
      case JsonToken::kNumber: {
        char value[64];
        std::snprintf(value, sizeof value, "%a", token->value);
        out += std::string("number ") + value + (token->negative ? " negative" : "") +
               (token->whole ? " whole" : "") +
               (token->fits64 ? " fits64 " + std::to_string(token->magnitude) : "") +
               (token->finite ? "" : " infinite");
        break;
      }
    }
    out += "\n";
  }
  out += pull.Finish() ? "finished" : "not finished";
  return out;
}

std::string Whole(const std::string& text) {
  JsonPull pull(text, 64);
  return Tokens(pull);
}

std::string Trickled(const std::string& text, size_t step) {
  Trickle source(text, step);
  JsonPull pull(source, 64);
  return Tokens(pull);
}

TEST(JsonPull, GivesTheSameTokensWholeOrAByteAtATime) {
  const std::string text =
      R"( {"k\u0065y": [0, -0, -0.0, 12, -12, 18446744073709551615, 18446744073709551616, -9223372036854775808,)"
      R"( 0.1, 7.9600594e-16, 1.5e400, 2e0], "text": "caf\u00e9 \"\\ \ud83d\ude00 ok",)"
      R"( "flags": [true, false, null], "nested": {"": {}}} )";
  const std::string whole = Whole(text);
  for (const size_t step : {size_t{1}, size_t{2}, size_t{7}}) {
    SCOPED_TRACE(step);
    EXPECT_EQ(Trickled(text, step), whole);
  }
  const std::string expected =
      "{\nkey key\n[\n"
      "number 0x0p+0 whole fits64 0\n"
      "number 0x0p+0 negative whole fits64 0\n"
      "number -0x0p+0 negative\n"
      "number 0x1.8p+3 whole fits64 12\n"
      "number -0x1.8p+3 negative whole fits64 12\n"
      "number 0x1p+64 whole fits64 18446744073709551615\n"
      "number 0x1p+64 whole\n"
      "number -0x1p+63 negative whole fits64 9223372036854775808\n"
      "number 0x1.999999999999ap-4\n"
      "number 0x1.caddbe2b75fep-51\n"
      "number 0x0p+0 infinite\n"
      "number 0x1p+1\n"
      "]\nkey text\nstring caf\xC3\xA9 \"\\ \xF0\x9F\x98\x80 ok\n"
      "key flags\n[\ntrue\nfalse\nnull\n]\n"
      "key nested\n{\nkey \n{\n}\n}\n}\nfinished";
  EXPECT_EQ(whole, expected);
}

// The last line of Tokens: whether the pull finished.
std::string Verdict(const std::string& tokens) {
  const size_t line = tokens.rfind('\n');
  return line == std::string::npos ? tokens : tokens.substr(line + 1);
}

TEST(JsonPull, HoldsTheEndOfTheTextToWhitespace) {
  struct Case {
    const char* text;
    bool finished;
  };
  for (const Case& c :
       {Case{"[1]", true}, Case{"[1]  \n\t ", true}, Case{"[1] x", false}, Case{"[1] [2]", false},
        Case{"[1", false}, Case{"", false}, Case{"[1,]", false}, Case{"[\"\\ud800\"]", false},
        Case{"[\"\xff\"]", false}, Case{"/*c*/[1]", false}, Case{"[NaN]", false}}) {
    SCOPED_TRACE(c.text);
    const std::string whole = Whole(c.text);
    EXPECT_EQ(Verdict(whole), c.finished ? "finished" : "not finished");
    EXPECT_EQ(Trickled(c.text, 1), whole);
  }
}

TEST(JsonPull, RefusesNestingBeyondItsDepth) {
  EXPECT_EQ(Verdict(Whole(std::string(64, '[') + std::string(64, ']'))), "finished");
  EXPECT_EQ(Verdict(Whole(std::string(100, '[') + std::string(100, ']'))), "not finished");
}

}  // namespace
}  // namespace cvm::import
