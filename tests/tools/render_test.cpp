// Pictures of decoded files: the golden picture of a small scene, the framing of real models,
// files with nothing to draw and values a renderer must survive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "reader/cvm_reader.h"
#include "tests/support/temp_dir.h"
#include "tools/cvmdump/render_scene.h"
#include "tools/cvmexport/convert.h"

namespace cvm {
namespace {

using reader::CvmFile;
using reader::CvmMesh;
using reader::EncodedNormal;
using reader::Vec3;

// The encoded normal of a file-frame axis (the bytes measure host axes, host z = file y).
EncodedNormal AxisNormal(int axis, bool negative) {
  switch (axis) {
    case 0:
      return negative ? EncodedNormal{63, 127} : EncodedNormal{63, 0};
    case 1:
      return negative ? EncodedNormal{128, 0} : EncodedNormal{0, 0};
    default:
      return negative ? EncodedNormal{63, 193} : EncodedNormal{63, 63};
  }
}

// A unit cube on the ground with one normal per side: the top and front sides in material 0,
// the others in a group without a material.
CvmMesh Cube() {
  CvmMesh m;
  m.pivot = {0.0f, 0.5f, 0.0f};
  for (int i = 0; i < 8; ++i)
    m.positions.push_back({i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f});
  m.hasNormals = true;
  m.groups = {{0, {}}, {reader::kNoMaterial, {}}};
  for (int axis = 0; axis < 3; ++axis) {
    for (int side = 0; side < 2; ++side) {
      const bool negative = side == 0;
      m.normals.push_back(AxisNormal(axis, negative));
      const uint32_t normal = static_cast<uint32_t>(m.normals.size() - 1);
      // The side's corners in a loop: bit `axis` fixed, the other two bits walked around.
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      const int fixed = negative ? 0 : 1 << axis;
      uint32_t loop[4] = {uint32_t(fixed), uint32_t(fixed | 1 << u), uint32_t(fixed | 1 << u | 1 << v),
                          uint32_t(fixed | 1 << v)};
      // Wound so that (b - a) x (c - a) points out of the cube.
      if (negative) std::swap(loop[1], loop[3]);
      const bool front = (axis == 1 && !negative) || (axis == 2 && negative);
      for (const auto& tri : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
        reader::Triangle face;
        for (int k = 0; k < 3; ++k) {
          face[k] = m.cornerCount++;
          m.positionIndices.push_back(loop[tri[k]]);
          m.normalIndices.push_back(normal);
        }
        m.groups[front ? 0 : 1].faces.push_back(face);
      }
    }
  }
  m.faceCount = m.cornerCount / 3;
  return m;
}

// A ground square without normals or material, lit by its winding.
CvmMesh Ground() {
  CvmMesh m;
  m.positions = {{-2, 0, -2}, {2, 0, -2}, {2, 0, 2}, {-2, 0, 2}};
  m.positionIndices = {0, 3, 2, 0, 2, 1};
  m.cornerCount = 6;
  m.faceCount = 2;
  m.groups = {{reader::kNoMaterial, {{0, 1, 2}, {3, 4, 5}}}};
  return m;
}

CvmFile SmallScene() {
  CvmFile file;
  reader::CvmMaterial red;
  red.name = "Red";
  red.diffuse = {220, 70, 50};
  file.materials = {red};
  file.meshes = {Ground(), Cube()};
  reader::CvmSplineObject path;
  path.position = {1.5f, 0.0f, -1.5f};
  path.splines = {{true, {{0, 0, 0}, {0.4f, 0, 0}, {0.4f, 0.8f, 0}, {0, 0.8f, 0}}}};
  file.splines = {path};
  reader::CvmLight lamp;
  lamp.position = {-1.2f, 0.8f, 1.2f};
  file.lights = {lamp};
  reader::CvmHelper spawn;
  spawn.position = {1.5f, 0, 1.5f};
  file.helpers = {spawn};
  file.header.meshCount = 2;
  file.header.lightCount = 1;
  file.header.helperCount = 1;
  file.header.splineCount = 1;
  return file;
}

bool IsBackground(const render::Image& image, size_t pixel) {
  return std::equal(render::kBackground, render::kBackground + 3, image.rgb.begin() + 3 * pixel);
}

TEST(RenderCvm, SmallSceneGivesTheGoldenPicture) {
  std::vector<uint8_t> png;
  std::string error;
  ASSERT_TRUE(
      render::EncodePng(render::RenderCvm(SmallScene(), 160, 120, render::View::ThreeQuarter), png, error))
      << error;
  const std::vector<uint8_t> golden = test::ReadBytes(GOLDEN_DIR "/small_scene.png");
  if (png != golden) {
    // Kept for a person to look at, and to replace the golden file with when the change is meant.
    const std::string actual = TEST_OUTPUT_DIR "/small_scene.actual.png";
    test::WriteBytes(actual, png);
    FAIL() << "the picture differs from " GOLDEN_DIR "/small_scene.png (" << golden.size()
           << " bytes); it was written to " << actual << " (" << png.size() << " bytes)";
  }
}

TEST(RenderCvm, FilesWithNothingToDrawGiveTheBackground) {
  CvmFile emptyMeshes;
  emptyMeshes.meshes = {CvmMesh()};
  CvmFile nothingFinite;
  CvmMesh nan = Ground();
  const float inf = std::numeric_limits<float>::infinity();
  nan.positions = {{NAN, 0, 0}, {inf, 0, 0}, {0, -inf, 0}, {0, 0, NAN}};
  nothingFinite.meshes = {nan};
  for (const CvmFile* file : {&emptyMeshes, &nothingFinite}) {
    const render::Image image = render::RenderCvm(*file, 40, 30, render::View::ThreeQuarter);
    ASSERT_EQ(image.rgb.size(), 40u * 30u * 3u);
    for (size_t p = 0; p < 40u * 30u; ++p) ASSERT_TRUE(IsBackground(image, p)) << "pixel " << p;
  }
  EXPECT_TRUE(render::RenderCvm(CvmFile(), 0, 30, render::View::Front).rgb.empty());
  EXPECT_TRUE(render::RenderCvm(CvmFile(), render::kMaxImageSide + 1, 30, render::View::Front).rgb.empty());
}

// The picture's share that differs from the background, and the box around it.
struct Coverage {
  double share = 0;
  uint32_t minX = UINT32_MAX, minY = UINT32_MAX, maxX = 0, maxY = 0;
};

Coverage CoverageOf(const render::Image& image) {
  Coverage c;
  size_t covered = 0;
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x) {
      if (IsBackground(image, size_t{y} * image.width + x)) continue;
      ++covered;
      c.minX = std::min(c.minX, x);
      c.maxX = std::max(c.maxX, x);
      c.minY = std::min(c.minY, y);
      c.maxY = std::max(c.maxY, y);
    }
  }
  c.share = static_cast<double>(covered) / (static_cast<double>(image.width) * image.height);
  return c;
}

