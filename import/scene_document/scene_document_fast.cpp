// The fast reader of scene documents: Boost.JSON's event parser, pulled a token at a time
// (JsonPull), straight into the model; no tree, no index of the text, and the text parsed a
// piece at a time as it is read. It takes only what it is sure the strict reader takes the same
// way and gives up (GiveUp) on everything else, so its checks need no messages: the strict
// reader reads a refused document again and says what is wrong with it.
#include "import/scene_document_fast.h"

#if CVM_HAVE_FAST_SCENE_READER

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/scene_document.h"
#include "import/strict_json.h"
#include "json_pull.h"
#include "standin/scene_model_validate.h"

namespace cvm::import {
namespace {

// Thrown when the fast reader is not sure; ReadFast turns it into false.
struct GiveUp {};

[[noreturn]] void Unsure() {
  throw GiveUp{};
}

// The document's tokens, read from where the value being read starts. Every Read* function
// below takes exactly one value.
class Json {
 public:
  explicit Json(JsonPull& pull) : pull_(pull) {}

  // The next token, left in place or taken. What they return stays valid until the next call
  // of either.
  const JsonTokenValue& Peek() {
    const JsonTokenValue* token = pull_.Peek();
    if (token == nullptr) Unsure();
    return *token;
  }
  const JsonTokenValue& Next() {
    const JsonTokenValue* token = pull_.Next();
    if (token == nullptr) Unsure();
    return *token;
  }
  JsonToken Type() { return Peek().kind; }
  void Expect(JsonToken kind) {
    if (Next().kind != kind) Unsure();
  }
  // Takes a null, if that is what comes next.
  bool TakeNull() {
    if (Type() != JsonToken::kNull) return false;
    Next();
    return true;
  }
  // Whether the token taken last ended the document, and nothing but whitespace follows.
  bool Finish() { return pull_.Finish(); }

