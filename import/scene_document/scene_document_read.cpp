// The scene document reader: JSON tree -> SceneModel, refusing every deviation from the
// format with the path of the offending value. The big arrays of meshes do not become part of
// the tree: they are read element by element while the text is parsed (MeshArrays).
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <istream>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

#include "import/scene_document.h"
#include "import/scene_document_fast.h"
#include "import/strict_json.h"
#include "standin/scene_model_validate.h"

namespace cvm::import {
namespace {

using nlohmann::json;

// Thrown inside the reader only; LoadSceneDocument turns it into its error value.
struct DocumentError {
  std::string message;
};

// A path is only spelled out when an error needs it; a million faces cost no strings.
struct Path {
  const Path* parent = nullptr;
  std::string_view key;  // used when isIndex is false
  size_t index = 0;
  bool isIndex = false;

  Path Key(std::string_view k) const { return Path{this, k, 0, false}; }
  Path Index(size_t i) const { return Path{this, {}, i, true}; }

  std::string Text() const {
    if (parent == nullptr) return std::string();
    const std::string prefix = parent->Text();
    if (isIndex) return prefix + "[" + std::to_string(index) + "]";
    return AppendKeyToPath(prefix, key);
  }
};

[[noreturn]] void Fail(const Path& path, const std::string& what) {
  std::string text = path.Text();
  if (text.empty()) text = kDocumentPath;
  throw DocumentError{text + ": " + what};
}

[[noreturn]] void WrongType(const Path& path, const char* expected, const json& value) {
  Fail(path, std::string("expected ") + expected + ", got " + value.type_name());
}

// ---- Objects and their keys ------------------------------------------------------------

void CheckKeys(const json& object, const Path& path, std::initializer_list<const char*> allowed) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    const std::string& key = it.key();
    if (key[0] == '_') continue;  // comment; keys are never empty here: "" is not allowed below
    bool known = false;
    for (const char* name : allowed) known = known || key == name;
    if (!known) {
      std::string list;
      for (const char* name : allowed) list += std::string(list.empty() ? "" : ", ") + name;
      Fail(path.Key(key), "unknown key (expected one of: " + list + ")");
    }
  }
}

void ExpectObject(const json& value, const Path& path) {
  if (!value.is_object()) WrongType(path, "an object", value);
}

const json* Member(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

const json& Required(const json& object, const Path& path, const char* key) {
  const json* value = Member(object, key);
  if (value == nullptr) Fail(path, std::string("missing required key \"") + key + "\"");
  return *value;
}

const json& ExpectArray(const json& value, const Path& path) {
  if (!value.is_array()) WrongType(path, "an array", value);
  return value;
}

// ---- Scalars ---------------------------------------------------------------------------

bool ReadBool(const json& value, const Path& path) {
  if (!value.is_boolean()) WrongType(path, "true or false", value);
  return value.get<bool>();
}

std::string ReadString(const json& value, const Path& path) {
  if (!value.is_string()) WrongType(path, "a string", value);
  return value.get<std::string>();
}

// Every number is read as a double and rounded once to float; the strings name the values
// that JSON numbers cannot express.
float ReadFloat(const json& value, const Path& path) {
  if (value.is_number()) return static_cast<float>(value.get<double>());
  if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
    if (text == "inf") return std::numeric_limits<float>::infinity();
    if (text == "-inf") return -std::numeric_limits<float>::infinity();
    if (text == "-0") return -0.0f;
    Fail(path, "expected a number or one of \"nan\", \"inf\", \"-inf\", \"-0\", got \"" + text + "\"");
  }
  WrongType(path, "a number", value);
}

// A whole number (2 and 2.0 alike; the literal -0 is 0) within [lo, hi].
int64_t ReadWhole(const json& value, const Path& path, int64_t lo, int64_t hi, const char* what) {
  const auto outOfRange = [&]() {
    Fail(path, std::string(what) + " " + value.dump() + " out of range (" + std::to_string(lo) + " to " +
                   std::to_string(hi) + ")");
  };
  if (value.is_number_unsigned()) {
    const uint64_t u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(hi)) outOfRange();
    return static_cast<int64_t>(u);
  }
  if (value.is_number_integer()) {
    const int64_t i = value.get<int64_t>();
    if (i < lo || i > hi) outOfRange();
    return i;
  }
  if (value.is_number_float()) {
    const double d = value.get<double>();
    if (!std::isfinite(d) || std::trunc(d) != d)
      Fail(path, std::string(what) + " must be a whole number, got " + value.dump());
    // Compare as doubles: lo and hi are exact in double (both within 2^53).
    if (d < static_cast<double>(lo) || d > static_cast<double>(hi)) outOfRange();
    return static_cast<int64_t>(d);
  }
  Fail(path, std::string("expected ") + what + " (a whole number), got " + value.type_name());
}

uint32_t ReadU32(const json& value, const Path& path, const char* what) {
  return static_cast<uint32_t>(ReadWhole(value, path, 0, 4294967295LL, what));
}

