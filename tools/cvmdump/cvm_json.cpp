#include "tools/cvmdump/cvm_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "format/record_layout.h"

namespace cvm::reader {
namespace {

using json = nlohmann::ordered_json;
using format::Extent;
using format::Field;

template <typename E>
json EntryToJson(const typename E::Value& value);
template <>
json EntryToJson<format::U32Element>(const uint32_t& value) {
  return value;
}
template <>
json EntryToJson<format::Vec3Element>(const Vec3& v) {
  return json::array({FloatToJson(v.x), FloatToJson(v.y), FloatToJson(v.z)});
}
template <>
json EntryToJson<format::Vec2Element>(const Vec2& uv) {
  return json::array({FloatToJson(uv.u), FloatToJson(uv.v)});
}
template <>
json EntryToJson<format::ColorElement>(const Color16& c) {
  return json::array({c.r, c.g, c.b});
}
template <>
json EntryToJson<format::NormalElement>(const EncodedNormal& n) {
  return json::array({n.polar, n.azimuth});
}
template <>
json EntryToJson<format::TriangleElement>(const Triangle& t) {
  return json::array({t[0], t[1], t[2]});
}

// The JSON-writing visitor of the layout. Every field lands in the current value under its
// key (a field without a key is the current value itself); counts and flags are left out, as
// the lists and the nulls of absent parts say the same. Inside an absent block every field is
// null.
class JsonWriter : public format::IgnoresRules {
 public:
  explicit JsonWriter(json& root) : current_(&root) {}

  size_t U16(const Field& f, uint16_t value) { return Put(f, value); }
  size_t U32(const Field& f, uint32_t value) { return Put(f, value); }
  size_t F32(const Field& f, float value) { return Put(f, FloatToJson(value)); }
  size_t Vec3(const Field& f, const reader::Vec3& v) { return Put(f, EntryToJson<format::Vec3Element>(v)); }
  size_t Color(const Field& f, const Color16& c) { return Put(f, EntryToJson<format::ColorElement>(c)); }
  size_t String(const Field& f, const std::string& text) { return Put(f, TextToJson(text)); }
  size_t Flag(const Field& f, int, bool value) { return Put(f, value); }
  size_t Count(const Field&, int, uint32_t) { return 0; }

  template <typename E, typename Seq>
  size_t Array(const Field& f, const Seq& seq, const Extent&) {
    if (absent_) return Put(f, nullptr);
    json out = json::array();
    for (size_t i = 0; i < seq.size(); ++i) out.push_back(EntryToJson<E>(seq[i]));
    return Put(f, std::move(out));
  }
  template <typename Seq, typename Describe>
  size_t Records(const Field& f, const Seq& seq, const Extent&, Describe describe) {
    if (absent_) return Put(f, nullptr);
    json out = json::array();
    for (size_t i = 0; i < seq.size(); ++i) out.push_back(Inside([&] { describe(*this, seq[i], i); }));
    return Put(f, std::move(out));
  }
  template <typename R, typename Describe>
  size_t Record(const Field& f, const R& record, Describe describe) {
    if (absent_) return Put(f, nullptr);
    return Put(f, Inside([&] { describe(*this, record); }));
  }
  template <typename O, typename Describe>
  size_t Optional(const Field& f, int, const O& optional, Describe describe) {
    if (absent_ || !optional) return Put(f, nullptr);
    return Put(f, Inside([&] { describe(*this, *optional); }));
  }
  template <typename Describe>
  size_t Block(const Field&, int, bool present, Describe describe) {
    const bool wasAbsent = absent_;
    absent_ = wasAbsent || !present;
    describe(*this);
    absent_ = wasAbsent;
    return 0;
  }

 private:
  template <typename Value>
  size_t Put(const Field& f, Value&& value) {
    json& slot = *f.key == '\0' ? *current_ : (*current_)[f.key];
    slot = absent_ ? json(nullptr) : json(std::forward<Value>(value));
    return 0;
  }
  // The value that describe fills.
  template <typename Fill>
  json Inside(Fill fill) {
    json value;
    json* outer = current_;
    current_ = &value;
    fill();
    current_ = outer;
    return value;
  }