TEST(RenderCvm, HugeAndBrokenValuesAmongGoodOnesLeaveTheGoodOnesFramed) {
  CvmFile file;
  CvmMesh mesh = Ground();
  // Positions no face uses do not count; a face with a NaN corner is left out.
  mesh.positions.push_back({NAN, 0, 0});
  mesh.positionIndices[5] = 4;
  file.meshes = {mesh};
  reader::CvmLight far;
  far.position = {3e38f, -3e38f, 3e38f};  // markers outside the frame are not drawn
  file.lights = {far};
  const Coverage c = CoverageOf(render::RenderCvm(file, 80, 60, render::View::Top));
  // One triangle of the square seen from above: half of its box.
  EXPECT_GT(c.share, 0.25);
  EXPECT_LT(c.share, 0.5);
  EXPECT_GE(c.minY, 2u);
  EXPECT_LE(c.maxY, 57u);
}

std::string ModelPath(const std::string& relative) {
  return std::string(ASSIMP_MODELS_DIR) + "/" + relative;
}

CvmFile Exported(const test::TempDir& dir, const std::string& scene) {
  tools::ConvertRequest request;
  request.scenePath = scene;
  request.outputPath = dir.File(std::filesystem::path(scene).filename().string() + ".cvm");
  const tools::ConvertResult result = tools::ConvertScene(request);
  EXPECT_EQ(result.status, 0) << result.message;
  CvmFile file;
  reader::ReadError error;
  EXPECT_TRUE(reader::ReadCvmFile(request.outputPath, file, error)) << reader::FormatReadError(error);
  return file;
}

TEST(RenderCvm, RealModelsFillTheirFrameAndDifferFromEachOther) {
  const std::vector<std::string> models = {ModelPath("Collada/duck.dae"), ModelPath("OBJ/spider.obj"),
                                           ModelPath("PLY/Wuson.ply")};
  for (const std::string& model : models)
    if (!std::filesystem::exists(model)) GTEST_SKIP() << model << " is missing (assimp-testmodels)";
  test::TempDir dir;
  constexpr uint32_t kWidth = 160, kHeight = 120;
  std::vector<std::vector<uint8_t>> pictures;
  for (const std::string& model : models) {
    const CvmFile file = Exported(dir, model);
    for (const render::View view : {render::View::ThreeQuarter, render::View::Front, render::View::Top}) {
      SCOPED_TRACE(model + ", view " + std::to_string(int(view)));
      const render::Image image = render::RenderCvm(file, kWidth, kHeight, view);
      const Coverage c = CoverageOf(image);
      // A twentieth is left free on each side, and the model reaches that margin on two
      // opposite sides at least.
      EXPECT_GT(c.share, 0.1);
      EXPECT_GE(c.minX, kWidth / 20 - 1);
      EXPECT_LE(c.maxX, kWidth - kWidth / 20);
      EXPECT_GE(c.minY, kHeight / 20 - 1);
      EXPECT_LE(c.maxY, kHeight - kHeight / 20);
      const bool fillsWidth = c.maxX - c.minX + 1 >= kWidth * 9 / 10 - 2;
      const bool fillsHeight = c.maxY - c.minY + 1 >= kHeight * 9 / 10 - 2;
      EXPECT_TRUE(fillsWidth || fillsHeight) << c.minX << ".." << c.maxX << " x " << c.minY << ".." << c.maxY;
      for (const auto& other : pictures) EXPECT_NE(image.rgb, other);
      pictures.push_back(image.rgb);
    }
  }
}

}  // namespace
}  // namespace cvm