int32_t ReadI32(const json& value, const Path& path, const char* what) {
  return static_cast<int32_t>(ReadWhole(value, path, INT32_MIN, INT32_MAX, what));
}

// The sizes of the arrays that references point into, known before any reference is read.
struct ReferenceTargets {
  size_t materials = 0;
  size_t texmaps = 0;
};

// A material or texmap index into an array of count entries, or null (-1).
int32_t ReadReference(const json& value, const Path& path, const char* what, const char* array,
                      size_t count) {
  if (value.is_null()) return -1;
  if (!value.is_number()) WrongType(path, (std::string("a ") + what + " index or null").c_str(), value);
  // -1 means none in the model, so a negative index must not slip through as null.
  const std::string name = std::string(what) + " index";
  const int64_t index = ReadWhole(value, path, 0, INT32_MAX, name.c_str());
  if (static_cast<uint64_t>(index) >= count) {
    Fail(path, name + " " + std::to_string(index) + " out of range (" + array + " has " +
                   std::to_string(count) + " entries)");
  }
  return static_cast<int32_t>(index);
}

// ---- Compound values -------------------------------------------------------------------

Point3 ReadPoint(const json& value, const Path& path) {
  if (!value.is_array()) WrongType(path, "a point [x, y, z]", value);
  if (value.size() != 3) Fail(path, "expected a point of 3 numbers, got " + std::to_string(value.size()));
  return {ReadFloat(value[0], path.Index(0)), ReadFloat(value[1], path.Index(1)),
          ReadFloat(value[2], path.Index(2))};
}

Point3 ReadTextureVertex(const json& value, const Path& path) {
  if (!value.is_array()) WrongType(path, "a texture vertex [u, v] or [u, v, w]", value);
  if (value.size() != 2 && value.size() != 3) {
    Fail(path, "expected a texture vertex of 2 or 3 numbers, got " + std::to_string(value.size()));
  }
  Point3 p{ReadFloat(value[0], path.Index(0)), ReadFloat(value[1], path.Index(1)), 0.0f};
  if (value.size() == 3) p.z = ReadFloat(value[2], path.Index(2));
  return p;
}

Matrix3 ReadMatrix(const json& value, const Path& path) {
  if (!value.is_array()) WrongType(path, "a transform (4 rows of 3 numbers)", value);
  if (value.size() != 4) Fail(path, "expected a transform of 4 rows, got " + std::to_string(value.size()));
  Matrix3 m;
  for (size_t r = 0; r < 4; ++r) m.row[r] = ReadPoint(value[r], path.Index(r));
  return m;
}

void ReadTriple(const json& value, const Path& path, const char* what, uint32_t (&out)[3]) {
  if (!value.is_array()) WrongType(path, "an index triple [a, b, c]", value);
  if (value.size() != 3) Fail(path, "expected 3 indices, got " + std::to_string(value.size()));
  const std::string name = std::string(what) + " index";
  for (size_t k = 0; k < 3; ++k) out[k] = ReadU32(value[k], path.Index(k), name.c_str());
}

ClassId ReadClassIdPair(const json& value, const Path& path) {
  if (!value.is_array()) WrongType(path, "a class id [a, b]", value);
  if (value.size() != 2) Fail(path, "expected a class id of 2 numbers, got " + std::to_string(value.size()));
  return {ReadU32(value[0], path.Index(0), "class id"), ReadU32(value[1], path.Index(1), "class id")};
}

// An array read element by element. Its count is not checked here: until the whole document
// is read a count is only a vector's size, and ValidateSceneModel then holds every count to
// the host's 32-bit (16-bit for parameters) limits. A document within kMaxSceneDocumentBytes
// cannot reach them anyway: an element and its separator take at least two bytes, so no
// array holds 2^28 elements.
template <typename ReadOne>
void ForEachElement(const json& value, const Path& path, ReadOne&& readOne) {
  ExpectArray(value, path);
  for (size_t i = 0; i < value.size(); ++i) readOne(value[i], path.Index(i), i);
}

// ---- The big arrays of a mesh -----------------------------------------------------------

// What the elements of a taken array are.
enum class ElementKind { kPoint, kTextureVertex, kTriple, kSmoothing, kMaterialId, kVertexNormal };

// A mesh array taken while the document is parsed (the bulk of a big document), its elements
// read as they come by the same functions that read a value of the tree. An element that is
// refused keeps its message, and the elements after it are not read: the reading of the tree
// raises it when it comes to the array, so a document gives the message it gives read whole.
struct TakenArray {
  ElementKind kind;
  const char* what;               // of a triple: "vertex", "texture vertex", "colour vertex"
  std::vector<std::string> keys;  // the path's keys, which steps point to
  std::vector<Path> steps;        // the path to the array; the last is the array's
  size_t count = 0;
  std::optional<std::string> error;
  std::vector<Point3> points;
  std::vector<std::array<uint32_t, 3>> triples;
  std::vector<uint32_t> values;
  standin::ExplicitNormalsModel normals;

