// The scene document writer: SceneModel -> JSON text that reads back to the same model.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "import/scene_document.h"
#include "standin/build_normals.h"

namespace cvm::import {
namespace {

// Shortest text that reads back to the same float. The reader parses a double and rounds it
// to float, which can differ from rounding the decimal straight to float in rare halfway
// cases; those get the float's exact double value instead.
void AppendFloat(std::string& out, float value) {
  if (std::isnan(value)) {
    out += "\"nan\"";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "\"inf\"" : "\"-inf\"";
    return;
  }
  if (value == 0.0f && std::signbit(value)) {
    out += "\"-0\"";
    return;
  }
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (static_cast<float>(std::strtod(text.c_str(), nullptr)) != value) {
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value));
    text.assign(buffer, result.ptr);
  }
  out += text;
}

void AppendString(std::string& out, const std::string& value) {
  out += nlohmann::json(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void AppendPoint(std::string& out, const Point3& p) {
  out += '[';
  AppendFloat(out, p.x);
  out += ", ";
  AppendFloat(out, p.y);
  out += ", ";
  AppendFloat(out, p.z);
  out += ']';
}

void AppendTriple(std::string& out, const uint32_t (&t)[3]) {
  out += '[' + std::to_string(t[0]) + ", " + std::to_string(t[1]) + ", " + std::to_string(t[2]) + ']';
}

void AppendClassId(std::string& out, const ClassId& id) {
  out += '[' + std::to_string(id.a) + ", " + std::to_string(id.b) + ']';
}

void AppendMatrix(std::string& out, const Matrix3& m) {
  out += '[';
  for (int r = 0; r < 4; ++r) {
    if (r > 0) out += ", ";
    AppendPoint(out, m.row[r]);
  }
  out += ']';
}

void AppendReference(std::string& out, int32_t index) {
  out += index < 0 ? std::string("null") : std::to_string(index);
}

// Writes "key": value pairs of one object with commas and indentation; the first member
// opens the line.
class ObjectWriter {
 public:
  ObjectWriter(std::string& out, int indent) : out_(out), indent_(indent) { out_ += '{'; }

  std::string& Key(const char* key) {
    out_ += first_ ? "\n" : ",\n";
    first_ = false;
    out_.append(static_cast<size_t>(indent_ + 2), ' ');
    out_ += '"';
    out_ += key;
    out_ += "\": ";
    return out_;
  }

  void End() {
    if (!first_) {
      out_ += '\n';
      out_.append(static_cast<size_t>(indent_), ' ');
    }
    out_ += '}';
  }

  int Indent() const { return indent_ + 2; }

 private:
  std::string& out_;
  int indent_;
  bool first_ = true;
};

// An array of items, one per line.
template <typename Items, typename AppendItem>
void AppendList(std::string& out, int indent, const Items& items, AppendItem&& appendItem) {
  if (items.empty()) {
    out += "[]";
    return;
  }
  out += '[';
  bool first = true;
  for (const auto& item : items) {
    out += first ? "\n" : ",\n";
    first = false;
    out.append(static_cast<size_t>(indent + 2), ' ');
    appendItem(item);
  }
  out += '\n';
  out.append(static_cast<size_t>(indent), ' ');
  out += ']';
}

void AppendMesh(std::string& out, ObjectWriter& w, const standin::MeshModel& mesh) {
  const int indent = w.Indent();
  AppendList(w.Key("vertices"), indent, mesh.vertices, [&](const Point3& p) { AppendPoint(out, p); });
  AppendList(w.Key("faces"), indent, mesh.faces, [&](const MeshFace& f) { AppendTriple(out, f.v); });
  AppendList(w.Key("smoothing"), indent, mesh.faces,
             [&](const MeshFace& f) { out += std::to_string(f.smGroup); });
  AppendList(w.Key("materialIds"), indent, mesh.faces,
             [&](const MeshFace& f) { out += std::to_string(standin::FaceMaterialId(f)); });
  if (!mesh.tverts.empty()) {
    AppendList(w.Key("tverts"), indent, mesh.tverts, [&](const Point3& p) { AppendPoint(out, p); });
    if (mesh.tvFacesAreVertexFaces) {
      AppendList(w.Key("tvFaces"), indent, mesh.faces, [&](const MeshFace& f) { AppendTriple(out, f.v); });
    } else {
      AppendList(w.Key("tvFaces"), indent, mesh.tvFaces, [&](const TVFace& f) { AppendTriple(out, f.t); });
    }
  }
  if (mesh.colors) {
    ObjectWriter colors(w.Key("colors"), indent);
    AppendList(colors.Key("verts"), colors.Indent(), mesh.colors->verts,
               [&](const Point3& p) { AppendPoint(out, p); });
    if (mesh.colors->facesAreVertexFaces) {
      AppendList(colors.Key("faces"), colors.Indent(), mesh.faces,
                 [&](const MeshFace& f) { AppendTriple(out, f.v); });
    } else {
      AppendList(colors.Key("faces"), colors.Indent(), mesh.colors->faces,
                 [&](const TVFace& f) { AppendTriple(out, f.t); });
    }
    colors.End();
  }
  if (mesh.normals) {
    ObjectWriter normals(w.Key("normals"), indent);
    // Face normals left out of the model are the faces' own: the document states them.
    std::vector<Point3> computed;
    if (mesh.normals->faceNormals.empty()) standin::ComputeFaceNormals(mesh, computed);
    AppendList(normals.Key("faceNormals"), normals.Indent(),
               mesh.normals->faceNormals.empty() ? computed : mesh.normals->faceNormals,
               [&](const Point3& p) { AppendPoint(out, p); });
    const standin::ExplicitNormalsModel& explicitNormals = *mesh.normals;
    std::vector<size_t> vertices(explicitNormals.VertexCount());
    for (size_t v = 0; v < vertices.size(); ++v) vertices[v] = v;
    AppendList(normals.Key("vertexNormals"), normals.Indent(), vertices, [&](size_t v) {
      out += std::string("{\"specified\": ") + (explicitNormals.specified[v] ? "true" : "false") +
             ", \"entries\": [";
      for (size_t e = 0; e < explicitNormals.EntryCount(v); ++e) {
        const RNormalEntry& entry = explicitNormals.VertexEntries(v)[e];
        out += e == 0 ? "{\"normal\": " : ", {\"normal\": ";
        AppendPoint(out, entry.normal);
        out += ", \"smoothing\": " + std::to_string(entry.smGroup) + "}";
      }
      out += "]}";
    });
    normals.End();
  }
}

const char* KindName(standin::ObjectKind kind) {
  switch (kind) {
    case standin::ObjectKind::kMesh:
      return "mesh";
    case standin::ObjectKind::kShape:
      return "shape";
    case standin::ObjectKind::kLight:
      return "light";
    case standin::ObjectKind::kHelper:
      return "helper";
    case standin::ObjectKind::kCamera:
      return "camera";
  }
  return "";
}

void AppendObject(std::string& out, int indent, const standin::ObjectModel& object) {
  ObjectWriter w(out, indent);
  AppendString(w.Key("kind"), KindName(object.kind));
  if (object.superClassId) w.Key("superClassId") += std::to_string(*object.superClassId);
  if (object.classId) AppendClassId(w.Key("classId"), *object.classId);
  if (object.kind == standin::ObjectKind::kMesh || object.kind == standin::ObjectKind::kShape) {
    w.Key("native") += object.native ? "true" : "false";
  }
  switch (object.kind) {
    case standin::ObjectKind::kMesh:
      AppendMesh(out, w, object.mesh);
      break;
    case standin::ObjectKind::kShape:
      w.Key("alsoMesh") += object.alsoMesh ? "true" : "false";
      AppendList(w.Key("splines"), w.Indent(), object.splines, [&](const standin::SplineModel& spline) {
        out += std::string("{\"closed\": ") + (spline.closed ? "true" : "false") + ", \"knots\": [";
        for (size_t k = 0; k < spline.knots.size(); ++k) {
          if (k > 0) out += ", ";
          AppendPoint(out, spline.knots[k]);
        }
        out += "]}";
      });
      break;
    case standin::ObjectKind::kLight:
      w.Key("lightType") += std::to_string(object.light.lightType);
      AppendPoint(w.Key("color"), object.light.color);
      AppendFloat(w.Key("intensity"), object.light.intensity);
      break;
    case standin::ObjectKind::kHelper:
    case standin::ObjectKind::kCamera:
      break;
  }
  w.End();
}

void AppendNode(std::string& out, int indent, const standin::NodeModel& node) {
  ObjectWriter w(out, indent);
  AppendString(w.Key("name"), node.name);
  AppendString(w.Key("userText"), node.userText);
  w.Key("selected") += node.selected ? "true" : "false";
  w.Key("hidden") += node.hidden ? "true" : "false";
  AppendMatrix(w.Key("transform"), node.transform);
  if (node.pivot) AppendMatrix(w.Key("pivot"), *node.pivot);
  AppendReference(w.Key("material"), node.material);
  AppendObject(w.Key("object"), w.Indent(), node.object);
  w.End();
}

void AppendParam(std::string& out, const standin::ParamModel& param) {
  out += "{\"name\": ";
  AppendString(out, param.name);
  out += ", \"id\": " + std::to_string(param.id) + ", \"type\": ";
  switch (param.type) {
    case standin::ParamType::kInt:
      out += "\"int\", \"value\": " + std::to_string(param.intValue);
      break;
    case standin::ParamType::kFloat:
      out += "\"float\", \"value\": ";
      AppendFloat(out, param.floatValue);
      break;
    case standin::ParamType::kPoint3:
      out += "\"point3\", \"value\": ";
      AppendPoint(out, param.point3Value);
      break;
  }
  out += '}';
}

void AppendMaterial(std::string& out, int indent, const standin::MaterialModel& material) {
  ObjectWriter w(out, indent);
  AppendString(w.Key("name"), material.name);
  AppendClassId(w.Key("class"), material.classId);
  if (material.isMulti) w.Key("isMulti") += *material.isMulti ? "true" : "false";
  std::string& subs = w.Key("subMaterials");
  subs += '[';
  for (size_t k = 0; k < material.subMaterials.size(); ++k) {
    if (k > 0) subs += ", ";
    AppendReference(subs, material.subMaterials[k]);
  }
  subs += ']';
  w.Key("twoSided") += material.twoSided ? "true" : "false";
  AppendPoint(w.Key("diffuse"), material.diffuse);
  AppendPoint(w.Key("ambient"), material.ambient);
  AppendPoint(w.Key("specular"), material.specular);
  AppendPoint(w.Key("selfIllum"), material.selfIllum);
  AppendFloat(w.Key("shininess"), material.shininess);
  AppendFloat(w.Key("shininessStrength"), material.shininessStrength);
  ObjectWriter maps(w.Key("maps"), w.Indent());
  for (size_t slot = 0; slot < material.maps.size(); ++slot) {
    const standin::MapSlotModel& map = material.maps[slot];
    // An unlisted slot reads back as {no map, off}; only other slots need writing.
    if (map.texmap < 0 && !map.enabled) continue;
    std::string& entry = maps.Key(std::to_string(slot).c_str());
    entry += "{\"texmap\": ";
    AppendReference(entry, map.texmap);
    entry += std::string(", \"enabled\": ") + (map.enabled ? "true" : "false") + "}";
  }
  maps.End();
  if (material.customAttributes) {
    AppendList(w.Key("customAttributes"), w.Indent(), *material.customAttributes,
               [&](const standin::CustAttribModel& a) {
                 out += "{\"className\": ";
                 AppendString(out, a.className);
                 out += std::string(", \"paramBlock\": ") + (a.paramBlock ? "true" : "false") +
                        ", \"params\": [";
                 for (size_t i = 0; i < a.params.size(); ++i) {
                   if (i > 0) out += ", ";
                   AppendParam(out, a.params[i]);
                 }
                 out += "]}";
               });
  } else {
    w.Key("customAttributes") += "null";
  }
  w.End();
}

}  // namespace

std::string WriteSceneDocument(const standin::SceneModel& model) {
  std::string out;
  ObjectWriter w(out, 0);
  AppendList(w.Key("nodes"), 2, model.nodes,
             [&](const standin::NodeModel& node) { AppendNode(out, 4, node); });
  AppendList(w.Key("materials"), 2, model.materials,
             [&](const standin::MaterialModel& material) { AppendMaterial(out, 4, material); });
  AppendList(w.Key("texmaps"), 2, model.texmaps, [&](const standin::TexmapModel& texmap) {
    out += "{\"class\": ";
    AppendClassId(out, texmap.classId);
    out += ", \"fileName\": ";
    AppendString(out, texmap.fileName);
    out += '}';
  });
  w.End();
  out += '\n';
  return out;
}

}  // namespace cvm::import
