#include "tests/support/scene_model_compare.h"

#include <cmath>
#include <optional>

#include "standin/build_normals.h"
#include "tests/support/float_bits.h"

namespace cvm::standin {
namespace {

bool SameFloat(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || cvm::test::FloatBits(a) == cvm::test::FloatBits(b);
}

std::string At(const std::string& path, size_t i) {
  return path + "[" + std::to_string(i) + "]";
}

// Each Compare returns the path of the first difference, or an empty string.
std::string Compare(const std::string& path, float a, float b) {
  return SameFloat(a, b) ? "" : path;
}

std::string Compare(const std::string& path, const Point3& a, const Point3& b) {
  if (!SameFloat(a.x, b.x)) return path + "[0]";
  if (!SameFloat(a.y, b.y)) return path + "[1]";
  if (!SameFloat(a.z, b.z)) return path + "[2]";
  return "";
}

std::string Compare(const std::string& path, const Matrix3& a, const Matrix3& b) {
  for (size_t r = 0; r < 4; ++r) {
    std::string d = Compare(At(path, r), a.row[r], b.row[r]);
    if (!d.empty()) return d;
  }
  return "";
}

template <typename T>
std::string CompareValue(const std::string& path, const T& a, const T& b) {
  return a == b ? "" : path;
}

std::string Compare(const std::string& path, const MeshFace& a, const MeshFace& b) {
  for (size_t k = 0; k < 3; ++k) {
    if (a.v[k] != b.v[k]) return At(path, k);
  }
  if (a.smGroup != b.smGroup) return path + " (smoothing)";
  if (a.flags != b.flags) return path + " (flags)";
  return "";
}

std::string Compare(const std::string& path, const TVFace& a, const TVFace& b) {
  for (size_t k = 0; k < 3; ++k) {
    if (a.t[k] != b.t[k]) return At(path, k);
  }
  return "";
}

std::string Compare(const std::string& path, const RNormalEntry& a, const RNormalEntry& b) {
  std::string d = Compare(path + ".normal", a.normal, b.normal);
  if (!d.empty()) return d;
  return CompareValue(path + ".smoothing", a.smGroup, b.smGroup);
}

template <typename T>
std::string Compare(const std::string& path, const std::vector<T>& a, const std::vector<T>& b);
std::string Compare(const std::string& path, const NodeModel& a, const NodeModel& b);
std::string Compare(const std::string& path, const MaterialModel& a, const MaterialModel& b);
std::string Compare(const std::string& path, const TexmapModel& a, const TexmapModel& b);
std::string Compare(const std::string& path, const ExplicitNormalsModel& a, const ExplicitNormalsModel& b);

std::string Compare(const std::string& path, const SplineModel& a, const SplineModel& b) {
  if (a.closed != b.closed) return path + ".closed";
  return Compare(path + ".knots", a.knots, b.knots);
}

std::string Compare(const std::string& path, const ParamModel& a, const ParamModel& b) {
  if (a.name != b.name) return path + ".name";
  if (a.id != b.id) return path + ".id";
  if (a.type != b.type) return path + ".type";
  // Only the value of the param's type.
  switch (a.type) {
    case ParamType::kInt:
      return a.intValue == b.intValue ? "" : path + ".value";
    case ParamType::kFloat:
      return Compare(path + ".value", a.floatValue, b.floatValue);
    case ParamType::kPoint3:
      return Compare(path + ".value", a.point3Value, b.point3Value);
  }
  return "";
}

std::string Compare(const std::string& path, const CustAttribModel& a, const CustAttribModel& b) {
  if (a.className != b.className) return path + ".className";
  if (a.paramBlock != b.paramBlock) return path + ".paramBlock";
  return Compare(path + ".params", a.params, b.params);
}

std::string Compare(const std::string& path, const int32_t& a, const int32_t& b) {
  return CompareValue(path, a, b);
}

template <typename T>
std::string Compare(const std::string& path, const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size())
    return path + " (count " + std::to_string(a.size()) + " vs " + std::to_string(b.size()) + ")";
  for (size_t i = 0; i < a.size(); ++i) {
    std::string d = Compare(At(path, i), a[i], b[i]);
    if (!d.empty()) return d;
  }
  return "";
}

template <typename T>
std::string CompareOptional(const std::string& path, const std::optional<T>& a, const std::optional<T>& b) {
  if (a.has_value() != b.has_value()) return path + " (present in one only)";
  return a ? Compare(path, *a, *b) : "";
}

// The faces a channel stands for, whether kept or taken from the vertex faces.
std::vector<TVFace> ChannelFaces(const std::vector<TVFace>& own, bool areVertexFaces,
                                 const std::vector<MeshFace>& faces) {
  if (!areVertexFaces) return own;
  std::vector<TVFace> out;
  for (const MeshFace& f : faces) out.push_back({{f.v[0], f.v[1], f.v[2]}});
  return out;
}

// The explicit normals with the face normals they leave out stated, as a document states them.
std::optional<ExplicitNormalsModel> WithFaceNormals(const MeshModel& mesh) {
  std::optional<ExplicitNormalsModel> normals = mesh.normals;
  if (normals && normals->faceNormals.empty()) standin::ComputeFaceNormals(mesh, normals->faceNormals);
  return normals;
}

std::string Compare(const std::string& path, const ExplicitNormalsModel& a, const ExplicitNormalsModel& b) {
  std::string d = Compare(path + ".faceNormals", a.faceNormals, b.faceNormals);
  if (!d.empty()) return d;
  if (a.specified != b.specified) return path + ".specified";
  if (a.entryStart != b.entryStart) return path + ".entryStart";
  return Compare(path + ".entries", a.entries, b.entries);
}

std::string CompareMesh(const std::string& path, const MeshModel& a, const MeshModel& b) {
  std::string d;
  if (!(d = Compare(path + ".vertices", a.vertices, b.vertices)).empty()) return d;
  if (!(d = Compare(path + ".faces", a.faces, b.faces)).empty()) return d;
  if (!(d = Compare(path + ".tverts", a.tverts, b.tverts)).empty()) return d;
  if (!(d = Compare(path + ".tvFaces", ChannelFaces(a.tvFaces, a.tvFacesAreVertexFaces, a.faces),
                    ChannelFaces(b.tvFaces, b.tvFacesAreVertexFaces, b.faces)))
           .empty()) {
    return d;
  }
  if (a.colors.has_value() != b.colors.has_value()) return path + ".colors (present in one only)";
  if (a.colors) {
    if (!(d = Compare(path + ".colors.verts", a.colors->verts, b.colors->verts)).empty()) return d;
    if (!(d = Compare(path + ".colors.faces",
                      ChannelFaces(a.colors->faces, a.colors->facesAreVertexFaces, a.faces),
                      ChannelFaces(b.colors->faces, b.colors->facesAreVertexFaces, b.faces)))
             .empty()) {
      return d;
    }
  }
  return CompareOptional(path + ".normals", WithFaceNormals(a), WithFaceNormals(b));
}

// Only the members of the object's kind: the others are neither served nor written.
std::string Compare(const std::string& path, const ObjectModel& a, const ObjectModel& b) {
  if (a.kind != b.kind) return path + ".kind";
  if (a.superClassId != b.superClassId) return path + ".superClassId";
  if (a.classId.has_value() != b.classId.has_value() || (a.classId && *a.classId != *b.classId)) {
    return path + ".classId";
  }
  std::string d;
  switch (a.kind) {
    case ObjectKind::kMesh:
      if (a.native != b.native) return path + ".native";
      return CompareMesh(path, a.mesh, b.mesh);
    case ObjectKind::kShape:
      if (a.native != b.native) return path + ".native";
      if (a.alsoMesh != b.alsoMesh) return path + ".alsoMesh";
      return Compare(path + ".splines", a.splines, b.splines);
    case ObjectKind::kLight:
      if (a.light.lightType != b.light.lightType) return path + ".lightType";
      if (!(d = Compare(path + ".color", a.light.color, b.light.color)).empty()) return d;
      return Compare(path + ".intensity", a.light.intensity, b.light.intensity);
    case ObjectKind::kHelper:
    case ObjectKind::kCamera:
      return "";
  }
  return "";
}

std::string Compare(const std::string& path, const NodeModel& a, const NodeModel& b) {
  if (a.name != b.name) return path + ".name";
  if (a.userText != b.userText) return path + ".userText";
  if (a.selected != b.selected) return path + ".selected";
  if (a.hidden != b.hidden) return path + ".hidden";
  std::string d;
  if (!(d = Compare(path + ".transform", a.transform, b.transform)).empty()) return d;
  if (!(d = CompareOptional(path + ".pivot", a.pivot, b.pivot)).empty()) return d;
  if (a.material != b.material) return path + ".material";
  return Compare(path + ".object", a.object, b.object);
}

std::string Compare(const std::string& path, const MaterialModel& a, const MaterialModel& b) {
  if (a.name != b.name) return path + ".name";
  if (a.classId != b.classId) return path + ".class";
  if (a.isMulti != b.isMulti) return path + ".isMulti";
  std::string d;
  if (!(d = Compare(path + ".subMaterials", a.subMaterials, b.subMaterials)).empty()) return d;
  if (a.twoSided != b.twoSided) return path + ".twoSided";
  if (!(d = Compare(path + ".diffuse", a.diffuse, b.diffuse)).empty()) return d;
  if (!(d = Compare(path + ".ambient", a.ambient, b.ambient)).empty()) return d;
  if (!(d = Compare(path + ".specular", a.specular, b.specular)).empty()) return d;
  if (!(d = Compare(path + ".selfIllum", a.selfIllum, b.selfIllum)).empty()) return d;
  if (!(d = Compare(path + ".shininess", a.shininess, b.shininess)).empty()) return d;
  if (!(d = Compare(path + ".shininessStrength", a.shininessStrength, b.shininessStrength)).empty()) return d;
  for (size_t slot = 0; slot < a.maps.size(); ++slot) {
    if (a.maps[slot].texmap != b.maps[slot].texmap || a.maps[slot].enabled != b.maps[slot].enabled) {
      return path + ".maps." + std::to_string(slot);
    }
  }
  if (a.customAttributes.has_value() != b.customAttributes.has_value())
    return path + ".customAttributes (null in one only)";
  return a.customAttributes ? Compare(path + ".customAttributes", *a.customAttributes, *b.customAttributes)
                            : "";
}

std::string Compare(const std::string& path, const TexmapModel& a, const TexmapModel& b) {
  if (a.classId != b.classId) return path + ".class";
  return a.fileName != b.fileName ? path + ".fileName" : "";
}

}  // namespace

std::string SceneModelDifference(const SceneModel& a, const SceneModel& b) {
  std::string d;
  if (!(d = Compare("nodes", a.nodes, b.nodes)).empty()) return d;
  if (!(d = Compare("materials", a.materials, b.materials)).empty()) return d;
  return Compare("texmaps", a.texmaps, b.texmaps);
}

}  // namespace cvm::standin