  const Path& At() const { return steps.back(); }

  void Read(const json& element, size_t index) {
    ++count;
    if (error) return;
    try {
      const Path p = At().Index(index);
      switch (kind) {
        case ElementKind::kPoint:
          points.push_back(ReadPoint(element, p));
          break;
        case ElementKind::kTextureVertex:
          points.push_back(ReadTextureVertex(element, p));
          break;
        case ElementKind::kTriple: {
          uint32_t t[3];
          ReadTriple(element, p, what, t);
          triples.push_back({t[0], t[1], t[2]});
          break;
        }
        case ElementKind::kSmoothing:
          values.push_back(ReadU32(element, p, "smoothing mask"));
          break;
        case ElementKind::kMaterialId:
          values.push_back(static_cast<uint32_t>(ReadWhole(element, p, 0, 65535, "material id")));
          break;
        case ElementKind::kVertexNormal:
          ReadVertexNormal(element, p);
          break;
      }
    } catch (const DocumentError& e) {
      error = e.message;
    }
  }

  void ReadVertexNormal(const json& v, const Path& p) {
    ExpectObject(v, p);
    CheckKeys(v, p, {"specified", "entries"});
    const bool specified = ReadBool(Required(v, p, "specified"), p.Key("specified"));
    normals.AddVertex(specified);
    const Path entriesPath = p.Key("entries");
    const json& entries = ExpectArray(Required(v, p, "entries"), entriesPath);
    if (entries.size() > 255) Fail(entriesPath, std::to_string(entries.size()) + " entries, more than 255");
    if (specified && entries.empty()) Fail(entriesPath, "a specified normal needs at least one entry");
    ForEachElement(entries, entriesPath, [&](const json& e, const Path& ep, size_t) {
      ExpectObject(e, ep);
      CheckKeys(e, ep, {"normal", "smoothing"});
      RNormalEntry entry{};
      entry.normal = ReadPoint(Required(e, ep, "normal"), ep.Key("normal"));
      entry.smGroup = ReadU32(Required(e, ep, "smoothing"), ep.Key("smoothing"), "smoothing mask");
      normals.AddEntry(entry);
    });
  }
};

// Takes the mesh arrays of the nodes' objects: nodes[i].object.KEY, .colors.KEY and
// .normals.KEY, whatever the object's kind turns out to be (its "kind" may come later); those
// of an object that is no mesh are never looked at, as the tree's reading refuses their keys.
class MeshArrays final : public ArrayTaker {
 public:
  int Take(const std::vector<JsonStep>& path) override {
    if (path.size() < 4 || path.size() > 5 || path[0].isIndex || path[0].key != "nodes" || !path[1].isIndex ||
        path[2].isIndex || path[2].key != "object" || path[3].isIndex ||
        (path.size() == 5 && path[4].isIndex))
      return -1;
    const std::string_view group = path.size() == 5 ? path[3].key : std::string_view();
    const std::string_view key = path.back().key;
    static constexpr struct {
      std::string_view group, key;
      ElementKind kind;
      const char* what;
    } kTaken[] = {
        {"", "vertices", ElementKind::kPoint, ""},
        {"", "faces", ElementKind::kTriple, "vertex"},
        {"", "smoothing", ElementKind::kSmoothing, ""},
        {"", "materialIds", ElementKind::kMaterialId, ""},
        {"", "tverts", ElementKind::kTextureVertex, ""},
        {"", "tvFaces", ElementKind::kTriple, "texture vertex"},
        {"colors", "verts", ElementKind::kPoint, ""},
        {"colors", "faces", ElementKind::kTriple, "colour vertex"},
        {"normals", "faceNormals", ElementKind::kPoint, ""},
        {"normals", "vertexNormals", ElementKind::kVertexNormal, ""},
    };
    for (const auto& t : kTaken) {
      if (t.group != group || t.key != key) continue;
      auto array = std::make_unique<TakenArray>();
      array->kind = t.kind;
      array->what = t.what;
      // Reserved, so that the steps' keys and parents stay where they are.
      array->keys.reserve(path.size());
      array->steps.reserve(path.size() + 1);
      array->steps.emplace_back();
      for (const JsonStep& step : path) {
        const Path& parent = array->steps.back();
        if (step.isIndex) {
          array->steps.push_back(parent.Index(step.index));
        } else {
          array->keys.emplace_back(step.key);
          array->steps.push_back(parent.Key(array->keys.back()));
        }
      }
      arrays_.push_back(std::move(array));
      return static_cast<int>(arrays_.size() - 1);
    }
    return -1;
  }
  void Element(int id, const json& element, size_t index) override {
    arrays_[static_cast<size_t>(id)]->Read(element, index);
  }

  // The array that value stands for in the tree; a value of another kind is refused as the
  // tree's reading refuses it, as not an array.
  TakenArray& Of(const json& value, const Path& path) {
    if (value.is_binary() && value.get_binary().has_subtype() &&
        value.get_binary().subtype() < arrays_.size())
      return *arrays_[static_cast<size_t>(value.get_binary().subtype())];
    ExpectArray(value, path);
    // An array in the tree where one is taken: only when the parse was given no taker.
    Fail(path, "array not taken while parsing");
  }