  json* current_;
  bool absent_ = false;
};

// The same text as JsonWriter's tree dumped with an indent of 2, written while the layout is
// walked, so that a file of any size is printed without a tree (which takes some 20 times the
// file's size). Brackets, keys and indentation are laid out here as nlohmann's dump lays them
// out; every scalar goes through nlohmann's own serializer, one kept for the whole file, so
// numbers and escapes are the library's. The text gathers in a buffer handed to the stream in
// blocks.
class JsonStreamWriter : public format::IgnoresRules {
 public:
  explicit JsonStreamWriter(std::ostream& out)
      : text_(std::make_shared<TextBuffer>(out)), buffer_(*text_), scalars_(text_, ' ') {
    frames_.push_back(Frame{0, Frame::kEmpty});
  }

  // Closes the top-level value and hands the rest of the text to the stream.
  void Finish() {
    Close(frames_.back());
    frames_.pop_back();
    Flush();
  }

  size_t U16(const Field& f, uint16_t value) {
    return Put(f, [&](int) { Whole(value); });
  }
  size_t U32(const Field& f, uint32_t value) {
    return Put(f, [&](int) { Whole(value); });
  }
  size_t F32(const Field& f, float value) {
    return Put(f, [&](int) { Float(value); });
  }
  size_t Vec3(const Field& f, const reader::Vec3& v) {
    return Put(f, [&](int depth) { Entry<format::Vec3Element>(v, depth); });
  }
  size_t Color(const Field& f, const Color16& c) {
    return Put(f, [&](int depth) { Entry<format::ColorElement>(c, depth); });
  }
  size_t String(const Field& f, const std::string& text) {
    return Put(f, [&](int) { Scalar(TextToJson(text)); });
  }
  size_t Flag(const Field& f, int, bool value) {
    return Put(f, [&](int) { Scalar(json(value)); });
  }
  size_t Count(const Field&, int, uint32_t) { return 0; }

