#include "fuzz/cvm_encode.h"

#include <cstring>
#include <string>

namespace cvm::fuzz {
namespace {

using namespace cvm::reader;

struct Out {
  std::vector<uint8_t> bytes;

  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void F32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U32(bits);
  }
  void Vec(const Vec3& v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
  }
  void Color(const Color16& c) {
    U16(c.r);
    U16(c.g);
    U16(c.b);
  }
  void Str(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    U8(0);
  }
  void UserText(const std::optional<std::string>& text) {
    U16(text ? 1 : 0);
    if (text) Str(*text);
  }
};

void Engine(Out& o, const CvmEngineSettings& e) {
  o.U32(e.collideable);
  o.U32(e.visible);
  o.U32(e.dataId);
  o.U32(e.colorKey ? 1 : 0);
  if (e.colorKey) o.Color(*e.colorKey);
  const auto uv = [&o](const std::optional<CvmUvAnimation>& a) {
    o.U32(a ? 1 : 0);
    if (a) {
      o.F32(a->u);
      o.F32(a->v);
    }
  };
  const auto frames = [&o](const std::optional<CvmFrameAnimation>& a) {
    o.U32(a ? 1 : 0);
    if (a) {
      o.U16(a->hf);
      o.U16(a->vf);
      o.F32(a->time);
    }
  };
  uv(e.uv1);
  frames(e.frames1);
  uv(e.uv2);
  frames(e.frames2);
  o.U32(e.renderLast);
  o.U32(e.renderFirst);
}

void Mesh(Out& o, const CvmMesh& m) {
  o.Vec(m.pivot);
  o.U32(m.cornerCount);
  for (uint32_t i : m.positionIndices) o.U32(i);
  o.U32(static_cast<uint32_t>(m.positions.size()));
  for (const Vec3& p : m.positions) o.Vec(p);
  o.U16(m.hasUvs ? 1 : 0);
  if (m.hasUvs) {
    for (uint32_t i : m.uvIndices) o.U32(i);
    o.U32(static_cast<uint32_t>(m.uvs.size()));
    for (const Vec2& uv : m.uvs) {
      o.F32(uv.u);
      o.F32(uv.v);
    }
  }
  o.U16(m.hasNormals ? 1 : 0);
  if (m.hasNormals) {
    for (uint32_t i : m.normalIndices) o.U32(i);
    o.U32(static_cast<uint32_t>(m.normals.size()));
    for (const EncodedNormal& n : m.normals) {
      o.U8(n.polar);
      o.U8(n.azimuth);
    }
  }
  o.U32(static_cast<uint32_t>(m.colors.size()));
  for (const Color16& c : m.colors) o.Color(c);
  o.U32(m.faceCount);
  o.U32(static_cast<uint32_t>(m.groups.size()));
  for (const CvmFaceGroup& g : m.groups) {
    o.U16(g.materialIndex);
    o.U32(static_cast<uint32_t>(g.faces.size()));
    for (const auto& face : g.faces)
      for (uint32_t corner : face) o.U32(corner);
  }
}

}  // namespace

std::vector<uint8_t> EncodeCvm(const CvmFile& file) {
  Out o;
  o.F32(file.header.scale);
  o.U32(file.header.meshCount);
  o.U32(file.header.lightCount);
  o.U32(file.header.helperCount);
  o.U32(file.header.splineCount);

  o.U32(static_cast<uint32_t>(file.materials.size()));
  o.U32(static_cast<uint32_t>(file.textures.size()));
  for (const CvmTexture& t : file.textures) {
    o.Str(t.name);
    o.U32(t.index);
  }
  for (const CvmMaterial& m : file.materials) {
    o.Str(m.name);
    o.U32(m.index);
    o.U32(m.twoSided ? 1 : 0);
    Engine(o, m.engine);
    o.Color(m.diffuse);
    o.Color(m.ambient);
    o.Color(m.specular);
    o.Color(m.selfIllum);
    o.F32(m.shininess);
    o.F32(m.shininessStrength);
    for (uint32_t ref : m.textureRefs) o.U32(ref);
  }

  for (const CvmMesh& m : file.meshes) Mesh(o, m);
  for (const CvmLight& l : file.lights) {
    o.Str(l.name);
    o.U16(l.typeCode);
    o.Vec(l.position);
    o.Vec(l.axisX);
    o.Vec(l.axisY);
    o.Vec(l.axisZNegated);
    o.Vec(l.color);
    o.F32(l.intensity);
    o.UserText(l.userText);
  }
  for (const CvmHelper& h : file.helpers) {
    o.Str(h.name);
    o.Vec(h.position);
    o.Vec(h.axisX);
    o.Vec(h.axisZ);
    o.Vec(h.axisY);
    o.UserText(h.userText);
  }
  for (const CvmSplineObject& s : file.splines) {
    o.Str(s.name);
    o.Vec(s.position);
    o.U16(static_cast<uint16_t>(s.splines.size()));
    for (const CvmSpline& spline : s.splines) {
      o.U16(static_cast<uint16_t>(spline.knots.size()));
      o.U8(spline.closed ? 1 : 0);
      for (const Vec3& k : spline.knots) o.Vec(k);
    }
    o.UserText(s.userText);
  }
  return std::move(o.bytes);
}

}  // namespace cvm::fuzz