 private:
  std::vector<std::unique_ptr<TakenArray>> arrays_;
};

// The taken array at value, its elements all read; raises the first element refused.
TakenArray& Elements(MeshArrays& arrays, const json& value, const Path& path) {
  TakenArray& array = arrays.Of(value, path);
  if (array.error) throw DocumentError{*array.error};
  return array;
}

// A taken array of one entry per face: its count is checked before any element's message.
TakenArray& ElementsOnePerFace(MeshArrays& arrays, const json& value, const Path& path, size_t faceCount) {
  TakenArray& array = arrays.Of(value, path);
  if (array.count != faceCount) {
    Fail(path, std::to_string(array.count) + " entries for " + std::to_string(faceCount) + " faces");
  }
  return Elements(arrays, value, path);
}

// ---- Objects ---------------------------------------------------------------------------

void ReadNormals(const json& value, const Path& path, MeshArrays& arrays, standin::MeshModel& mesh) {
  ExpectObject(value, path);
  CheckKeys(value, path, {"faceNormals", "vertexNormals"});
  standin::ExplicitNormalsModel normals;
  const Path faceNormalsPath = path.Key("faceNormals");
  normals.faceNormals = std::move(
      ElementsOnePerFace(arrays, Required(value, path, "faceNormals"), faceNormalsPath, mesh.faces.size())
          .points);
  const Path vertexNormalsPath = path.Key("vertexNormals");
  const json& vertexNormalsValue = Required(value, path, "vertexNormals");
  TakenArray& vertexNormals = arrays.Of(vertexNormalsValue, vertexNormalsPath);
  if (vertexNormals.count != mesh.vertices.size()) {
    Fail(vertexNormalsPath, std::to_string(vertexNormals.count) + " entries for " +
                                std::to_string(mesh.vertices.size()) + " vertices");
  }
  Elements(arrays, vertexNormalsValue, vertexNormalsPath);
  normals.entries = std::move(vertexNormals.normals.entries);
  normals.entryStart = std::move(vertexNormals.normals.entryStart);
  normals.specified = std::move(vertexNormals.normals.specified);
  mesh.normals = std::move(normals);
}

void ReadMesh(const json& value, const Path& path, MeshArrays& arrays, standin::ObjectModel& object) {
  CheckKeys(value, path,
            {"kind", "superClassId", "classId", "native", "vertices", "faces", "smoothing", "materialIds",
             "tverts", "tvFaces", "colors", "normals"});
  standin::MeshModel& mesh = object.mesh;
  mesh.vertices = std::move(Elements(arrays, Required(value, path, "vertices"), path.Key("vertices")).points);

  const std::vector<std::array<uint32_t, 3>>& faces =
      Elements(arrays, Required(value, path, "faces"), path.Key("faces")).triples;
  mesh.faces.resize(faces.size(), MeshFace{{0, 0, 0}, 0, 0});
  for (size_t f = 0; f < faces.size(); ++f) {
    for (size_t k = 0; k < 3; ++k) mesh.faces[f].v[k] = faces[f][k];
  }

  if (const json* smoothing = Member(value, "smoothing")) {
    const std::vector<uint32_t>& masks =
        ElementsOnePerFace(arrays, *smoothing, path.Key("smoothing"), faces.size()).values;
    for (size_t f = 0; f < masks.size(); ++f) mesh.faces[f].smGroup = masks[f];
  }
  if (const json* materialIds = Member(value, "materialIds")) {
    const std::vector<uint32_t>& ids =
        ElementsOnePerFace(arrays, *materialIds, path.Key("materialIds"), faces.size()).values;
    for (size_t f = 0; f < ids.size(); ++f)
      mesh.faces[f].flags = standin::FlagsWithMaterialId(static_cast<uint16_t>(ids[f]));
  }
  if (const json* tverts = Member(value, "tverts")) {
    mesh.tverts = std::move(Elements(arrays, *tverts, path.Key("tverts")).points);
  }
  const json* tvFaces = Member(value, "tvFaces");
  if (mesh.tverts.empty()) {
    if (tvFaces != nullptr) Fail(path.Key("tvFaces"), "given for a mesh without tverts");
  } else {
    const Path p = path.Key("tvFaces");
    if (tvFaces == nullptr) Fail(path, "missing required key \"tvFaces\" (the mesh has tverts)");
    const std::vector<std::array<uint32_t, 3>>& triples =
        ElementsOnePerFace(arrays, *tvFaces, p, faces.size()).triples;
    mesh.tvFaces.resize(faces.size(), TVFace{{0, 0, 0}});
    for (size_t f = 0; f < triples.size(); ++f) {
      for (size_t k = 0; k < 3; ++k) mesh.tvFaces[f].t[k] = triples[f][k];
    }
  }
  if (const json* colors = Member(value, "colors")) {
    const Path p = path.Key("colors");
    ExpectObject(*colors, p);
    CheckKeys(*colors, p, {"verts", "faces"});
    standin::ColorChannelModel channel;
    channel.verts = std::move(Elements(arrays, Required(*colors, p, "verts"), p.Key("verts")).points);
    const std::vector<std::array<uint32_t, 3>>& triples =
        ElementsOnePerFace(arrays, Required(*colors, p, "faces"), p.Key("faces"), faces.size()).triples;
    channel.faces.resize(faces.size(), TVFace{{0, 0, 0}});
    for (size_t f = 0; f < triples.size(); ++f) {
      for (size_t k = 0; k < 3; ++k) channel.faces[f].t[k] = triples[f][k];
    }
    mesh.colors = std::move(channel);
  }
  if (const json* normals = Member(value, "normals"))
    ReadNormals(*normals, path.Key("normals"), arrays, mesh);
}