  template <typename E, typename Seq>
  size_t Array(const Field& f, const Seq& seq, const Extent&) {
    return Put(f,
               [&](int depth) { List(seq.size(), depth, [&](size_t i) { Entry<E>(seq[i], depth + 1); }); });
  }
  template <typename Seq, typename Describe>
  size_t Records(const Field& f, const Seq& seq, const Extent&, Describe describe) {
    return Put(f, [&](int depth) {
      List(seq.size(), depth, [&](size_t i) { Inside(depth + 1, [&] { describe(*this, seq[i], i); }); });
    });
  }
  template <typename R, typename Describe>
  size_t Record(const Field& f, const R& record, Describe describe) {
    return Put(f, [&](int depth) { Inside(depth, [&] { describe(*this, record); }); });
  }
  template <typename O, typename Describe>
  size_t Optional(const Field& f, int, const O& optional, Describe describe) {
    if (!optional) return Put(f, [&](int) { Text("null"); });
    return Put(f, [&](int depth) { Inside(depth, [&] { describe(*this, *optional); }); });
  }
  template <typename Describe>
  size_t Block(const Field&, int, bool present, Describe describe) {
    const bool wasAbsent = absent_;
    absent_ = wasAbsent || !present;
    describe(*this);
    absent_ = wasAbsent;
    return 0;
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 16;

  // A value being filled by a record's fields: an object once a field with a key lands in it,
  // the field's own value for a field without one, null when nothing lands in it at all.
  struct Frame {
    int depth;
    enum { kEmpty, kObject, kValue } state;
  };

  // The text as it is made, handed to the stream a block at a time; nlohmann's serializer
  // writes its scalars here too. Appends are a copy into a fixed buffer, as most are a few
  // bytes long.
  class TextBuffer final : public nlohmann::detail::output_adapter_protocol<char> {
   public:
    explicit TextBuffer(std::ostream& out) : out_(out), bytes_(new char[kCapacity]) {}
    void write_character(char c) override {
      if (used_ == kCapacity) Flush();
      bytes_[used_++] = c;
    }
    void write_characters(const char* s, std::size_t length) override { append(s, length); }
    void append(const char* s, size_t length) {
      if (kCapacity - used_ < length) {
        Flush();
        if (length > kCapacity) {
          out_.write(s, static_cast<std::streamsize>(length));
          return;
        }
      }
      std::memcpy(bytes_.get() + used_, s, length);
      used_ += length;
    }
    void operator+=(char c) { write_character(c); }
    void operator+=(const char* text) { append(text, std::strlen(text)); }
    size_t size() const { return used_; }
    void Flush() {
      out_.write(bytes_.get(), static_cast<std::streamsize>(used_));
      used_ = 0;
    }

   private:
    static constexpr size_t kCapacity = 2 * kBlock;
    std::ostream& out_;
    std::unique_ptr<char[]> bytes_;
    size_t used_ = 0;
  };

  template <size_t N>
  void Text(const char (&text)[N]) {
    buffer_.append(text, N - 1);
  }
  void Indent(int depth) {
    static constexpr char kSpaces[] = "                                                                ";
    for (size_t left = static_cast<size_t>(depth) * 2; left > 0;) {
      const size_t n = std::min(left, sizeof kSpaces - 1);
      buffer_.append(kSpaces, n);
      left -= n;
    }
  }
  // Lead (or nothing for '\0'), a line break and the indentation of depth, in one copy: the
  // lists of a large mesh are mostly these.
  template <char Lead>
  struct LineText {
    static constexpr size_t kSpaces = 128;
    constexpr LineText() : text{} {
      text[0] = Lead;
      text[1] = '\n';
      for (size_t i = 2; i < sizeof text; ++i) text[i] = ' ';
    }
    char text[2 + kSpaces];
  };
  template <char Lead>
  void Break(int depth) {
    static constexpr LineText<Lead> kLine;
    const size_t spaces = static_cast<size_t>(depth) * 2;
    const char* from = Lead == '\0' ? kLine.text + 1 : kLine.text;
    const size_t lead = Lead == '\0' ? 1 : 2;
    if (spaces <= LineText<Lead>::kSpaces) {
      buffer_.append(from, lead + spaces);
    } else {
      buffer_.append(from, lead);
      Indent(depth);
    }
  }
  void Scalar(const json& value) { scalars_.dump(value, false, false, 0); }
  // A float as FloatToJson gives it, dumped: a number straight to the serializer's own number
  // text, the strings it gives the rest (nan, inf, -0) through the serializer.
  void Float(float value) {
    const json number = FloatToJson(value);
    if (!number.is_number_float()) {
      Scalar(number);
      return;
    }
    char text[64];
    const char* end = nlohmann::detail::to_chars(text, text + sizeof text, number.get<double>());
    buffer_.append(text, static_cast<size_t>(end - text));
  }
  // An unsigned whole number in decimal digits, as the serializer writes one.
  void Whole(uint32_t value) {
    char digits[10];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    buffer_.append(digits, static_cast<size_t>(written.ptr - digits));
  }
  void Flush() { buffer_.Flush(); }

  // Writes f's value, by write(depth of the value), into the value being filled; inside an
  // absent block every value is null.
  template <typename Write>
  size_t Put(const Field& f, Write write) {
    Frame& frame = frames_.back();
    if (*f.key == '\0') {
      frame.state = Frame::kValue;
    } else {
      if (frame.state == Frame::kEmpty) {
        Break<'{'>(frame.depth + 1);
      } else {
        Break<','>(frame.depth + 1);
      }
      frame.state = Frame::kObject;
      buffer_ += '"';
      buffer_ += f.key;
      Text("\": ");
    }
    const int depth = *f.key == '\0' ? frame.depth : frame.depth + 1;
    if (absent_) {
      Text("null");
    } else {
      write(depth);
    }
    if (buffer_.size() >= kBlock) Flush();
    return 0;
  }
  // A list of count values at depth, entry i written by write(i) after its indentation.
  template <typename WriteEntry>
  void List(size_t count, int depth, WriteEntry write) {
    if (count == 0) {
      Text("[]");
      return;
    }
    for (size_t i = 0; i < count; ++i) {
      if (i == 0) {
        Break<'['>(depth + 1);
      } else {
        Break<','>(depth + 1);
      }
      write(i);
      if (buffer_.size() >= kBlock) Flush();
    }
    Break<'\0'>(depth);
    Text("]");
  }
  // One entry of an Array, as EntryToJson gives it, without making that value.
  template <typename E>
  void Entry(const typename E::Value& value, int depth) {
    if constexpr (std::is_same_v<E, format::U32Element>) {
      Whole(value);
    } else if constexpr (std::is_same_v<E, format::Vec3Element>) {
      const float xyz[3] = {value.x, value.y, value.z};
      List(3, depth, [&](size_t i) { Float(xyz[i]); });
    } else if constexpr (std::is_same_v<E, format::Vec2Element>) {
      const float uv[2] = {value.u, value.v};
      List(2, depth, [&](size_t i) { Float(uv[i]); });
    } else if constexpr (std::is_same_v<E, format::ColorElement>) {
      const uint16_t rgb[3] = {value.r, value.g, value.b};
      List(3, depth, [&](size_t i) { Whole(rgb[i]); });
    } else if constexpr (std::is_same_v<E, format::NormalElement>) {
      const uint8_t angles[2] = {value.polar, value.azimuth};
      List(2, depth, [&](size_t i) { Whole(angles[i]); });
    } else {
      static_assert(std::is_same_v<E, format::TriangleElement>, "an element kind of the layout");
      List(3, depth, [&](size_t i) { Whole(value[i]); });
    }
  }
  template <typename Fill>
  void Inside(int depth, Fill fill) {
    frames_.push_back(Frame{depth, Frame::kEmpty});
    fill();
    Close(frames_.back());
    frames_.pop_back();
  }
  void Close(const Frame& frame) {
    if (frame.state == Frame::kEmpty) {
      Text("null");
    } else if (frame.state == Frame::kObject) {
      Break<'\0'>(frame.depth);
      Text("}");
    }
  }

  std::shared_ptr<TextBuffer> text_;
  TextBuffer& buffer_;
  nlohmann::detail::serializer<json> scalars_;
  std::vector<Frame> frames_;
  bool absent_ = false;
};

// The JSON-reading visitor: the inverse of JsonWriter. Counts come from the lists, flags from
// the nulls; a field the document leaves out keeps the record's default, so documents written
// before a field was added still read. A value of the wrong kind stops the reading with the
// field's path.
class JsonReader : public format::IgnoresRules {
 public:
  explicit JsonReader(const json& root) : current_(&root) {}

