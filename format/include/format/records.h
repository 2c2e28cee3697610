// The records of a Corvane Model (.cvm) file as plain structs: what the reader decodes, what
// the encoder and the record writers write, what the JSON form shows. Their byte layout is
// described once, in record_layout.h.
//
// Axes: every position, pivot, axis and knot is kept exactly as stored, in the file's y-up
// frame: {x, y, z} here are the three floats in file order, that is host x, host z, host y.
// Encoded normals are the exception: their two angle bytes are measured in host axes.
// Colours and texture coordinates are never reordered.
//
// References to nothing keep their all-ones value: 0xFFFFFFFF for texture references,
// 0xFFFF for a face group's material index (`kNoTexture`, `kNoMaterial`).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cvm::format {

inline constexpr uint32_t kNoTexture = 0xFFFFFFFFu;
inline constexpr uint16_t kNoMaterial = 0xFFFFu;

// The host's texture-map slot numbers of a material record's seven references, in file order:
// diffuse, opacity, reflection, self-illumination, bump, refraction, filter colour.
inline constexpr std::array<int, 7> kTextureRefSlots = {1, 6, 9, 5, 8, 10, 7};

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

struct Vec2 {
  float u = 0.0f;
  float v = 0.0f;
};

// A colour as stored: three u16 made from fractions by round(c * 255), not clamped, so values
// above 255 or wrapped negatives (65409 for -0.5) are kept as they are.
struct Color16 {
  uint16_t r = 0;
  uint16_t g = 0;
  uint16_t b = 0;
};

// A unit normal as two angle bytes, measured in the host's axes.
struct EncodedNormal {
  uint8_t polar = 0;    // from +z in steps of 360/255 degrees; 128 marks straight down
  uint8_t azimuth = 0;  // from +x towards +y in the same steps, a signed byte
};

// One face of a face group: the serials of its corners as stored (the exporter writes each
// face as its corners 2, 1, 0).
using Triangle = std::array<uint32_t, 3>;

struct CvmHeader {
  float scale = 0;
  uint32_t meshCount = 0;
  uint32_t lightCount = 0;
  uint32_t helperCount = 0;
  uint32_t splineCount = 0;
};

// The two counts that open the material section; the records they count follow them.
struct MaterialSectionCounts {
  uint32_t materialCount = 0;
  uint32_t textureCount = 0;
};

struct CvmTexture {
  std::string name;
  uint32_t index = 0;  // the record's position
};

struct CvmUvAnimation {
  float u = 0.0f;
  float v = 0.0f;
};

struct CvmFrameAnimation {
  uint16_t hf = 0;
  uint16_t vf = 0;
  float time = 0.0f;
};

// The engine settings block. Each optional value is present exactly when its flag in the file
// is 1.
struct CvmEngineSettings {
  uint32_t collideable = 0;  // the integer fields are kept as written, not reduced to 0/1
  uint32_t visible = 0;
  uint32_t dataId = 0;
  std::optional<Color16> colorKey;
  std::optional<CvmUvAnimation> uv1;
  std::optional<CvmFrameAnimation> frames1;
  std::optional<CvmUvAnimation> uv2;
  std::optional<CvmFrameAnimation> frames2;
  uint32_t renderLast = 0;
  uint32_t renderFirst = 0;
};

struct CvmMaterial {
  std::string name;
  uint32_t index = 0;  // the record's position
  bool twoSided = false;
  CvmEngineSettings engine;
  Color16 diffuse;
  Color16 ambient;
  Color16 specular;
  Color16 selfIllum;
  float shininess = 0.0f;
  float shininessStrength = 0.0f;
  // Texture positions or kNoTexture, in the slot order of kTextureRefSlots.
  std::array<uint32_t, 7> textureRefs{};
};

struct CvmFaceGroup {
  uint16_t materialIndex = kNoMaterial;
  std::vector<Triangle> faces;
};

// A mesh record. Every *Indices vector has cornerCount entries; an absent block leaves its
// has* flag false and its vectors empty.
struct CvmMesh {
  Vec3 pivot;  // file order (host x, z, y)
  uint32_t cornerCount = 0;
  std::vector<uint32_t> positionIndices;
  std::vector<Vec3> positions;  // file order (host x, z, y)
  bool hasUvs = false;
  std::vector<uint32_t> uvIndices;
  std::vector<Vec2> uvs;
  bool hasNormals = false;
  std::vector<uint32_t> normalIndices;
  std::vector<EncodedNormal> normals;
  std::vector<Color16> colors;  // empty or one per corner, corner 0 first
  uint32_t faceCount = 0;
  std::vector<CvmFaceGroup> groups;
};

struct CvmLight {
  std::string name;
  uint16_t typeCode = 0;  // 0 to 4
  Vec3 position;          // the four vectors in file order (host x, z, y)
  Vec3 axisX;
  Vec3 axisY;
  Vec3 axisZNegated;
  Vec3 color;  // r, g, b as x, y, z; not reordered
  float intensity = 0.0f;
  std::optional<std::string> userText;  // present only when the node has a non-empty text
};

struct CvmHelper {
  std::string name;
  Vec3 position;  // file order (host x, z, y)
  Vec3 axisX;     // the axes in the order they are stored: X, Z, Y
  Vec3 axisZ;
  Vec3 axisY;
  std::optional<std::string> userText;
};

struct CvmSpline {
  bool closed = false;
  std::vector<Vec3> knots;  // offsets from the record's position, file order (host x, z, y)
};

struct CvmSplineObject {
  std::string name;
  Vec3 position;  // file order (host x, z, y)
  std::vector<CvmSpline> splines;
  std::optional<std::string> userText;
};

struct CvmFile {
  CvmHeader header;
  std::vector<CvmTexture> textures;
  std::vector<CvmMaterial> materials;
  std::vector<CvmMesh> meshes;
  std::vector<CvmLight> lights;
  std::vector<CvmHelper> helpers;
  std::vector<CvmSplineObject> splines;  // spline records: one per shape node
};

}  // namespace cvm::format
