#include "tools/cvmdump/cvm_json.h"

#include <charconv>
#include <cmath>

namespace cvm::reader {
namespace {

using json = nlohmann::ordered_json;

json Vec3ToJson(const Vec3& v) {
  return json::array({FloatToJson(v.x), FloatToJson(v.y), FloatToJson(v.z)});
}
json ColorToJson(const Color16& c) {
  return json::array({c.r, c.g, c.b});
}

template <typename T, typename F>
json ArrayOf(const std::vector<T>& items, F convert) {
  json out = json::array();
  for (const T& item : items) out.push_back(convert(item));
  return out;
}

json OptionalText(const std::optional<std::string>& text) {
  return text ? TextToJson(*text) : json(nullptr);
}

json UvToJson(const std::optional<CvmUvAnimation>& uv) {
  if (!uv) return nullptr;
  return {{"u", FloatToJson(uv->u)}, {"v", FloatToJson(uv->v)}};
}

json FramesToJson(const std::optional<CvmFrameAnimation>& frames) {
  if (!frames) return nullptr;
  return {{"hf", frames->hf}, {"vf", frames->vf}, {"time", FloatToJson(frames->time)}};
}

json MaterialToJson(const CvmMaterial& m) {
  const CvmEngineSettings& e = m.engine;
  json engine = {
      {"collideable", e.collideable}, {"visible", e.visible},
      {"dataId", e.dataId},           {"colorKey", e.colorKey ? ColorToJson(*e.colorKey) : json(nullptr)},
      {"uv1", UvToJson(e.uv1)},       {"frames1", FramesToJson(e.frames1)},
      {"uv2", UvToJson(e.uv2)},       {"frames2", FramesToJson(e.frames2)},
      {"renderLast", e.renderLast},   {"renderFirst", e.renderFirst}};
  return {{"name", TextToJson(m.name)},
          {"index", m.index},
          {"twoSided", m.twoSided},
          {"engine", engine},
          {"diffuse", ColorToJson(m.diffuse)},
          {"ambient", ColorToJson(m.ambient)},
          {"specular", ColorToJson(m.specular)},
          {"selfIllum", ColorToJson(m.selfIllum)},
          {"shininess", FloatToJson(m.shininess)},
          {"shininessStrength", FloatToJson(m.shininessStrength)},
          {"textureRefs", m.textureRefs}};
}

json MeshToJson(const CvmMesh& m) {
  json groups = ArrayOf(m.groups, [](const CvmFaceGroup& g) {
    return json{{"materialIndex", g.materialIndex}, {"faces", g.faces}};
  });
  return {{"pivot", Vec3ToJson(m.pivot)},
          {"cornerCount", m.cornerCount},
          {"positionIndices", m.positionIndices},
          {"positions", ArrayOf(m.positions, Vec3ToJson)},
          {"uvIndices", m.hasUvs ? json(m.uvIndices) : json(nullptr)},
          {"uvs", m.hasUvs ? ArrayOf(m.uvs,
                                     [](const Vec2& uv) {
                                       return json::array({FloatToJson(uv.u), FloatToJson(uv.v)});
                                     })
                           : json(nullptr)},
          {"normalIndices", m.hasNormals ? json(m.normalIndices) : json(nullptr)},
          {"normals", m.hasNormals ? ArrayOf(m.normals,
                                             [](const EncodedNormal& n) {
                                               return json::array({n.polar, n.azimuth});
                                             })
                                   : json(nullptr)},
          {"colors", ArrayOf(m.colors, ColorToJson)},
          {"faceCount", m.faceCount},
          {"groups", groups}};
}

json LightToJson(const CvmLight& l) {
  return {{"name", TextToJson(l.name)},          {"typeCode", l.typeCode},
          {"position", Vec3ToJson(l.position)},  {"axisX", Vec3ToJson(l.axisX)},
          {"axisY", Vec3ToJson(l.axisY)},        {"axisZNegated", Vec3ToJson(l.axisZNegated)},
          {"color", Vec3ToJson(l.color)},        {"intensity", FloatToJson(l.intensity)},
          {"userText", OptionalText(l.userText)}};
}

json HelperToJson(const CvmHelper& h) {
  return {{"name", TextToJson(h.name)},   {"position", Vec3ToJson(h.position)},
          {"axisX", Vec3ToJson(h.axisX)}, {"axisZ", Vec3ToJson(h.axisZ)},
          {"axisY", Vec3ToJson(h.axisY)}, {"userText", OptionalText(h.userText)}};
}

json SplineObjectToJson(const CvmSplineObject& s) {
  json splines = ArrayOf(s.splines, [](const CvmSpline& spline) {
    return json{{"closed", spline.closed}, {"knots", ArrayOf(spline.knots, Vec3ToJson)}};
  });
  return {{"name", TextToJson(s.name)},
          {"position", Vec3ToJson(s.position)},
          {"splines", splines},
          {"userText", OptionalText(s.userText)}};
}

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
  const CvmHeader& h = file.header;
  return {{"header",
           {{"scale", FloatToJson(h.scale)},
            {"meshCount", h.meshCount},
            {"lightCount", h.lightCount},
            {"helperCount", h.helperCount},
            {"splineCount", h.splineCount}}},
          {"textures", ArrayOf(file.textures,
                               [](const CvmTexture& t) {
                                 return json{{"name", TextToJson(t.name)}, {"index", t.index}};
                               })},
          {"materials", ArrayOf(file.materials, MaterialToJson)},
          {"meshes", ArrayOf(file.meshes, MeshToJson)},
          {"lights", ArrayOf(file.lights, LightToJson)},
          {"helpers", ArrayOf(file.helpers, HelperToJson)},
          {"splines", ArrayOf(file.splines, SplineObjectToJson)}};
}

}  // namespace cvm::reader
