// Reader of Corvane Model (.cvm) files: decodes a whole file into plain structs and checks
// everything a reader can check. Depends on the C++ standard library only.
//
//   cvm::reader::CvmFile file;
//   cvm::reader::ReadError error;
//   if (!cvm::reader::ReadCvmFile("box.cvm", file, error))
//     std::fprintf(stderr, "box.cvm: %s\n", cvm::reader::FormatReadError(error).c_str());
//
// Axes: every position, pivot, axis and knot is kept exactly as stored, in the file's y-up
// frame: {x, y, z} here are the three floats in file order, that is host x, host z, host y.
// `FileToHostAxes` swaps them back into the modelling host's z-up frame. Encoded normals are
// the exception: their two angle bytes are measured in host axes, and `DecodeNormal` returns
// a host-axes direction. Colours and texture coordinates are never reordered.
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

namespace cvm::reader {

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

struct CvmHeader {
  float scale = 0;
  uint32_t meshCount = 0;
  uint32_t lightCount = 0;
  uint32_t helperCount = 0;
  uint32_t splineCount = 0;
};

struct CvmTexture {
  std::string name;
  uint32_t index = 0;  // always equal to the record's position (checked)
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
// was 1; a flag of 0 leaves it empty.
struct CvmEngineSettings {
  uint32_t collideable = 0;  // the integer fields are kept as read, not reduced to 0/1
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
  uint32_t index = 0;  // always equal to the record's position (checked)
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

struct EncodedNormal {
  uint8_t polar = 0;
  uint8_t azimuth = 0;
};

struct CvmFaceGroup {
  uint16_t materialIndex = kNoMaterial;
  // Corner serials as stored (the exporter writes each face as corners 2, 1, 0).
  std::vector<std::array<uint32_t, 3>> faces;
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

enum class ReadErrorKind {
  Format,  // the bytes are not a valid file; offset says where
  Io,      // the file could not be opened or read; offset is 0
};

struct ReadError {
  uint64_t offset = 0;  // byte offset of the offending field
  std::string message;  // what is wrong and in which record, e.g. "mesh 0: position index 7
                        // out of range (3 positions)"
  ReadErrorKind kind = ReadErrorKind::Format;
};

// Decodes the `size` bytes at `data` (which may be null when size is 0) into `file`. Returns
// true on success. Returns false with `error` set for any input that is not a complete, valid
// file: truncation, a count larger than the bytes left could hold (checked before anything is
// allocated), a string without its 0 byte, an index or reference out of range, a flag other
// than 0/1, a record index not equal to its position, group face counts that do not add up to
// the face count, or bytes after the last spline record. Never reads outside the buffer; memory
// use is bounded by a small multiple of `size`. `file` is overwritten; on failure it holds
// whatever was decoded before the error.
bool ReadCvm(const uint8_t* data, size_t size, CvmFile& file, ReadError& error);

// The largest input ReadCvmFile takes (1 GiB): a device or pipe that never ends is refused
// instead of filling memory.
constexpr size_t kMaxCvmFileBytes = size_t{1} << 30;

// Reads the whole file at `path` and decodes it with ReadCvm. An open or read failure, or an
// input larger than kMaxCvmFileBytes, gives an Io error naming the cause.
bool ReadCvmFile(const std::string& path, CvmFile& file, ReadError& error);

// "offset N: message" for a format error, the bare message for an I/O error.
std::string FormatReadError(const ReadError& error);

// Swaps y and z: turns a stored position, axis or knot into the host's z-up frame, and back.
inline Vec3 FileToHostAxes(const Vec3& v) {
  return {v.x, v.z, v.y};
}

// Unit direction, in host axes, of an encoded normal: polar counts steps of 360/255 degrees
// away from +z, azimuth (a signed byte) steps from +x toward +y. The encoder truncates each
// angle toward zero, so each decoded angle may lie up to one step (about 1.41 degrees) short
// of the original. Polar 128 is the encoder's marker for straight down and decodes to (0,0,-1).
Vec3 DecodeNormal(uint8_t polar, uint8_t azimuth);

}  // namespace cvm::reader
