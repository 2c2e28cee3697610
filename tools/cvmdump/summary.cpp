#include "tools/cvmdump/summary.h"

#include <sstream>

namespace cvm::reader {
namespace {

std::ostream& operator<<(std::ostream& out, const Vec3& v) {
  return out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

std::ostream& operator<<(std::ostream& out, const Color16& c) {
  return out << c.r << " " << c.g << " " << c.b;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

void WriteUserText(std::ostream& out, const std::optional<std::string>& text) {
  if (text) out << ", user text " << Quoted(*text);
}

void WriteMaterial(std::ostream& out, const CvmMaterial& m) {
  out << "material " << m.index << " " << Quoted(m.name) << (m.twoSided ? ": two-sided" : ": one-sided")
      << ", diffuse " << m.diffuse << ", ambient " << m.ambient << ", specular " << m.specular
      << ", self-illum " << m.selfIllum << ", shininess " << m.shininess << " strength "
      << m.shininessStrength << "\n";
  out << "  textures (slots 1 6 9 5 8 10 7):";
  for (uint32_t ref : m.textureRefs) {
    if (ref == kNoTexture)
      out << " -";
    else
      out << " " << ref;
  }
  const CvmEngineSettings& e = m.engine;
  out << "\n  engine: collideable " << e.collideable << ", visible " << e.visible << ", data id " << e.dataId
      << ", render last " << e.renderLast << ", render first " << e.renderFirst;
  if (e.colorKey) out << ", colour key " << *e.colorKey;
  if (e.uv1) out << ", U/V 1 " << e.uv1->u << " " << e.uv1->v;
  if (e.frames1) out << ", HF/VF 1 " << e.frames1->hf << " " << e.frames1->vf << " time " << e.frames1->time;
  if (e.uv2) out << ", U/V 2 " << e.uv2->u << " " << e.uv2->v;
  if (e.frames2) out << ", HF/VF 2 " << e.frames2->hf << " " << e.frames2->vf << " time " << e.frames2->time;
  out << "\n";
}

void WriteMesh(std::ostream& out, size_t i, const CvmMesh& m) {
  out << "mesh " << i << ": pivot " << m.pivot << ", " << m.faceCount << " faces, " << m.cornerCount
      << " corners, " << m.positions.size() << " positions";
  if (m.hasUvs) out << ", " << m.uvs.size() << " UVs";
  if (m.hasNormals) out << ", " << m.normals.size() << " normals";
  if (!m.colors.empty()) out << ", colours";
  out << "\n  groups:";
  for (size_t g = 0; g < m.groups.size(); ++g) {
    out << (g == 0 ? " " : ", ");
    if (m.groups[g].materialIndex == kNoMaterial)
      out << "no material";
    else
      out << "material " << m.groups[g].materialIndex;
    out << " x " << m.groups[g].faces.size() << " faces";
  }
  out << "\n";
}

}  // namespace

std::string FormatSummary(const CvmFile& file) {
  std::ostringstream out;
  const CvmHeader& h = file.header;
  out << "scale " << h.scale << "\n";
  out << h.meshCount << " meshes, " << h.lightCount << " lights, " << h.helperCount << " helpers, "
      << h.splineCount << " spline records, " << file.materials.size() << " materials, "
      << file.textures.size() << " textures\n";
  out << "(positions and axes in file order: x, up, depth = host x, z, y)\n";
  for (const CvmTexture& t : file.textures) out << "texture " << t.index << " " << Quoted(t.name) << "\n";
  for (const CvmMaterial& m : file.materials) WriteMaterial(out, m);
  for (size_t i = 0; i < file.meshes.size(); ++i) WriteMesh(out, i, file.meshes[i]);
  for (size_t i = 0; i < file.lights.size(); ++i) {
    const CvmLight& l = file.lights[i];
    out << "light " << i << " " << Quoted(l.name) << ": type " << l.typeCode << " at " << l.position
        << ", colour " << l.color << ", intensity " << l.intensity;
    WriteUserText(out, l.userText);
    out << "\n";
  }
  for (size_t i = 0; i < file.helpers.size(); ++i) {
    const CvmHelper& hp = file.helpers[i];
    out << "helper " << i << " " << Quoted(hp.name) << " at " << hp.position;
    WriteUserText(out, hp.userText);
    out << "\n";
  }
  for (size_t i = 0; i < file.splines.size(); ++i) {
    const CvmSplineObject& s = file.splines[i];
    out << "spline record " << i << " " << Quoted(s.name) << " at " << s.position << ": " << s.splines.size()
        << " splines";
    for (const CvmSpline& spline : s.splines) {
      out << " [" << spline.knots.size() << " knots" << (spline.closed ? ", closed]" : "]");
    }
    WriteUserText(out, s.userText);
    out << "\n";
  }
  return out.str();
}

}  // namespace cvm::reader