 private:
  JsonPull& pull_;
};

// ---- Scalars ---------------------------------------------------------------------------

// Text that nlohmann's parser gives the same bytes for and the strict reader takes: no U+0000
// (written \u0000). Invalid UTF-8, a control character written raw and an escaped lone surrogate
// are refused by the parser already.
std::string_view CheckedText(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) Unsure();
  return text;
}

std::string_view TakeString(Json& json) {
  const JsonTokenValue& token = json.Next();
  if (token.kind != JsonToken::kString) Unsure();
  return CheckedText(token.text);
}

std::string ReadString(Json& json) {
  return std::string(TakeString(json));
}

bool ReadBool(Json& json) {
  const JsonToken kind = json.Next().kind;
  if (kind != JsonToken::kTrue && kind != JsonToken::kFalse) Unsure();
  return kind == JsonToken::kTrue;
}

const JsonTokenValue& TakeNumber(Json& json) {
  const JsonTokenValue& token = json.Next();
  if (token.kind != JsonToken::kNumber || !token.finite) Unsure();
  return token;
}

// A number is taken as the nearest double (as strtod gives nlohmann) and rounded once to
// float, as the strict reader does; a whole number is exact in the double as far as it can
// be, and the integer -0, which nlohmann reads as 0, is 0. A negative zero stays negative only
// when written as a float (-0.0, -0e0). A number beyond double's range is left to the strict
// reader.
float ReadFloat(Json& json) {
  if (json.Type() == JsonToken::kNumber) return static_cast<float>(TakeNumber(json).value);
  const std::string_view text = TakeString(json);
  if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
  if (text == "inf") return std::numeric_limits<float>::infinity();
  if (text == "-inf") return -std::numeric_limits<float>::infinity();
  if (text == "-0") return -0.0f;
  Unsure();
}

// Whole numbers only as integer literals (2, not 2.0, 2e0 or -0), within [0, hi].
uint32_t ReadU32(Json& json, uint64_t hi = UINT32_MAX) {
  const JsonTokenValue& token = TakeNumber(json);
  if (!token.fits64 || token.negative || token.magnitude > hi) Unsure();
  return static_cast<uint32_t>(token.magnitude);
}

int32_t ReadI32(Json& json) {
  const JsonTokenValue& token = TakeNumber(json);
  if (!token.fits64 || token.magnitude > (token.negative ? uint64_t{1} << 31 : uint64_t{INT32_MAX})) Unsure();
  return token.negative ? static_cast<int32_t>(-static_cast<int64_t>(token.magnitude))
                        : static_cast<int32_t>(token.magnitude);
}

// A material or texmap index, or null (-1); whether it is in range is checked once the whole
// document is read (CheckReferences).
int32_t ReadReference(Json& json) {
  if (json.TakeNull()) return -1;
  return static_cast<int32_t>(ReadU32(json, INT32_MAX));
}

// ---- Objects and arrays ----------------------------------------------------------------

// A comment's value ('_' keys): any JSON, held to what the strict parser holds it to. depth
// counts the arrays and objects around the value.
void CheckComment(Json& json, int depth) {
  switch (json.Type()) {
    case JsonToken::kObjectBegin: {
      if (depth >= kMaxJsonDepth) Unsure();
      json.Next();
      std::vector<std::string> keys;
      while (json.Type() != JsonToken::kObjectEnd) {
        std::string key(CheckedText(json.Next().text));
        if (key.empty() || key[0] != '_') {
          for (const std::string& k : keys) {
            if (k == key) Unsure();
          }
          keys.push_back(std::move(key));
        }
        CheckComment(json, depth + 1);
      }
      json.Next();
      break;
    }
    case JsonToken::kArrayBegin:
      if (depth >= kMaxJsonDepth) Unsure();
      json.Next();
      while (json.Type() != JsonToken::kArrayEnd) CheckComment(json, depth + 1);
      json.Next();
      break;
    case JsonToken::kNumber: {
      // Any finite number; an integer beyond 64 bits, which nlohmann reads as a double, is
      // left to the strict reader.
      const JsonTokenValue& token = TakeNumber(json);
      if (token.whole && !token.fits64) Unsure();
      break;
    }
    case JsonToken::kString:
      TakeString(json);
      break;
    case JsonToken::kTrue:
    case JsonToken::kFalse:
    case JsonToken::kNull:
      json.Next();
      break;
    default:
      Unsure();
  }
}

constexpr uint32_t Bit(int i) {
  return 1u << i;
}

// Calls onMember(key, json) for each key of the object that comes next but its comments ('_'
// keys), with the key's value next; key is valid until json is read from. depth counts the
// arrays and objects around the object's values, the object included.
template <typename OnMember>
void ForEachMember(Json& json, int depth, OnMember&& onMember) {
  json.Expect(JsonToken::kObjectBegin);
  while (json.Type() != JsonToken::kObjectEnd) {
    const std::string_view key = json.Next().text;
    if (!key.empty() && key[0] == '_') {
      CheckedText(key);
      CheckComment(json, depth);
    } else {
      onMember(key, json);
    }
  }
  json.Next();
}

// Calls onKey(i, json) for each key of the object that comes next, i being its place in names,
// with the key's value next; gives up on a key not named (comments aside) and on a key given
// twice. Returns the keys seen, bit i for names[i].
template <typename OnKey>
uint32_t ForEachKey(Json& json, int depth, std::initializer_list<std::string_view> names, OnKey&& onKey) {
  uint32_t seen = 0;
  ForEachMember(json, depth, [&](std::string_view key, Json& value) {
    int i = 0;
    for (const std::string_view name : names) {
      if (key == name) break;
      ++i;
    }
    if (i == static_cast<int>(names.size()) || (seen & Bit(i)) != 0) Unsure();
    seen |= Bit(i);
    onKey(i, value);
  });
  return seen;
}

// Calls readOne(json) for each element of the array that comes next, the element next.
// Vectors grow as they are read: counting the elements first, to size them once, would take a
// second pass over the text.
template <typename ReadOne>
void ForEachElement(Json& json, ReadOne&& readOne) {
  json.Expect(JsonToken::kArrayBegin);
  while (json.Type() != JsonToken::kArrayEnd) readOne(json);
  json.Next();
}

// Reads up to n floats of the array that comes next into out; returns how many there were.
size_t ReadFloats(Json& json, float* out, size_t n) {
  size_t count = 0;
  ForEachElement(json, [&](Json& e) {
    if (count == n) Unsure();
    out[count++] = ReadFloat(e);
  });
  return count;
}

Point3 ReadPoint(Json& json) {
  float c[3];
  if (ReadFloats(json, c, 3) != 3) Unsure();
  return {c[0], c[1], c[2]};
}

Point3 ReadTextureVertex(Json& json) {
  float c[3] = {0.0f, 0.0f, 0.0f};
  if (ReadFloats(json, c, 3) < 2) Unsure();
  return {c[0], c[1], c[2]};
}

Matrix3 ReadMatrix(Json& json) {
  Matrix3 m;
  size_t rows = 0;
  ForEachElement(json, [&](Json& e) {
    if (rows == 4) Unsure();
    m.row[rows++] = ReadPoint(e);
  });
  if (rows != 4) Unsure();
  return m;
}

template <size_t N>
void ReadWholeArray(Json& json, uint32_t (&out)[N]) {
  size_t count = 0;
  ForEachElement(json, [&](Json& e) {
    if (count == N) Unsure();
    out[count++] = ReadU32(e);
  });
  if (count != N) Unsure();
}

void ReadTriple(Json& json, uint32_t (&out)[3]) {
  ReadWholeArray(json, out);
}

ClassId ReadClassIdPair(Json& json) {
  uint32_t c[2];
  ReadWholeArray(json, c);
  return {c[0], c[1]};
}

std::vector<Point3> ReadPoints(Json& json, bool textureVertices) {
  std::vector<Point3> points;
  ForEachElement(json,
                 [&](Json& e) { points.push_back(textureVertices ? ReadTextureVertex(e) : ReadPoint(e)); });
  return points;
}

std::vector<TVFace> ReadTriples(Json& json) {
  std::vector<TVFace> triples;
  ForEachElement(json, [&](Json& e) {
    TVFace face;
    ReadTriple(e, face.t);
    triples.push_back(face);
  });
  return triples;
}

std::vector<MeshFace> ReadFaces(Json& json) {
  std::vector<MeshFace> faces;
  ForEachElement(json, [&](Json& e) {
    MeshFace face{{0, 0, 0}, 0, 0};
    ReadTriple(e, face.v);
    faces.push_back(face);
  });
  return faces;
}

std::vector<uint32_t> ReadWholes(Json& json, uint64_t hi) {
  std::vector<uint32_t> values;
  ForEachElement(json, [&](Json& e) { values.push_back(ReadU32(e, hi)); });
  return values;
}

// ---- Meshes ----------------------------------------------------------------------------

// The vertex normals of a mesh, [{"specified": ..., "entries": [{"normal": ..., "smoothing":
// ...}, ...]}, ...], at depth (the arrays and objects around the elements' values).
void ReadVertexNormals(Json& value, int depth, standin::ExplicitNormalsModel& normals) {
  ForEachElement(value, [&](Json& v) {
    bool specified = false;
    const size_t first = normals.entries.size();
    const uint32_t seen = ForEachKey(v, depth + 1, {"specified", "entries"}, [&](int key, Json& kv) {
      if (key == 0) {
        specified = ReadBool(kv);
        return;
      }
      ForEachElement(kv, [&](Json& e) {
        RNormalEntry entry{};
        const uint32_t entrySeen = ForEachKey(e, depth + 3, {"normal", "smoothing"}, [&](int ek, Json& ev) {
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

void ReadColors(Json& value, int depth, MeshParts& parts) {
  standin::ColorChannelModel channel;
  const uint32_t seen = ForEachKey(value, depth, {"verts", "faces"}, [&](int key, Json& v) {
    if (key == 0) {
      channel.verts = ReadPoints(v, false);
    } else {
      channel.faces = ReadTriples(v);
    }
  });
  if (seen != (Bit(0) | Bit(1))) Unsure();
  parts.colors = std::move(channel);
}

void ReadNormals(Json& value, int depth, MeshParts& parts) {
  standin::ExplicitNormalsModel normals;
  const uint32_t seen = ForEachKey(value, depth, {"faceNormals", "vertexNormals"}, [&](int key, Json& v) {
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

void ReadObject(Json& value, int depth, standin::ObjectModel& object) {
  std::optional<standin::ObjectKind> kind;
  std::optional<bool> native;
  MeshParts parts;
  standin::MeshModel& mesh = object.mesh;
  const uint32_t seen = ForEachKey(
      value, depth,
      {"kind", "superClassId", "classId", "native", "vertices", "faces", "smoothing", "materialIds", "tverts",
       "tvFaces", "colors", "normals", "alsoMesh", "splines", "lightType", "color", "intensity"},
      [&](int key, Json& v) {
        switch (key) {
          case kKind: {
            const std::string_view name = TakeString(v);
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
            ForEachElement(v, [&](Json& sv) {
              standin::SplineModel spline;
              const uint32_t splineSeen =
                  ForEachKey(sv, depth + 2, {"closed", "knots"}, [&](int sk, Json& kv) {
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

void ReadNode(Json& value, int depth, standin::NodeModel& node) {
  const uint32_t seen = ForEachKey(
      value, depth, {"name", "userText", "selected", "hidden", "transform", "pivot", "material", "object"},
      [&](int key, Json& v) {
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

void ReadMaps(Json& value, int depth, standin::MaterialModel& material) {
  uint32_t given = 0;
  ForEachMember(value, depth, [&](std::string_view key, Json& v) {
    int slot = 0;
    while (slot < standin::kMaterialMapSlotCount && key != kSlotNames[slot] && key != kSlotNumbers[slot])
      ++slot;
    if (slot == standin::kMaterialMapSlotCount || (given & Bit(slot)) != 0) Unsure();
    given |= Bit(slot);
    standin::MapSlotModel& target = material.maps[slot];
    target.enabled = true;
    const uint32_t seen = ForEachKey(v, depth + 1, {"texmap", "enabled"}, [&](int k, Json& kv) {
      if (k == 0) {
        target.texmap = ReadReference(kv);
      } else {
        target.enabled = ReadBool(kv);
      }
    });
    if ((seen & Bit(0)) == 0) Unsure();
  });
}

// A parameter's value, kept until its type is known.
struct ParamValue {
  JsonToken type = JsonToken::kNull;
  std::optional<int64_t> whole;  // an integer literal within 64 bits
  double number = 0.0;
  std::string text;
  Point3 point;
};

void ReadParam(Json& value, int depth, standin::ParamModel& param) {
  std::string type;
  ParamValue pending;
  const uint32_t seen = ForEachKey(value, depth, {"name", "id", "type", "value"}, [&](int key, Json& v) {
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
        pending.type = v.Type();
        if (pending.type == JsonToken::kNumber) {
          const JsonTokenValue& n = TakeNumber(v);
          if (n.whole && !n.fits64) Unsure();
          if (n.fits64 && (n.negative || n.magnitude <= uint64_t{INT64_MAX})) {
            pending.whole = n.negative ? static_cast<int64_t>(uint64_t{0} - n.magnitude)
                                       : static_cast<int64_t>(n.magnitude);
          }
          pending.number = n.value;
        } else if (pending.type == JsonToken::kString) {
          pending.text = ReadString(v);
        } else if (pending.type == JsonToken::kArrayBegin) {
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
    if (pending.type == JsonToken::kNumber) {
      param.floatValue = static_cast<float>(pending.number);
    } else if (pending.type == JsonToken::kString && pending.text == "nan") {
      param.floatValue = std::numeric_limits<float>::quiet_NaN();
    } else if (pending.type == JsonToken::kString && pending.text == "inf") {
      param.floatValue = std::numeric_limits<float>::infinity();
    } else if (pending.type == JsonToken::kString && pending.text == "-inf") {
      param.floatValue = -std::numeric_limits<float>::infinity();
    } else if (pending.type == JsonToken::kString && pending.text == "-0") {
      param.floatValue = -0.0f;
    } else {
      Unsure();
    }
  } else if (type == "point3") {
    if (pending.type != JsonToken::kArrayBegin) Unsure();
    param.type = standin::ParamType::kPoint3;
    param.point3Value = pending.point;
  } else {
    Unsure();
  }
}

void ReadCustomAttributes(Json& value, int depth, standin::MaterialModel& material) {
  if (value.TakeNull()) return;
  std::vector<standin::CustAttribModel> attributes;
  ForEachElement(value, [&](Json& v) {
    standin::CustAttribModel attribute;
    const uint32_t seen =
        ForEachKey(v, depth + 1, {"className", "paramBlock", "params"}, [&](int key, Json& kv) {
          if (key == 0) {
            attribute.className = ReadString(kv);
          } else if (key == 1) {
            attribute.paramBlock = ReadBool(kv);
          } else {
            ForEachElement(kv, [&](Json& pv) {
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

void ReadMaterial(Json& value, int depth, standin::MaterialModel& material) {
  ForEachKey(value, depth,
             {"name", "class", "isMulti", "subMaterials", "twoSided", "diffuse", "ambient", "specular",
              "selfIllum", "shininess", "shininessStrength", "maps", "customAttributes"},
             [&](int key, Json& v) {
               switch (key) {
                 case 0:
                   material.name = ReadString(v);
                   break;
                 case 1:
                   if (v.Type() == JsonToken::kString) {
                     const std::string_view name = TakeString(v);
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
                   ForEachElement(v, [&](Json& e) { material.subMaterials.push_back(ReadReference(e)); });
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

void ReadTexmap(Json& value, int depth, standin::TexmapModel& texmap) {
  ForEachKey(value, depth, {"class", "fileName"}, [&](int key, Json& v) {
    if (key == 1) {
      texmap.fileName = ReadString(v);
    } else if (v.Type() == JsonToken::kString) {
      if (TakeString(v) != "bitmap") Unsure();
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

void ReadDocument(Json& root, standin::SceneModel& model) {
  const uint32_t seen = ForEachKey(root, 1, {"nodes", "materials", "texmaps"}, [&](int key, Json& v) {
    if (key == 0) {
      ForEachElement(v, [&](Json& e) {
        model.nodes.emplace_back();
        ReadNode(e, 3, model.nodes.back());
      });
    } else if (key == 1) {
      ForEachElement(v, [&](Json& e) {
        model.materials.emplace_back();
        ReadMaterial(e, 3, model.materials.back());
      });
    } else {
      ForEachElement(v, [&](Json& e) {
        model.texmaps.emplace_back();
        ReadTexmap(e, 3, model.texmaps.back());
      });
    }
  });
  if ((seen & Bit(0)) == 0) Unsure();
  // Nothing may follow the document's object.
  if (!root.Finish()) Unsure();
  CheckReferences(model);
}

// The parser follows nesting a little deeper than the strict reader allows, so that the depth
// checks above, which count as the strict reader does, are the ones that refuse.
constexpr size_t kParserDepth = kMaxJsonDepth + 2;

bool ReadFast(JsonPull& pull, standin::SceneModel& out) {
  out = standin::SceneModel();
  try {
    Json json(pull);
    standin::SceneModel model;
    ReadDocument(json, model);
    std::string error;
    if (!standin::ValidateSceneModel(model, error)) return false;
    out = std::move(model);
    return true;
  } catch (const GiveUp&) {
  } catch (const std::exception&) {
    // Out of memory: the strict reader decides.
  }
  out = standin::SceneModel();
  return false;
}

// A file read in pieces, held to the size it was given.
class FileSource : public JsonPull::Source {
 public:
  FileSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  bool Read(char* buffer, size_t size, size_t& got) override {
    got = std::fread(buffer, 1, size, file_);
    read_ += got;
    if (read_ > size_) return false;
    return got != 0 || (std::ferror(file_) == 0 && read_ == size_);
  }

 private:
  std::FILE* file_;
  uint64_t size_;
  uint64_t read_ = 0;
};

}  // namespace

bool HaveFastSceneReader() {
  return true;
}

bool ReadSceneDocumentFast(std::string_view text, standin::SceneModel& out) {
  out = standin::SceneModel();
  if (text.size() > kMaxSceneDocumentBytes) return false;
  JsonPull pull(text, kParserDepth);
  return ReadFast(pull, out);
}

bool ReadSceneFileFast(const std::string& path, uint64_t size, standin::SceneModel& out) {
  out = standin::SceneModel();
  if (size > kMaxSceneDocumentBytes) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  FileSource source(file, size);
  JsonPull pull(source, kParserDepth);
  const bool read = ReadFast(pull, out);
  std::fclose(file);
  return read;
}

}  // namespace cvm::import

#else  // no Boost.JSON: the strict reader reads every document

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

}  // namespace cvm::import

#endif
