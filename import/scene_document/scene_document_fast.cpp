// The fast reader of scene documents: simdjson's On-Demand parser straight into the model, no
// tree and no path kept. It takes only what it is sure the strict reader takes the same way and
// gives up (GiveUp) on everything else, so its checks need no messages: the strict reader reads
// a refused document again and says what is wrong with it.
#include "import/scene_document_fast.h"

#if CVM_HAVE_SIMDJSON

#include <simdjson.h>
#include <sys/mman.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "import/scene_document.h"
#include "import/strict_json.h"
#include "standin/scene_model_validate.h"

namespace cvm::import {
namespace {

namespace od = simdjson::ondemand;

static_assert(kFastReadPadding >= simdjson::SIMDJSON_PADDING, "simdjson reads this far past the text");

// Thrown when the fast reader is not sure; ReadFast turns it into false.
struct GiveUp {};

[[noreturn]] void Unsure() {
  throw GiveUp{};
}

template <typename T>
T Take(simdjson::simdjson_result<T>&& result) {
  T value{};
  if (std::move(result).get(value) != simdjson::SUCCESS) Unsure();
  return value;
}

od::value Value(simdjson::simdjson_result<od::value>&& result) {
  return Take(std::move(result));
}

// ---- Scalars ---------------------------------------------------------------------------

// Text that nlohmann's parser gives the same bytes for and the strict reader takes: no U+0000
// (written \u0000) and valid UTF-8. A control character written raw, which JSON forbids, and an
// escaped lone surrogate are refused by simdjson already.
std::string_view CheckedText(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) Unsure();
  if (!simdjson::validate_utf8(text.data(), text.size())) Unsure();
  return text;
}

std::string ReadString(od::value& value) {
  return std::string(CheckedText(Take(value.get_string())));
}

bool ReadBool(od::value& value) {
  return Take(value.get_bool());
}

// The nearest double to the number whose text is token, already parsed by simdjson as d.
// simdjson 3.0.1 misreads some numbers of more than 19 digits (0.0026508455810843713565 as
// 0.000806...), so a token that long is parsed again by std::from_chars, which rounds to the
// nearest double as strtod does for nlohmann. An underflow or overflow there is left to the
// strict reader.
double Nearest(std::string_view token, double d) {
  if (token.size() <= 19) return d;
  const std::from_chars_result result = std::from_chars(token.data(), token.data() + token.size(), d);
  if (result.ec != std::errc()) Unsure();
  return d;
}

// A number is parsed to the nearest double (as strtod does for nlohmann) and rounded once to
// float, as the strict reader does. A negative zero stays negative only when written as a
// float (-0.0, -0e0): nlohmann reads the integer -0 as 0.
float ReadFloat(od::value& value) {
  const std::string_view token = value.raw_json_token();
  double d = 0.0;
  const simdjson::error_code error = value.get_double().get(d);
  if (error == simdjson::SUCCESS) {
    d = Nearest(token, d);
    if (d == 0.0 && std::signbit(d) && token.find_first_of(".eE") == std::string_view::npos) d = 0.0;
    return static_cast<float>(d);
  }
  if (error != simdjson::INCORRECT_TYPE) Unsure();
  const std::string_view text = Take(value.get_string());
  if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
  if (text == "inf") return std::numeric_limits<float>::infinity();
  if (text == "-inf") return -std::numeric_limits<float>::infinity();
  if (text == "-0") return -0.0f;
  Unsure();
}

// Whole numbers only as integer literals (2, not 2.0 or 2e0), within [lo, hi].
uint32_t ReadU32(od::value& value, uint64_t hi = UINT32_MAX) {
  const uint64_t u = Take(value.get_uint64());
  if (u > hi) Unsure();
  return static_cast<uint32_t>(u);
}

int32_t ReadI32(od::value& value) {
  const int64_t i = Take(value.get_int64());
  if (i < INT32_MIN || i > INT32_MAX) Unsure();
  return static_cast<int32_t>(i);
}

// A material or texmap index, or null (-1); whether it is in range is checked once the whole
// document is read (CheckReferences).
int32_t ReadReference(od::value& value) {
  if (Take(value.is_null())) return -1;
  return static_cast<int32_t>(ReadU32(value, INT32_MAX));
}

// ---- Objects and arrays ----------------------------------------------------------------

// A comment's value ('_' keys): any JSON, held to what the strict parser holds it to. depth
// counts the arrays and objects around the value.
void CheckComment(od::value& value, int depth) {
  switch (Take(value.type())) {
    case od::json_type::object: {
      if (depth >= kMaxJsonDepth) Unsure();
      std::vector<std::string> keys;
      for (auto field : Take(value.get_object())) {
        od::field f = Take(std::move(field));
        const std::string_view key = CheckedText(Take(f.unescaped_key()));
        if (key.empty() || key[0] != '_') {
          for (const std::string& k : keys) {
            if (k == key) Unsure();
          }
          keys.emplace_back(key);
        }
        CheckComment(f.value(), depth + 1);
      }
      break;
    }
    case od::json_type::array:
      if (depth >= kMaxJsonDepth) Unsure();
      for (auto element : Take(value.get_array())) {
        od::value e = Value(std::move(element));
        CheckComment(e, depth + 1);
      }
      break;
    case od::json_type::number:
      // Any finite number; an integer beyond 64 bits, which nlohmann reads as a double, is
      // left to the strict reader.
      Take(value.get_number());
      break;
    case od::json_type::string:
      CheckedText(Take(value.get_string()));
      break;
    case od::json_type::boolean:
      Take(value.get_bool());
      break;
    case od::json_type::null:
      if (!Take(value.is_null())) Unsure();
      break;
  }
}

// Whether the key whose text starts at raw (after its opening quote, in the document) is name.
// A key written with an escape never is: it is left to the strict reader, like an unknown key.
// Reading name.size() bytes stays within the document and its padding, which is longer than
// any name.
bool IsKey(const char* raw, std::string_view name) {
  return std::memcmp(raw, name.data(), name.size()) == 0 && raw[name.size()] == '"';
}

// Calls onKey(i, value) for each key of the object at value, i being its place in names; gives
// up on a key not named (comments aside) and on a key given twice. depth counts the arrays and
// objects around the object's values, the object included. Returns the keys seen, bit i for
// names[i].
template <typename OnKey>
uint32_t ForEachKey(od::value& value, int depth, std::initializer_list<std::string_view> names,
                    OnKey&& onKey) {
  uint32_t seen = 0;
  for (auto field : Take(value.get_object())) {
    od::field f = Take(std::move(field));
    const char* key = f.key().raw();
    if (key[0] == '_') {
      CheckedText(Take(f.unescaped_key()));
      CheckComment(f.value(), depth);
      continue;
    }
    int i = 0;
    for (const std::string_view name : names) {
      if (IsKey(key, name)) break;
      ++i;
    }
    if (i == static_cast<int>(names.size()) || (seen & (1u << i)) != 0) Unsure();
    seen |= 1u << i;
    onKey(i, f.value());
  }
  return seen;
}

constexpr uint32_t Bit(int i) {
  return 1u << i;
}

// The text of a document in pages of its own (TextPages) that nothing reads once the parser has
// passed them: those are handed back to the system as the parser goes, so that the text,
// simdjson's index of it and the model are never all held whole.
struct ReleasedText {
  od::document* document = nullptr;
  const char* released = nullptr;  // pages before this one are gone
  const char* end = nullptr;       // of the text
  size_t page = 0;                 // released in multiples of this many bytes