  size_t U16(const Field& f, uint16_t& out) {
    if (const json* v = Find(f)) out = static_cast<uint16_t>(Whole(*v, 0xFFFF, f));
    return 0;
  }
  size_t U32(const Field& f, uint32_t& out) {
    if (const json* v = Find(f)) out = static_cast<uint32_t>(Whole(*v, 0xFFFFFFFFu, f));
    return 0;
  }
  size_t F32(const Field& f, float& out) {
    if (const json* v = Find(f)) out = Float(*v, f);
    return 0;
  }
  size_t Vec3(const Field& f, reader::Vec3& out) {
    if (const json* v = Find(f)) out = Entry<format::Vec3Element>(*v, f);
    return 0;
  }
  size_t Color(const Field& f, Color16& out) {
    if (const json* v = Find(f)) out = Entry<format::ColorElement>(*v, f);
    return 0;
  }
  size_t String(const Field& f, std::string& out) {
    const json* text = Find(f);
    if (text == nullptr) return 0;
    if (!text->is_string()) Refuse(f, "a text");
    if (!TextFromJson(text->get_ref<const std::string&>(), out)) Refuse(f, "a text of code points below 256");
    return 0;
  }
  size_t Flag(const Field& f, int, bool& out) {
    const json* value = Find(f);
    if (value == nullptr) return 0;
    if (!value->is_boolean()) Refuse(f, "true or false");
    out = value->get<bool>();
    return 0;
  }
  size_t Count(const Field&, int, uint32_t&) { return 0; }