void ReadShape(const json& value, const Path& path, standin::ObjectModel& object) {
  CheckKeys(value, path, {"kind", "superClassId", "classId", "native", "alsoMesh", "splines"});
  if (const json* alsoMesh = Member(value, "alsoMesh"))
    object.alsoMesh = ReadBool(*alsoMesh, path.Key("alsoMesh"));
  if (const json* splines = Member(value, "splines")) {
    const Path p = path.Key("splines");
    ExpectArray(*splines, p);
    object.splines.resize(splines->size());
    ForEachElement(*splines, p, [&](const json& v, const Path& sp, size_t s) {
      ExpectObject(v, sp);
      CheckKeys(v, sp, {"closed", "knots"});
      standin::SplineModel& spline = object.splines[s];
      spline.closed = ReadBool(Required(v, sp, "closed"), sp.Key("closed"));
      const json& knots = ExpectArray(Required(v, sp, "knots"), sp.Key("knots"));
      spline.knots.reserve(knots.size());
      ForEachElement(knots, sp.Key("knots"), [&](const json& k, const Path& kp, size_t) {
        spline.knots.push_back(ReadPoint(k, kp));
      });
    });
  }
}

void ReadLight(const json& value, const Path& path, standin::ObjectModel& object) {
  CheckKeys(value, path, {"kind", "superClassId", "classId", "lightType", "color", "intensity"});
  if (const json* v = Member(value, "lightType"))
    object.light.lightType = ReadI32(*v, path.Key("lightType"), "light type");
  if (const json* v = Member(value, "color")) object.light.color = ReadPoint(*v, path.Key("color"));
  if (const json* v = Member(value, "intensity"))
    object.light.intensity = ReadFloat(*v, path.Key("intensity"));
}

void ReadObject(const json& value, const Path& path, MeshArrays& arrays, standin::ObjectModel& object) {
  ExpectObject(value, path);
  const json& kind = Required(value, path, "kind");
  const std::string kindName = ReadString(kind, path.Key("kind"));
  if (kindName == "mesh") {
    object.kind = standin::ObjectKind::kMesh;
  } else if (kindName == "shape") {
    object.kind = standin::ObjectKind::kShape;
  } else if (kindName == "light") {
    object.kind = standin::ObjectKind::kLight;
  } else if (kindName == "helper") {
    object.kind = standin::ObjectKind::kHelper;
  } else if (kindName == "camera") {
    object.kind = standin::ObjectKind::kCamera;
  } else {
    Fail(path.Key("kind"),
         "unknown object kind \"" + kindName + "\" (expected mesh, shape, light, helper or camera)");
  }
  if (const json* v = Member(value, "superClassId"))
    object.superClassId = ReadU32(*v, path.Key("superClassId"), "super class id");
  if (const json* v = Member(value, "classId")) object.classId = ReadClassIdPair(*v, path.Key("classId"));
  if (const json* v = Member(value, "native")) {
    // Only meshes and shapes know the key; CheckKeys below refuses it for the others.
    if (object.kind == standin::ObjectKind::kMesh || object.kind == standin::ObjectKind::kShape)
      object.native = ReadBool(*v, path.Key("native"));
  }
  switch (object.kind) {
    case standin::ObjectKind::kMesh:
      ReadMesh(value, path, arrays, object);
      break;
    case standin::ObjectKind::kShape:
      ReadShape(value, path, object);
      break;
    case standin::ObjectKind::kLight:
      ReadLight(value, path, object);
      break;
    case standin::ObjectKind::kHelper:
    case standin::ObjectKind::kCamera:
      CheckKeys(value, path, {"kind", "superClassId", "classId"});
      break;
  }
}