  // Hands back the pages well behind the parser.
  void Release() {
    constexpr size_t kMargin = size_t{1} << 20;
    const char* at = nullptr;
    if (document->current_location().get(at) != simdjson::SUCCESS || at < released || at > end ||
        static_cast<size_t>(at - released) < kMargin)
      return;
    const char* upTo = released + (static_cast<size_t>(at - released) - kMargin) / page * page;
    if (upTo > released &&
        madvise(const_cast<char*>(released), static_cast<size_t>(upTo - released), MADV_DONTNEED) == 0)
      released = upTo;
  }
};

// Set while the fast reader reads a text in TextPages.
thread_local ReleasedText* tReleasing = nullptr;

// Calls readOne(element) for each element of the array at value. The big arrays of a document
// are read this way; every so many elements the text behind them is released (ReleasedText).
// Vectors grow as they are read: counting the elements first, to size them once, took a tenth
// of the time of a whole export.
template <typename ReadOne>
void ForEachElement(od::value& value, ReadOne&& readOne) {
  size_t count = 0;
  for (auto element : Take(value.get_array())) {
    od::value e = Value(std::move(element));
    readOne(e);
    if ((++count & 0xFFFF) == 0 && tReleasing != nullptr) tReleasing->Release();
  }
}

// Reads up to n floats of the array at value into out; returns how many there were.
size_t ReadFloats(od::value& value, float* out, size_t n) {
  size_t count = 0;
  for (auto element : Take(value.get_array())) {
    od::value e = Value(std::move(element));
    if (count == n) Unsure();
    out[count++] = ReadFloat(e);
  }
  return count;
}

Point3 ReadPoint(od::value& value) {
  float c[3];
  if (ReadFloats(value, c, 3) != 3) Unsure();
  return {c[0], c[1], c[2]};
}

Point3 ReadTextureVertex(od::value& value) {
  float c[3] = {0.0f, 0.0f, 0.0f};
  if (ReadFloats(value, c, 3) < 2) Unsure();
  return {c[0], c[1], c[2]};
}

Matrix3 ReadMatrix(od::value& value) {
  Matrix3 m;
  size_t rows = 0;
  for (auto element : Take(value.get_array())) {
    od::value e = Value(std::move(element));
    if (rows == 4) Unsure();
    m.row[rows++] = ReadPoint(e);
  }
  if (rows != 4) Unsure();
  return m;
}

void ReadTriple(od::value& value, uint32_t (&out)[3]) {
  size_t count = 0;
  for (auto element : Take(value.get_array())) {
    od::value e = Value(std::move(element));
    if (count == 3) Unsure();
    out[count++] = ReadU32(e);
  }
  if (count != 3) Unsure();
}

ClassId ReadClassIdPair(od::value& value) {
  uint32_t c[2];
  size_t count = 0;
  for (auto element : Take(value.get_array())) {
    od::value e = Value(std::move(element));
    if (count == 2) Unsure();
    c[count++] = ReadU32(e);
  }
  if (count != 2) Unsure();
  return {c[0], c[1]};
}

std::vector<Point3> ReadPoints(od::value& value, bool textureVertices) {
  std::vector<Point3> points;
  ForEachElement(
      value, [&](od::value& e) { points.push_back(textureVertices ? ReadTextureVertex(e) : ReadPoint(e)); });
  return points;
}

std::vector<TVFace> ReadTriples(od::value& value) {
  std::vector<TVFace> triples;
  ForEachElement(value, [&](od::value& e) {
    TVFace face;
    ReadTriple(e, face.t);
    triples.push_back(face);
  });
  return triples;
}

std::vector<MeshFace> ReadFaces(od::value& value) {
  std::vector<MeshFace> faces;
  ForEachElement(value, [&](od::value& e) {
    MeshFace face{{0, 0, 0}, 0, 0};
    ReadTriple(e, face.v);
    faces.push_back(face);
  });
  return faces;
}

std::vector<uint32_t> ReadWholes(od::value& value, uint64_t hi) {
  std::vector<uint32_t> values;
  ForEachElement(value, [&](od::value& e) { values.push_back(ReadU32(e, hi)); });
  return values;
}

// ---- Meshes ----------------------------------------------------------------------------

// The vertex normals of a mesh, [{"specified": ..., "entries": [{"normal": ..., "smoothing":
// ...}, ...]}, ...], at depth (the arrays and objects around the elements' values).
void ReadVertexNormals(od::value& value, int depth, standin::ExplicitNormalsModel& normals) {
  ForEachElement(value, [&](od::value& v) {
    bool specified = false;
    const size_t first = normals.entries.size();
    const uint32_t seen = ForEachKey(v, depth + 1, {"specified", "entries"}, [&](int key, od::value& kv) {
      if (key == 0) {
        specified = ReadBool(kv);
        return;
      }
      ForEachElement(kv, [&](od::value& e) {
        RNormalEntry entry{};
        const uint32_t entrySeen =
            ForEachKey(e, depth + 3, {"normal", "smoothing"}, [&](int ek, od::value& ev) {
              if (ek == 0) {
                entry.normal = ReadPoint(ev);
              } else {
                entry.smGroup = ReadU32(ev);
              }
            });
        if (entrySeen != (Bit(0) | Bit(1))) Unsure();
        normals.entries.push_back(entry);
      });
    });
    const size_t count = normals.entries.size() - first;
    if (seen != (Bit(0) | Bit(1)) || count > 255 || (specified && count == 0)) Unsure();
    normals.specified.push_back(specified ? 1 : 0);
    normals.entryStart.push_back(static_cast<uint32_t>(normals.entries.size()));
  });
}

// The keys of an object of any kind; which of them a kind allows is checked once its "kind" is
// known, wherever it stands.
enum ObjectKey {
  kKind,
  kSuperClassId,
  kClassId,
  kNative,
  kVertices,
  kFaces,
  kSmoothing,
  kMaterialIds,
  kTverts,
  kTvFaces,
  kColors,
  kNormals,
  kAlsoMesh,
  kSplines,
  kLightType,
  kColor,
  kIntensity,
};

constexpr uint32_t kCommonKeys = Bit(kKind) | Bit(kSuperClassId) | Bit(kClassId);
constexpr uint32_t kMeshKeys = kCommonKeys | Bit(kNative) | Bit(kVertices) | Bit(kFaces) | Bit(kSmoothing) |
                               Bit(kMaterialIds) | Bit(kTverts) | Bit(kTvFaces) | Bit(kColors) |
                               Bit(kNormals);
constexpr uint32_t kShapeKeys = kCommonKeys | Bit(kNative) | Bit(kAlsoMesh) | Bit(kSplines);
constexpr uint32_t kLightKeys = kCommonKeys | Bit(kLightType) | Bit(kColor) | Bit(kIntensity);

// What a mesh's keys hold until the object is complete.
struct MeshParts {
  std::vector<uint32_t> smoothing;
  std::vector<uint32_t> materialIds;
  std::vector<TVFace> tvFaces;
  std::optional<standin::ColorChannelModel> colors;
  std::optional<standin::ExplicitNormalsModel> normals;
};

void ReadColors(od::value& value, int depth, MeshParts& parts) {
  standin::ColorChannelModel channel;
  const uint32_t seen = ForEachKey(value, depth, {"verts", "faces"}, [&](int key, od::value& v) {
    if (key == 0) {
      channel.verts = ReadPoints(v, false);
    } else {
      channel.faces = ReadTriples(v);
    }
  });
  if (seen != (Bit(0) | Bit(1))) Unsure();
  parts.colors = std::move(channel);
}

void ReadNormals(od::value& value, int depth, MeshParts& parts) {
  standin::ExplicitNormalsModel normals;
  const uint32_t seen =
      ForEachKey(value, depth, {"faceNormals", "vertexNormals"}, [&](int key, od::value& v) {
        if (key == 0) {
          normals.faceNormals = ReadPoints(v, false);
        } else {
          ReadVertexNormals(v, depth + 1, normals);
        }
      });
  if (seen != (Bit(0) | Bit(1))) Unsure();
  parts.normals = std::move(normals);
}

// Puts the parts of a mesh together, held to the counts the strict reader checks.
void FinishMesh(uint32_t seen, MeshParts& parts, standin::MeshModel& mesh) {
  if ((seen & Bit(kVertices)) == 0 || (seen & Bit(kFaces)) == 0) Unsure();
  const size_t faceCount = mesh.faces.size();
  if ((seen & Bit(kSmoothing)) != 0) {
    if (parts.smoothing.size() != faceCount) Unsure();
    for (size_t f = 0; f < faceCount; ++f) mesh.faces[f].smGroup = parts.smoothing[f];
  }
  if ((seen & Bit(kMaterialIds)) != 0) {
    if (parts.materialIds.size() != faceCount) Unsure();
    for (size_t f = 0; f < faceCount; ++f)
      mesh.faces[f].flags = standin::FlagsWithMaterialId(static_cast<uint16_t>(parts.materialIds[f]));
  }
  if (mesh.tverts.empty()) {
    if ((seen & Bit(kTvFaces)) != 0) Unsure();
  } else {
    if ((seen & Bit(kTvFaces)) == 0 || parts.tvFaces.size() != faceCount) Unsure();
    mesh.tvFaces = std::move(parts.tvFaces);
  }
  if (parts.colors) {
    if (parts.colors->faces.size() != faceCount) Unsure();
    mesh.colors = std::move(parts.colors);
  }
  if (parts.normals) {
    if (parts.normals->faceNormals.size() != faceCount ||
        parts.normals->VertexCount() != mesh.vertices.size())
      Unsure();
    mesh.normals = std::move(parts.normals);
  }
}

void ReadObject(od::value& value, int depth, standin::ObjectModel& object) {
  std::optional<standin::ObjectKind> kind;
  std::optional<bool> native;
  MeshParts parts;
  standin::MeshModel& mesh = object.mesh;
  const uint32_t seen = ForEachKey(
      value, depth,
      {"kind", "superClassId", "classId", "native", "vertices", "faces", "smoothing", "materialIds", "tverts",
       "tvFaces", "colors", "normals", "alsoMesh", "splines", "lightType", "color", "intensity"},
      [&](int key, od::value& v) {
        switch (key) {
          case kKind: {
            const std::string_view name = Take(v.get_string());
            if (name == "mesh") {
              kind = standin::ObjectKind::kMesh;
            } else if (name == "shape") {
              kind = standin::ObjectKind::kShape;
            } else if (name == "light") {
              kind = standin::ObjectKind::kLight;
            } else if (name == "helper") {
              kind = standin::ObjectKind::kHelper;
            } else if (name == "camera") {
              kind = standin::ObjectKind::kCamera;
            } else {
              Unsure();
            }
            break;
          }
          case kSuperClassId:
            object.superClassId = ReadU32(v);
            break;
          case kClassId:
            object.classId = ReadClassIdPair(v);
            break;
          case kNative:
            native = ReadBool(v);
            break;
          case kVertices:
            mesh.vertices = ReadPoints(v, false);
            break;
          case kFaces:
            mesh.faces = ReadFaces(v);
            break;
          case kSmoothing:
            parts.smoothing = ReadWholes(v, UINT32_MAX);
            break;
          case kMaterialIds:
            parts.materialIds = ReadWholes(v, 65535);
            break;
          case kTverts:
            mesh.tverts = ReadPoints(v, true);
            break;
          case kTvFaces:
            parts.tvFaces = ReadTriples(v);
            break;
          case kColors:
            ReadColors(v, depth + 1, parts);
            break;
          case kNormals:
            ReadNormals(v, depth + 1, parts);
            break;
          case kAlsoMesh:
            object.alsoMesh = ReadBool(v);
            break;
          case kSplines:
            ForEachElement(v, [&](od::value& sv) {
              standin::SplineModel spline;
              const uint32_t splineSeen =
                  ForEachKey(sv, depth + 2, {"closed", "knots"}, [&](int sk, od::value& kv) {
                    if (sk == 0) {
                      spline.closed = ReadBool(kv);
                    } else {
                      spline.knots = ReadPoints(kv, false);
                    }
                  });
              if (splineSeen != (Bit(0) | Bit(1))) Unsure();
              object.splines.push_back(std::move(spline));
            });
            break;
          case kLightType:
            object.light.lightType = ReadI32(v);
            break;
          case kColor:
            object.light.color = ReadPoint(v);
            break;
          case kIntensity:
            object.light.intensity = ReadFloat(v);
            break;
          default:
            Unsure();
        }
      });
  if (!kind) Unsure();
  object.kind = *kind;
  uint32_t allowed = kCommonKeys;
  if (*kind == standin::ObjectKind::kMesh) allowed = kMeshKeys;
  if (*kind == standin::ObjectKind::kShape) allowed = kShapeKeys;
  if (*kind == standin::ObjectKind::kLight) allowed = kLightKeys;
  if ((seen & ~allowed) != 0) Unsure();
  if (native) object.native = *native;
  if (*kind == standin::ObjectKind::kMesh) FinishMesh(seen, parts, mesh);
}

void ReadNode(od::value& value, int depth, standin::NodeModel& node) {
  const uint32_t seen = ForEachKey(
      value, depth, {"name", "userText", "selected", "hidden", "transform", "pivot", "material", "object"},
      [&](int key, od::value& v) {
        switch (key) {
          case 0:
            node.name = ReadString(v);
            break;
          case 1:
            node.userText = ReadString(v);
            break;
          case 2:
            node.selected = ReadBool(v);
            break;
          case 3:
            node.hidden = ReadBool(v);
            break;
          case 4:
            node.transform = ReadMatrix(v);
            break;
          case 5:
            node.pivot = ReadMatrix(v);
            break;
          case 6:
            node.material = ReadReference(v);
            break;
          default:
            ReadObject(v, depth + 1, node.object);
            break;
        }
      });
  if ((seen & Bit(7)) == 0) Unsure();
}

// ---- Materials and texture maps --------------------------------------------------------

constexpr std::string_view kSlotNames[standin::kMaterialMapSlotCount] = {
    "ambient", "diffuse", "specular", "shininess",  "shininessStrength", "selfIllum",
    "opacity", "filter",  "bump",     "reflection", "refraction",        "displacement"};
constexpr std::string_view kSlotNumbers[standin::kMaterialMapSlotCount] = {"0", "1", "2", "3", "4",  "5",
                                                                           "6", "7", "8", "9", "10", "11"};

void ReadMaps(od::value& value, int depth, standin::MaterialModel& material) {
  uint32_t given = 0;
  for (auto field : Take(value.get_object())) {
    od::field f = Take(std::move(field));
    const char* key = f.key().raw();
    if (key[0] == '_') {
      CheckedText(Take(f.unescaped_key()));
      CheckComment(f.value(), depth);
      continue;
    }
    int slot = 0;
    while (slot < standin::kMaterialMapSlotCount && !IsKey(key, kSlotNames[slot]) &&
           !IsKey(key, kSlotNumbers[slot]))
      ++slot;
    if (slot == standin::kMaterialMapSlotCount || (given & Bit(slot)) != 0) Unsure();
    given |= Bit(slot);
    standin::MapSlotModel& target = material.maps[slot];
    target.enabled = true;
    const uint32_t seen = ForEachKey(f.value(), depth + 1, {"texmap", "enabled"}, [&](int k, od::value& v) {
      if (k == 0) {
        target.texmap = ReadReference(v);
      } else {
        target.enabled = ReadBool(v);
      }
    });
    if ((seen & Bit(0)) == 0) Unsure();
  }
}

// A parameter's value, kept until its type is known.
struct ParamValue {
  od::json_type type = od::json_type::null;
  std::optional<int64_t> whole;  // an integer literal within 64 bits
  double number = 0.0;
  std::string text;
  Point3 point;
};

void ReadParam(od::value& value, int depth, standin::ParamModel& param) {
  std::string type;
  ParamValue pending;
  const uint32_t seen = ForEachKey(value, depth, {"name", "id", "type", "value"}, [&](int key, od::value& v) {
    switch (key) {
      case 0:
        param.name = ReadString(v);
        break;
      case 1:
        param.id = ReadU32(v);
        break;
      case 2:
        type = ReadString(v);
        break;
      default:
        pending.type = Take(v.type());
        if (pending.type == od::json_type::number) {
          const std::string_view token = v.raw_json_token();
          od::number n = Take(v.get_number());
          if (n.is_int64()) {
            pending.whole = n.get_int64();
            pending.number = static_cast<double>(*pending.whole);
          } else if (n.is_uint64()) {
            pending.number = static_cast<double>(n.get_uint64());
          } else {
            pending.number = Nearest(token, n.get_double());
          }
        } else if (pending.type == od::json_type::string) {
          pending.text = std::string(Take(v.get_string()));
        } else if (pending.type == od::json_type::array) {
          pending.point = ReadPoint(v);
        } else {
          Unsure();
        }
        break;
    }
  });
  if (seen != 0xF) Unsure();
  if (type == "int") {
    if (!pending.whole || *pending.whole < INT32_MIN || *pending.whole > INT32_MAX) Unsure();
    param.type = standin::ParamType::kInt;
    param.intValue = static_cast<int32_t>(*pending.whole);
  } else if (type == "float") {
    param.type = standin::ParamType::kFloat;
    if (pending.type == od::json_type::number) {
      param.floatValue = static_cast<float>(pending.number);
    } else if (pending.type == od::json_type::string && pending.text == "nan") {
      param.floatValue = std::numeric_limits<float>::quiet_NaN();
    } else if (pending.type == od::json_type::string && pending.text == "inf") {
      param.floatValue = std::numeric_limits<float>::infinity();
    } else if (pending.type == od::json_type::string && pending.text == "-inf") {
      param.floatValue = -std::numeric_limits<float>::infinity();
    } else if (pending.type == od::json_type::string && pending.text == "-0") {
      param.floatValue = -0.0f;
    } else {
      Unsure();
    }
  } else if (type == "point3") {
    if (pending.type != od::json_type::array) Unsure();
    param.type = standin::ParamType::kPoint3;
    param.point3Value = pending.point;
  } else {
    Unsure();
  }
}

void ReadCustomAttributes(od::value& value, int depth, standin::MaterialModel& material) {
  if (Take(value.is_null())) return;
  std::vector<standin::CustAttribModel> attributes;
  ForEachElement(value, [&](od::value& v) {
    standin::CustAttribModel attribute;
    const uint32_t seen =
        ForEachKey(v, depth + 1, {"className", "paramBlock", "params"}, [&](int key, od::value& kv) {
          if (key == 0) {
            attribute.className = ReadString(kv);
          } else if (key == 1) {
            attribute.paramBlock = ReadBool(kv);
          } else {
            ForEachElement(kv, [&](od::value& pv) {
              attribute.params.emplace_back();
              ReadParam(pv, depth + 3, attribute.params.back());
            });
            if (attribute.params.size() > 65535) Unsure();
          }
        });
    if (seen != 0x7) Unsure();
    attributes.push_back(std::move(attribute));
  });
  material.customAttributes = std::move(attributes);
}

void ReadMaterial(od::value& value, int depth, standin::MaterialModel& material) {
  ForEachKey(value, depth,
             {"name", "class", "isMulti", "subMaterials", "twoSided", "diffuse", "ambient", "specular",
              "selfIllum", "shininess", "shininessStrength", "maps", "customAttributes"},
             [&](int key, od::value& v) {
               switch (key) {
                 case 0:
                   material.name = ReadString(v);
                   break;
                 case 1:
                   if (Take(v.type()) == od::json_type::string) {
                     const std::string_view name = Take(v.get_string());
                     if (name == "standard") {
                       material.classId = {2, 0};
                     } else if (name == "multi") {
                       material.classId = {standin::kMultiMaterialClassA, 0};
                     } else if (name == "shell") {
                       material.classId = kShellMaterialClassId;
                     } else {
                       Unsure();
                     }
                   } else {
                     material.classId = ReadClassIdPair(v);
                   }
                   break;
                 case 2:
                   material.isMulti = ReadBool(v);
                   break;
                 case 3:
                   ForEachElement(v,
                                  [&](od::value& e) { material.subMaterials.push_back(ReadReference(e)); });
                   break;
                 case 4:
                   material.twoSided = ReadBool(v);
                   break;
                 case 5:
                   material.diffuse = ReadPoint(v);
                   break;
                 case 6:
                   material.ambient = ReadPoint(v);
                   break;
                 case 7:
                   material.specular = ReadPoint(v);
                   break;
                 case 8:
                   material.selfIllum = ReadPoint(v);
                   break;
                 case 9:
                   material.shininess = ReadFloat(v);
                   break;
                 case 10:
                   material.shininessStrength = ReadFloat(v);
                   break;
                 case 11:
                   ReadMaps(v, depth + 1, material);
                   break;
                 default:
                   ReadCustomAttributes(v, depth + 1, material);
                   break;
               }
             });
}

void ReadTexmap(od::value& value, int depth, standin::TexmapModel& texmap) {
  ForEachKey(value, depth, {"class", "fileName"}, [&](int key, od::value& v) {
    if (key == 1) {
      texmap.fileName = ReadString(v);
    } else if (Take(v.type()) == od::json_type::string) {
      if (Take(v.get_string()) != "bitmap") Unsure();
      texmap.classId = kBitmapTexClassId;
    } else {
      texmap.classId = ReadClassIdPair(v);
    }
  });
}

// The references read as plain indices, against the counts of what they point into.
void CheckReferences(const standin::SceneModel& model) {
  const auto check = [](int32_t index, size_t count) {
    if (index >= 0 && static_cast<size_t>(index) >= count) Unsure();
  };
  for (const standin::NodeModel& node : model.nodes) check(node.material, model.materials.size());
  for (const standin::MaterialModel& material : model.materials) {
    for (const int32_t sub : material.subMaterials) check(sub, model.materials.size());
    for (const standin::MapSlotModel& slot : material.maps) check(slot.texmap, model.texmaps.size());
  }
}

void ReadDocument(od::document& document, standin::SceneModel& model) {
  od::value root = Take(document.get_value());
  const uint32_t seen = ForEachKey(root, 1, {"nodes", "materials", "texmaps"}, [&](int key, od::value& v) {
    if (key == 0) {
      ForEachElement(v, [&](od::value& e) {
        model.nodes.emplace_back();
        ReadNode(e, 3, model.nodes.back());
      });
    } else if (key == 1) {
      ForEachElement(v, [&](od::value& e) {
        model.materials.emplace_back();
        ReadMaterial(e, 3, model.materials.back());
      });
    } else {
      ForEachElement(v, [&](od::value& e) {
        model.texmaps.emplace_back();
        ReadTexmap(e, 3, model.texmaps.back());
      });
    }
  });
  if ((seen & Bit(0)) == 0) Unsure();
  // Nothing may follow the document's object.
  const char* rest = nullptr;
  if (document.current_location().get(rest) != simdjson::OUT_OF_BOUNDS) Unsure();
  CheckReferences(model);
}

}  // namespace