  template <typename E, typename Seq>
  size_t Array(const Field& f, Seq& seq, const Extent&) {
    const json* list = List(f);
    if (list == nullptr) return 0;
    Resize(seq, list->size(), f);
    for (size_t i = 0; i < list->size(); ++i) seq[i] = Entry<E>((*list)[i], f);
    return 0;
  }
  template <typename Seq, typename Describe>
  size_t Records(const Field& f, Seq& seq, const Extent&, Describe describe) {
    const json* list = List(f);
    if (list == nullptr) return 0;
    seq.resize(list->size());
    for (size_t i = 0; i < list->size(); ++i) {
      format::FieldPath::Scope step(path_, f.key, i);
      Inside((*list)[i], [&] { describe(*this, seq[i], i); });
    }
    return 0;
  }
  template <typename R, typename Describe>
  size_t Record(const Field& f, R& record, Describe describe) {
    const json* value = Find(f);
    if (value == nullptr) return 0;
    format::FieldPath::Scope step(path_, f.key, std::nullopt);
    Inside(*value, [&] { describe(*this, record); });
    return 0;
  }
  template <typename T, typename Describe>
  size_t Optional(const Field& f, int, std::optional<T>& out, Describe describe) {
    const json* value = Find(f);
    out.reset();
    if (value == nullptr || value->is_null()) return 0;
    format::FieldPath::Scope step(path_, f.key, std::nullopt);
    Inside(*value, [&] { describe(*this, out.emplace()); });
    return 0;
  }
  template <typename Describe>
  size_t Block(const Field& f, int, bool& present, Describe describe) {
    const json* shown = Find(Field{f.auxKey, f.label});
    present = shown != nullptr && !shown->is_null();
    if (present) describe(*this);
    return 0;
  }