void ReadNode(const json& value, const Path& path, const ReferenceTargets& targets, MeshArrays& arrays,
              standin::NodeModel& node) {
  ExpectObject(value, path);
  CheckKeys(value, path,
            {"name", "userText", "selected", "hidden", "transform", "pivot", "material", "object"});
  if (const json* v = Member(value, "name")) node.name = ReadString(*v, path.Key("name"));
  if (const json* v = Member(value, "userText")) node.userText = ReadString(*v, path.Key("userText"));
  if (const json* v = Member(value, "selected")) node.selected = ReadBool(*v, path.Key("selected"));
  if (const json* v = Member(value, "hidden")) node.hidden = ReadBool(*v, path.Key("hidden"));
  if (const json* v = Member(value, "transform")) node.transform = ReadMatrix(*v, path.Key("transform"));
  if (const json* v = Member(value, "pivot")) node.pivot = ReadMatrix(*v, path.Key("pivot"));
  if (const json* v = Member(value, "material"))
    node.material = ReadReference(*v, path.Key("material"), "material", "materials", targets.materials);
  ReadObject(Required(value, path, "object"), path.Key("object"), arrays, node.object);
}

// ---- Materials and texture maps --------------------------------------------------------

constexpr const char* kSlotNames[standin::kMaterialMapSlotCount] = {
    "ambient", "diffuse", "specular", "shininess",  "shininessStrength", "selfIllum",
    "opacity", "filter",  "bump",     "reflection", "refraction",        "displacement"};

int SlotOfKey(const std::string& key) {
  for (int slot = 0; slot < standin::kMaterialMapSlotCount; ++slot) {
    if (key == kSlotNames[slot] || key == std::to_string(slot)) return slot;
  }
  return -1;
}

void ReadMaps(const json& value, const Path& path, const ReferenceTargets& targets,
              standin::MaterialModel& material) {
  ExpectObject(value, path);
  std::array<const std::string*, standin::kMaterialMapSlotCount> givenBy{};
  for (auto it = value.begin(); it != value.end(); ++it) {
    const std::string& key = it.key();
    if (key[0] == '_') continue;
    const Path p = path.Key(key);
    const int slot = SlotOfKey(key);
    if (slot < 0) Fail(p, "unknown map slot (expected \"0\" to \"11\" or a slot name such as \"diffuse\")");
    if (givenBy[slot] != nullptr)
      Fail(p, "map slot " + std::to_string(slot) + " is already given as \"" + *givenBy[slot] + "\"");
    givenBy[slot] = &key;
    const json& entry = *it;
    ExpectObject(entry, p);
    CheckKeys(entry, p, {"texmap", "enabled"});
    standin::MapSlotModel& target = material.maps[slot];
    target.texmap =
        ReadReference(Required(entry, p, "texmap"), p.Key("texmap"), "texmap", "texmaps", targets.texmaps);
    target.enabled = true;
    if (const json* v = Member(entry, "enabled")) target.enabled = ReadBool(*v, p.Key("enabled"));
  }
}

void ReadParam(const json& value, const Path& path, standin::ParamModel& param) {
  ExpectObject(value, path);
  CheckKeys(value, path, {"name", "id", "type", "value"});
  param.name = ReadString(Required(value, path, "name"), path.Key("name"));
  param.id = ReadU32(Required(value, path, "id"), path.Key("id"), "parameter id");
  const std::string type = ReadString(Required(value, path, "type"), path.Key("type"));
  const json& v = Required(value, path, "value");
  if (type == "int") {
    param.type = standin::ParamType::kInt;
    param.intValue = ReadI32(v, path.Key("value"), "int value");
  } else if (type == "float") {
    param.type = standin::ParamType::kFloat;
    param.floatValue = ReadFloat(v, path.Key("value"));
  } else if (type == "point3") {
    param.type = standin::ParamType::kPoint3;
    param.point3Value = ReadPoint(v, path.Key("value"));
  } else {
    Fail(path.Key("type"), "unknown parameter type \"" + type + "\" (expected int, float or point3)");
  }
}

void ReadCustomAttributes(const json& value, const Path& path, standin::MaterialModel& material) {
  if (value.is_null()) return;
  if (!value.is_array()) WrongType(path, "an array or null", value);
  std::vector<standin::CustAttribModel> attributes(value.size());
  ForEachElement(value, path, [&](const json& v, const Path& p, size_t a) {
    ExpectObject(v, p);
    CheckKeys(v, p, {"className", "paramBlock", "params"});
    standin::CustAttribModel& attribute = attributes[a];
    attribute.className = ReadString(Required(v, p, "className"), p.Key("className"));
    attribute.paramBlock = ReadBool(Required(v, p, "paramBlock"), p.Key("paramBlock"));
    const json& params = ExpectArray(Required(v, p, "params"), p.Key("params"));
    if (params.size() > 65535)
      Fail(p.Key("params"), std::to_string(params.size()) + " parameters, more than 65535");
    attribute.params.resize(params.size());
    ForEachElement(params, p.Key("params"),
                   [&](const json& pv, const Path& pp, size_t i) { ReadParam(pv, pp, attribute.params[i]); });
  });
  material.customAttributes = std::move(attributes);
}