bool HaveFastSceneReader() {
  return true;
}

namespace {

bool ReadFast(std::string_view text, standin::SceneModel& out, ReleasedText* release) {
  out = standin::SceneModel();
  if (text.size() > kMaxSceneDocumentBytes) return false;
  try {
    od::parser parser;
    od::document document = Take(parser.iterate(text.data(), text.size(), text.size() + kFastReadPadding));
    standin::SceneModel model;
    if (release != nullptr) release->document = &document;
    tReleasing = release;
    struct Unset {
      ~Unset() { tReleasing = nullptr; }
    } unset;
    ReadDocument(document, model);
    std::string error;
    if (!standin::ValidateSceneModel(model, error)) return false;
    out = std::move(model);
    return true;
  } catch (const GiveUp&) {
  } catch (const std::exception&) {
    // Out of memory, or a simdjson error raised rather than returned: the strict reader decides.
  }
  out = standin::SceneModel();
  return false;
}

}  // namespace

bool ReadSceneDocumentFast(std::string_view text, standin::SceneModel& out) {
  return ReadFast(text, out, nullptr);
}

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// The pages a text of size bytes is read in, zero after it (the padding), in huge pages where
// the system gives them (a few hundred faults for a big document rather than one per 4 KiB).
// A file is read into them, not mapped: a mapped file that another program shortens while it is
// parsed would end the process with SIGBUS, where a read sees the change and the strict reader
// reports on what the file holds then.
class TextPages {
 public:
  explicit TextPages(size_t size) : size_(size), length_(size + kFastReadPadding + kHugePage) {
    if (size > kMaxSceneDocumentBytes) return;
    void* pages = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) return;
    pages_ = static_cast<char*>(pages);
    text_ = pages_ + (kHugePage - reinterpret_cast<uintptr_t>(pages_) % kHugePage) % kHugePage;
#ifdef MADV_HUGEPAGE
    madvise(text_, size_ + kFastReadPadding, MADV_HUGEPAGE);
#endif
  }
  ~TextPages() {
    if (pages_ != nullptr) munmap(pages_, length_);
  }
  TextPages(const TextPages&) = delete;
  TextPages& operator=(const TextPages&) = delete;

  // Null when the pages could not be had.
  char* Text() const {
    return text_;
  }

  // The fast reader on the text, handing its pages back as it passes them (in whole huge pages,
  // which are also whole pages of any smaller size).
  bool Read(standin::SceneModel& out) const {
    ReleasedText release;
    release.released = text_;
    release.end = text_ + size_;
    release.page = kHugePage;
    return ReadFast(std::string_view(text_, size_), out, &release);
  }

 private:
  size_t size_;
  size_t length_;
  char* pages_ = nullptr;
  char* text_ = nullptr;
};

}  // namespace