 private:
  [[noreturn]] void Refuse(const Field& f, const std::string& expected) const {
    const std::string path = path_.Of(f.key);
    throw std::runtime_error((path.empty() ? std::string("(document)") : path) + ": expected " + expected);
  }
  // The value of f in the current object, or null when the object leaves it out: the field
  // then keeps the record's default.
  const json* Find(const Field& f) const {
    if (*f.key == '\0') return current_;
    if (!current_->is_object()) Refuse(Field{"", f.label}, "an object");
    const auto found = current_->find(f.key);
    return found == current_->end() ? nullptr : &*found;
  }
  const json* List(const Field& f) const {
    const json* list = Find(f);
    if (list != nullptr && !list->is_array()) Refuse(f, "a list");
    return list;
  }
  const json& Triple(const json& value, const Field& f) const {
    if (!value.is_array() || value.size() != 3) Refuse(f, "a list of three numbers");
    return value;
  }
  uint64_t Whole(const json& value, uint64_t max, const Field& f) const {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > max)
      Refuse(f, "a whole number from 0 to " + std::to_string(max));
    return value.get<uint64_t>();
  }
  float Float(const json& value, const Field& f) const {
    float out = 0.0f;
    if (!FloatFromJson(value, out)) Refuse(f, "a number, \"nan\", \"inf\", \"-inf\" or \"-0\"");
    return out;
  }
  template <typename E>
  typename E::Value Entry(const json& value, const Field& f) const {
    using Value = typename E::Value;
    if constexpr (std::is_same_v<Value, uint32_t>) {
      return static_cast<uint32_t>(Whole(value, 0xFFFFFFFFu, f));
    } else if constexpr (std::is_same_v<Value, reader::Vec3>) {
      const json& v = Triple(value, f);
      return {Float(v[0], f), Float(v[1], f), Float(v[2], f)};
    } else if constexpr (std::is_same_v<Value, Vec2>) {
      if (!value.is_array() || value.size() != 2) Refuse(f, "a list of two numbers");
      return {Float(value[0], f), Float(value[1], f)};
    } else if constexpr (std::is_same_v<Value, Color16>) {
      const json& c = Triple(value, f);
      return {static_cast<uint16_t>(Whole(c[0], 0xFFFF, f)), static_cast<uint16_t>(Whole(c[1], 0xFFFF, f)),
              static_cast<uint16_t>(Whole(c[2], 0xFFFF, f))};
    } else if constexpr (std::is_same_v<Value, EncodedNormal>) {
      if (!value.is_array() || value.size() != 2) Refuse(f, "a list of two bytes");
      return {static_cast<uint8_t>(Whole(value[0], 0xFF, f)), static_cast<uint8_t>(Whole(value[1], 0xFF, f))};
    } else {
      const json& t = Triple(value, f);
      return {static_cast<uint32_t>(Whole(t[0], 0xFFFFFFFFu, f)),
              static_cast<uint32_t>(Whole(t[1], 0xFFFFFFFFu, f)),
              static_cast<uint32_t>(Whole(t[2], 0xFFFFFFFFu, f))};
    }
  }
  template <typename T>
  void Resize(std::vector<T>& seq, size_t size, const Field&) const {
    seq.resize(size);
  }
  template <typename T, size_t N>
  void Resize(std::array<T, N>&, size_t size, const Field& f) const {
    if (size != N) Refuse(f, "a list of " + std::to_string(N));
  }
  template <typename Fill>
  void Inside(const json& value, Fill fill) {
    const json* outer = current_;
    current_ = &value;
    fill();
    current_ = outer;
  }

  const json* current_;
  format::FieldPath path_;
};

}  // namespace

json TextToJson(const std::string& bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      utf8.push_back(ch);
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return utf8;
}

bool TextFromJson(const std::string& utf8, std::string& bytes) {
  bytes.clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes.push_back(static_cast<char>(lead));
    } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
      bytes.push_back(
          static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

json FloatToJson(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  if (value == 0.0f && std::signbit(value)) return "-0";
  // The shortest decimal that reads back as this float, carried as the double nearest to it so
  // the JSON shows those digits; if that double would round to another float, the exact value.
  char digits[32];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  double shortest = value;
  std::from_chars(digits, written.ptr, shortest);
  if (static_cast<float>(shortest) != value) shortest = value;
  return shortest;
}

bool FloatFromJson(const nlohmann::ordered_json& value, float& out) {
  if (value.is_number()) {
    out = static_cast<float>(value.get<double>());
    return true;
  }
  if (!value.is_string()) return false;
  const std::string& text = value.get_ref<const std::string&>();
  if (text == "nan")
    out = std::nanf("");
  else if (text == "inf")
    out = INFINITY;
  else if (text == "-inf")
    out = -INFINITY;
  else if (text == "-0")
    out = -0.0f;
  else
    return false;
  return true;
}

json CvmToJson(const CvmFile& file) {
  json root;
  JsonWriter writer(root);
  format::DescribeFile(writer, file);
  return root;
}

void WriteCvmJson(const CvmFile& file, std::ostream& out) {
  JsonStreamWriter writer(out);
  format::DescribeFile(writer, file);
  writer.Finish();
}

bool CvmFromJson(const nlohmann::ordered_json& document, CvmFile& file, std::string& error) {
  file = CvmFile{};
  try {
    JsonReader reader(document);
    format::DescribeFile(reader, file);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  return true;
}

}  // namespace cvm::reader