void ReadMaterial(const json& value, const Path& path, const ReferenceTargets& targets,
                  standin::MaterialModel& material) {
  ExpectObject(value, path);
  CheckKeys(value, path,
            {"name", "class", "isMulti", "subMaterials", "twoSided", "diffuse", "ambient", "specular",
             "selfIllum", "shininess", "shininessStrength", "maps", "customAttributes"});
  if (const json* v = Member(value, "name")) material.name = ReadString(*v, path.Key("name"));
  if (const json* v = Member(value, "class")) {
    const Path p = path.Key("class");
    if (v->is_string()) {
      const std::string name = v->get<std::string>();
      if (name == "standard") {
        material.classId = {2, 0};
      } else if (name == "multi") {
        material.classId = {standin::kMultiMaterialClassA, 0};
      } else if (name == "shell") {
        material.classId = kShellMaterialClassId;
      } else {
        Fail(p, "unknown material class \"" + name +
                    "\" (expected \"standard\", \"multi\", \"shell\" or [a, b])");
      }
    } else {
      material.classId = ReadClassIdPair(*v, p);
    }
  }
  if (const json* v = Member(value, "isMulti")) material.isMulti = ReadBool(*v, path.Key("isMulti"));
  if (const json* v = Member(value, "subMaterials")) {
    const Path p = path.Key("subMaterials");
    ExpectArray(*v, p);
    material.subMaterials.reserve(v->size());
    ForEachElement(*v, p, [&](const json& e, const Path& ep, size_t) {
      material.subMaterials.push_back(ReadReference(e, ep, "material", "materials", targets.materials));
    });
  }
  if (const json* v = Member(value, "twoSided")) material.twoSided = ReadBool(*v, path.Key("twoSided"));
  if (const json* v = Member(value, "diffuse")) material.diffuse = ReadPoint(*v, path.Key("diffuse"));
  if (const json* v = Member(value, "ambient")) material.ambient = ReadPoint(*v, path.Key("ambient"));
  if (const json* v = Member(value, "specular")) material.specular = ReadPoint(*v, path.Key("specular"));
  if (const json* v = Member(value, "selfIllum")) material.selfIllum = ReadPoint(*v, path.Key("selfIllum"));
  if (const json* v = Member(value, "shininess")) material.shininess = ReadFloat(*v, path.Key("shininess"));
  if (const json* v = Member(value, "shininessStrength"))
    material.shininessStrength = ReadFloat(*v, path.Key("shininessStrength"));
  if (const json* v = Member(value, "maps")) ReadMaps(*v, path.Key("maps"), targets, material);
  if (const json* v = Member(value, "customAttributes"))
    ReadCustomAttributes(*v, path.Key("customAttributes"), material);
}

void ReadTexmap(const json& value, const Path& path, standin::TexmapModel& texmap) {
  ExpectObject(value, path);
  CheckKeys(value, path, {"class", "fileName"});
  if (const json* v = Member(value, "class")) {
    const Path p = path.Key("class");
    if (v->is_string()) {
      if (v->get<std::string>() != "bitmap")
        Fail(p, "unknown texmap class \"" + v->get<std::string>() + "\" (expected \"bitmap\" or [a, b])");
      texmap.classId = kBitmapTexClassId;
    } else {
      texmap.classId = ReadClassIdPair(*v, p);
    }
  }
  if (const json* v = Member(value, "fileName")) texmap.fileName = ReadString(*v, path.Key("fileName"));
}

void ReadDocument(const json& root, MeshArrays& arrays, standin::SceneModel& model) {
  const Path path;
  ExpectObject(root, path);
  CheckKeys(root, path, {"nodes", "materials", "texmaps"});
  const json& nodes = ExpectArray(Required(root, path, "nodes"), path.Key("nodes"));
  const json* materials = Member(root, "materials");
  const json* texmaps = Member(root, "texmaps");
  ReferenceTargets targets;
  if (materials != nullptr) targets.materials = ExpectArray(*materials, path.Key("materials")).size();
  if (texmaps != nullptr) targets.texmaps = ExpectArray(*texmaps, path.Key("texmaps")).size();

  model.nodes.resize(nodes.size());
  ForEachElement(nodes, path.Key("nodes"), [&](const json& v, const Path& p, size_t i) {
    ReadNode(v, p, targets, arrays, model.nodes[i]);
  });
  if (materials != nullptr) {
    model.materials.resize(materials->size());
    ForEachElement(*materials, path.Key("materials"), [&](const json& v, const Path& p, size_t i) {
      ReadMaterial(v, p, targets, model.materials[i]);
    });
  }
  if (texmaps != nullptr) {
    model.texmaps.resize(texmaps->size());
    ForEachElement(*texmaps, path.Key("texmaps"),
                   [&](const json& v, const Path& p, size_t i) { ReadTexmap(v, p, model.texmaps[i]); });
  }
}

}  // namespace

