#include <cmath>
#include <limits>

#include "format/record_writer.h"
#include "tests/reader/built_file.h"

namespace cvm::reader::test {

BuiltFile::BuiltFile(const CvmFile& file)
    : bytes(format::EncodeCvm(file)), offsets(format::OffsetsOf(file)) {}

BuiltFile& BuiltFile::Set(const std::string& path, int width, uint32_t value, size_t delta) {
  const size_t at = At(path) + delta;
  for (int i = 0; i < width; ++i)
    bytes.at(at + static_cast<size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
  return *this;
}

BuiltFile& BuiltFile::CutAt(const std::string& path, size_t delta) {
  bytes.resize(At(path) + delta);
  return *this;
}

BuiltFile& BuiltFile::Pad(size_t count) {
  return PadTo(bytes.size() + count);
}

BuiltFile& BuiltFile::PadTo(size_t size) {
  if (bytes.size() < size) bytes.resize(size, 0);
  return *this;
}

CvmFile MakeFile(const std::function<void(CvmFile&)>& fill) {
  CvmFile file;
  file.header.scale = 1.0f;
  fill(file);
  file.header.meshCount = static_cast<uint32_t>(file.meshes.size());
  file.header.lightCount = static_cast<uint32_t>(file.lights.size());
  file.header.helperCount = static_cast<uint32_t>(file.helpers.size());
  file.header.splineCount = static_cast<uint32_t>(file.splines.size());
  return file;
}

CvmFile FullCvmFile() {
  CvmFile f;
  f.header = {2.5f, 2, 2, 1, 2};
  f.textures = {{"brick.tga", 0}, {"stone.bmp", 1}, {"abc", 2}};

  // Material 0: two-sided, every optional engine block present.
  CvmMaterial full;
  full.name = "Full";
  full.index = 0;
  full.twoSided = true;
  full.engine.collideable = 0;
  full.engine.visible = 2;
  full.engine.dataId = 0xFFFFFFFF;
  full.engine.colorKey = Color16{255, 128, 65409};
  full.engine.uv1 = CvmUvAnimation{0.0f, 0.25f};
  full.engine.frames1 = CvmFrameAnimation{1, 4, 0.5f};
  full.engine.uv2 = CvmUvAnimation{-1.5f, 3.0f};
  full.engine.frames2 = CvmFrameAnimation{65535, 2, -0.0f};
  full.engine.renderLast = 1;
  full.engine.renderFirst = 7;
  full.diffuse = {1, 2, 3};
  full.ambient = {4, 5, 6};
  full.specular = {7, 8, 9};
  full.selfIllum = {306, 383, 65409};
  full.shininess = 0.1f;
  full.shininessStrength = std::numeric_limits<float>::quiet_NaN();
  full.textureRefs = {0, kNoTexture, 2, 1, kNoTexture, 0, 2};

  // Material 1: one-sided, no engine attribute: the default 40-byte block.
  CvmMaterial plain;
  plain.name = "Mat1";
  plain.index = 1;
  plain.engine.collideable = 1;
  plain.engine.visible = 1;
  plain.diffuse = {255, 128, 0};
  plain.shininess = 25.0f;
  plain.shininessStrength = 0.05f;
  plain.textureRefs.fill(kNoTexture);
  f.materials = {full, plain};

  // Mesh 0: one face with every block, positions as the exporter sorts them.
  CvmMesh every;
  every.pivot = {1, 3, 2};
  every.cornerCount = 3;
  every.positionIndices = {2, 0, 1};
  every.positions = {{1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
  every.hasUvs = true;
  every.uvIndices = {0, 1, 0};
  every.uvs = {{0.5f, 0.25f}, {1.0f, -1.0f}};
  every.hasNormals = true;
  every.normalIndices = {0, 0, 0};
  every.normals = {{0, 0}};
  every.colors = {{255, 0, 0}, {0, 255, 0}, {0, 0, 65409}};
  every.faceCount = 1;
  every.groups = {{0, {{2, 1, 0}}}};

  // Mesh 1: two faces, no optional blocks, two groups (one without a listed material).
  CvmMesh bare;
  bare.cornerCount = 6;
  bare.positionIndices = {0, 1, 2, 2, 1, 3};
  bare.positions = {{4, 0, 0}, {3, 0, 0}, {2, 0, 0}, {1, 0, 0}};
  bare.faceCount = 2;
  bare.groups = {{kNoMaterial, {{5, 4, 3}}}, {1, {{2, 1, 0}}}};
  f.meshes = {every, bare};

  // Light 0 without user text, light 1 with an empty name and the text "abc".
  f.lights = {
      {"Sun", 2, {1, 3, 2}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0.5f, 0.25f, 1.0f}, 1.5f, std::nullopt},
      {"", 4, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {1, 1, 1}, -2.0f, "abc"}};
  f.helpers = {{"Dummy01", {1, 3, 2}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, "tag=1"}};

  // Spline record 0: an open two-knot spline and a closed three-knot one; record 1: a shape
  // without splines, with user text.
  CvmSplineObject line{"Line01", {10, 0, 0}, {}, std::nullopt};
  line.splines = {{false, {{11, 3, 2}, {1, 0, 0}}}, {true, {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}}};
  f.splines = {line, {"Empty", {-1, -2, -3}, {}, "x"}};
  return f;
}

BuiltFile FullFile() {
  return BuiltFile(FullCvmFile());
}

BuiltFile EmptyFile() {
  return BuiltFile(MakeFile([](CvmFile&) {}));
}

}  // namespace cvm::reader::test