bool ReadSceneFileFast(const std::string& path, uint64_t size, standin::SceneModel& out) {
  out = standin::SceneModel();
  if (size > kMaxSceneDocumentBytes) return false;
  const TextPages pages(static_cast<size_t>(size));
  if (pages.Text() == nullptr) return false;
  bool read = false;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    read = std::fread(pages.Text(), 1, static_cast<size_t>(size), file) == size && std::fgetc(file) == EOF;
    std::fclose(file);
  }
  return read && pages.Read(out);
}

bool ReadSceneTextFast(std::string_view text, standin::SceneModel& out) {
  out = standin::SceneModel();
  const TextPages pages(text.size());
  if (pages.Text() == nullptr) return false;
  std::memcpy(pages.Text(), text.data(), text.size());
  return pages.Read(out);
}

}  // namespace cvm::import

#else  // no simdjson: the strict reader reads every document

namespace cvm::import {

bool HaveFastSceneReader() {
  return false;
}

bool ReadSceneDocumentFast(std::string_view /*text*/, standin::SceneModel& out) {
  out = standin::SceneModel();
  return false;
}

bool ReadSceneFileFast(const std::string& /*path*/, uint64_t /*size*/, standin::SceneModel& out) {
  out = standin::SceneModel();
  return false;
}

bool ReadSceneTextFast(std::string_view /*text*/, standin::SceneModel& out) {
  out = standin::SceneModel();
  return false;
}

}  // namespace cvm::import

#endif