namespace {

std::string TooLargeMessage(uintmax_t size) {
  return std::string(kDocumentPath) + ": the document is " + std::to_string(size) +
         " bytes, more than the limit of " + std::to_string(kMaxSceneDocumentBytes) + " bytes (512 MiB)";
}

// Parses by parse(root, arrays, error), which is false with error set on a refusal, and reads
// the tree and the taken arrays into out.
template <typename Parse>
bool ReadParsed(Parse parse, standin::SceneModel& out, std::string& error) {
  out = standin::SceneModel();
  try {
    json root;
    MeshArrays arrays;
    if (!parse(root, arrays, error)) return false;
    standin::SceneModel model;
    ReadDocument(root, arrays, model);
    if (!standin::ValidateSceneModel(model, error)) return false;
    out = std::move(model);
    return true;
  } catch (const DocumentError& e) {
    error = e.message;
  } catch (const std::bad_alloc&) {
    error = std::string(kDocumentPath) + ": out of memory";
  } catch (const std::exception& e) {
    // Not expected: every value is type-checked before it is read.
    error = std::string(kDocumentPath) + ": " + e.what();
  }
  out = standin::SceneModel();
  return false;
}

// The bytes of a file for the parser, in blocks, so that the text is never held whole. Like a
// file read whole, it is held to kMaxSceneDocumentBytes (a pipe or a growing file too), and a
// read error is kept: either ends the bytes, and the caller reports it before anything the
// parser made of them.
class FileBlocks final : public std::streambuf {
 public:
  explicit FileBlocks(std::FILE* file) : file_(file) {}

  // Reads the rest, so that a read error or the limit is found wherever it lies, even when the
  // parser stopped early.
  void Drain() {
    while (Refill()) {
    }
  }
  // The problem that ended the bytes, or empty when the file ended.
  std::string Problem() const {
    if (readErrno_ != 0) return std::string("cannot read the scene document: ") + std::strerror(readErrno_);
    if (tooLarge_ != 0) return TooLargeMessage(tooLarge_);
    return std::string();
  }

 protected:
  int_type underflow() override {
    if (gptr() == egptr() && !Refill()) return traits_type::eof();
    return traits_type::to_int_type(*gptr());
  }

 private:
  bool Refill() {
    if (ended_) return false;
    const size_t got = std::fread(block_, 1, sizeof block_, file_);
    if (got == 0) {
      // A folder opens like a file on some systems and only fails when read.
      if (std::ferror(file_) != 0) readErrno_ = errno != 0 ? errno : EIO;
      ended_ = true;
      return false;
    }
    if (read_ + got > kMaxSceneDocumentBytes) {
      tooLarge_ = read_ + got;
      ended_ = true;
      return false;
    }
    read_ += got;
    setg(block_, block_, block_ + got);
    return true;
  }

  std::FILE* file_;
  char block_[1 << 16];
  size_t read_ = 0;
  size_t tooLarge_ = 0;  // the bytes read when they passed the limit
  int readErrno_ = 0;
  bool ended_ = false;
};

}  // namespace

bool LoadSceneDocument(std::string_view text, standin::SceneModel& out, std::string& error) {
  if (HaveFastSceneReader() && ReadSceneDocumentFast(text, out)) return true;
  return LoadSceneDocumentStrict(text, out, error);
}

bool LoadSceneDocumentStrict(std::string_view text, standin::SceneModel& out, std::string& error) {
  out = standin::SceneModel();
  if (text.size() > kMaxSceneDocumentBytes) {
    error = TooLargeMessage(text.size());
    return false;
  }
  return ReadParsed([&](json& root, MeshArrays& arrays,
                        std::string& problem) { return ParseStrictJson(text, root, problem, &arrays); },
                    out, error);
}

bool LoadSceneFile(const std::string& path, standin::SceneModel& out, std::string& error) {
  const auto refuse = [&](std::string message) {
    out = standin::SceneModel();
    error = std::move(message);
    return false;
  };
  // A regular file's size is known before anything is read: refuse an oversized one at once.
  std::error_code sizeError;
  const uintmax_t size = std::filesystem::file_size(path, sizeError);
  if (!sizeError && size > kMaxSceneDocumentBytes) return refuse(TooLargeMessage(size));
  if (HaveFastSceneReader() && !sizeError && std::filesystem::is_regular_file(path, sizeError) &&
      !sizeError && ReadSceneFileFast(path, size, out))
    return true;

  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (file == nullptr) return refuse("cannot open the scene document");
  // Parsed as it is read; a read error or the limit wins over whatever the parser found.
  FileBlocks blocks(file.get());
  std::istream text(&blocks);
  return ReadParsed(
      [&](json& root, MeshArrays& arrays, std::string& problem) {
        const bool parsed = ParseStrictJson(text, root, problem, &arrays);
        blocks.Drain();
        if (std::string cause = blocks.Problem(); !cause.empty()) {
          problem = std::move(cause);
          return false;
        }
        return parsed;
      },
      out, error);
}

std::unique_ptr<standin::StandinScene> LoadStandinScene(std::string_view json, std::string& error) {
  standin::SceneModel model;
  if (!LoadSceneDocument(json, model, error)) return nullptr;
  return std::make_unique<standin::StandinScene>(std::move(model));
}

}  // namespace cvm::import
