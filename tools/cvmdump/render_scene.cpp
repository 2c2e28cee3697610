#include "tools/cvmdump/render_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "reader/render_mesh.h"

namespace cvm::render {
namespace {

constexpr int kSamples = 2;        // per pixel and axis
constexpr int64_t kSubpixel = 16;  // vertex positions snap to 1/16 of a sample
constexpr int64_t kDepthMax = (int64_t{1} << 24) - 1;
constexpr uint32_t kEmptyDepth = std::numeric_limits<uint32_t>::max();
constexpr double kMarginShare = 0.05;  // of the picture, on each side

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kPalette[] = {{200, 200, 200}, {222, 120, 96},  {110, 180, 228}, {140, 204, 110},
                            {226, 190, 90},  {176, 128, 214}, {90, 200, 190},  {230, 140, 180}};
constexpr Rgb kSplineColor = {255, 150, 40};
constexpr Rgb kLightColor = {255, 224, 64};
constexpr Rgb kHelperColor = {96, 224, 128};
constexpr Rgb kOutlineColor = {16, 16, 16};
constexpr double kAmbient = 0.3;
constexpr double kDiffuse = 0.7;

struct Vec3d {
  double x = 0, y = 0, z = 0;
};

Vec3d operator-(const Vec3d& a, const Vec3d& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const Vec3d& a, const Vec3d& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3d Cross(const Vec3d& a, const Vec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3d Normalized(const Vec3d& v) {
  const double length = std::sqrt(Dot(v, v));
  if (!(length > 0)) return {};
  return {v.x / length, v.y / length, v.z / length};
}

// Rows of the view's rotation: the picture's right and up, and the direction of sight. Each is
// a rotation of the file's frame (x right, y up, z away from the eye), never a reflection, so
// nothing is mirrored.
struct Basis {
  Vec3d right, up, forward;
};

Basis BasisOf(View view) {
  switch (view) {
    case View::Front:
      return {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    case View::Top:
      return {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
    case View::ThreeQuarter:
      break;
  }
  // The eye at 45 degrees to the right of the front and 30 degrees above it.
  const double h = std::sqrt(0.5);
  const double cosUp = std::sqrt(3.0) / 2;
  const double sinUp = 0.5;
  const Vec3d forward = {-cosUp * h, -sinUp, cosUp * h};
  const Vec3d right = {h, 0, h};
  return {right, Cross(forward, right), forward};
}

// Where the scene lands in the picture: view coordinates to samples and depth.
struct Framing {
  Basis basis;
  double centerX = 0, centerY = 0, centerZ = 0;
  double scale = 1;           // samples per unit
  double depthScale = 0;      // depth steps per unit
  int width = 0, height = 0;  // in samples
};

struct ScreenPoint {
  int64_t x = 0, y = 0;  // in 1/kSubpixel of a sample
  int64_t depth = 0;     // 0 nearest
};

Vec3d ToView(const Framing& f, const Vec3d& p) {
  return {Dot(f.basis.right, p), Dot(f.basis.up, p), Dot(f.basis.forward, p)};
}

int64_t Snap(double value) {
  return static_cast<int64_t>(std::floor(value + 0.5));
}

ScreenPoint Project(const Framing& f, const Vec3d& p) {
  const Vec3d v = ToView(f, p);
  // The model lies inside the picture by its framing; a marker far outside is kept within two
  // pictures of it, which keeps it out of sight and every product of the rasteriser in range.
  const double sx = std::clamp(f.width / 2.0 + (v.x - f.centerX) * f.scale, -2.0 * f.width, 3.0 * f.width);
  const double sy = std::clamp(f.height / 2.0 - (v.y - f.centerY) * f.scale, -2.0 * f.height, 3.0 * f.height);
  const double depth = std::clamp(kDepthMax / 2.0 + (v.z - f.centerZ) * f.depthScale, 0.0, double{kDepthMax});
  return {Snap(sx * kSubpixel), Snap(sy * kSubpixel), Snap(depth)};
}

bool IsFinite(const reader::Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

Vec3d Widened(const reader::Vec3& v) {
  return {v.x, v.y, v.z};
}

// A point given by its offset from an origin (a pivot, a spline record's position).
Vec3d Placed(const reader::Vec3& origin, const reader::Vec3& offset) {
  return {double{origin.x} + offset.x, double{origin.y} + offset.y, double{origin.z} + offset.z};
}

struct Bounds {
  Vec3d min{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
            std::numeric_limits<double>::max()};
  Vec3d max{-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
            -std::numeric_limits<double>::max()};
  bool empty = true;
  void Add(const Vec3d& v) {
    min = {std::min(min.x, v.x), std::min(min.y, v.y), std::min(min.z, v.z)};
    max = {std::max(max.x, v.x), std::max(max.y, v.y), std::max(max.z, v.z)};
    empty = false;
  }
};

// Calls visit with every point of the meshes and splines, in world position, finite only.
template <typename Visit>
void ForEachModelPoint(const reader::CvmFile& file, Visit visit) {
  for (const reader::CvmMesh& mesh : file.meshes) {
    if (!IsFinite(mesh.pivot)) continue;
    for (const reader::Vec3& p : mesh.positions)
      if (IsFinite(p)) visit(Placed(mesh.pivot, p));
  }
  for (const reader::CvmSplineObject& object : file.splines) {
    if (!IsFinite(object.position)) continue;
    for (const reader::CvmSpline& spline : object.splines)
      for (const reader::Vec3& knot : spline.knots)
        if (IsFinite(knot)) visit(Placed(object.position, knot));
  }
}

template <typename Visit>
void ForEachMarkerPoint(const reader::CvmFile& file, Visit visit) {
  for (const reader::CvmLight& light : file.lights)
    if (IsFinite(light.position)) visit(Widened(light.position));
  for (const reader::CvmHelper& helper : file.helpers)
    if (IsFinite(helper.position)) visit(Widened(helper.position));
}

// The framing of the model's bounds in the view, or of the markers when there is no model.
// False when there is nothing at all to draw.
bool FrameScene(const reader::CvmFile& file, View view, int width, int height, Framing& f) {
  f.basis = BasisOf(view);
  f.width = width;
  f.height = height;
  Bounds bounds;
  const auto add = [&](const Vec3d& p) { bounds.Add(ToView(f, p)); };
  ForEachModelPoint(file, add);
  if (bounds.empty) ForEachMarkerPoint(file, add);
  if (bounds.empty) return false;
  f.centerX = bounds.min.x / 2 + bounds.max.x / 2;
  f.centerY = bounds.min.y / 2 + bounds.max.y / 2;
  f.centerZ = bounds.min.z / 2 + bounds.max.z / 2;
  const double extentX = bounds.max.x - bounds.min.x;
  const double extentY = bounds.max.y - bounds.min.y;
  const double extentZ = bounds.max.z - bounds.min.z;
  const double usableX = width * (1 - 2 * kMarginShare);
  const double usableY = height * (1 - 2 * kMarginShare);
  // A point or a line along the view's axis has no extent to fit: any scale frames it.
  double scale = std::numeric_limits<double>::max();
  if (extentX > 0) scale = std::min(scale, usableX / extentX);
  if (extentY > 0) scale = std::min(scale, usableY / extentY);
  f.scale = scale == std::numeric_limits<double>::max() ? 1 : scale;
  f.depthScale = extentZ > 0 ? (kDepthMax - 2) / extentZ : 0;
  return true;
}

struct Canvas {
  int width = 0, height = 0;  // in samples
  std::vector<Rgb> color;
  std::vector<uint32_t> depth;

  Canvas(int w, int h) : width(w), height(h), color(size_t(w) * h), depth(size_t(w) * h, kEmptyDepth) {
    std::fill(color.begin(), color.end(), Rgb{kBackground[0], kBackground[1], kBackground[2]});
  }
  // Sets a sample that nothing nearer covers; depth kEmptyDepth draws over everything.
  void Plot(int x, int y, int64_t d, const Rgb& rgb) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    const size_t at = size_t(y) * width + x;
    if (d != kEmptyDepth && d >= depth[at]) return;
    if (d != kEmptyDepth) depth[at] = static_cast<uint32_t>(d);
    color[at] = rgb;
  }
};

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A triangle's corner on the screen with its colour in 1/256 steps.
struct ShadedCorner {
  ScreenPoint at;
  std::array<int64_t, 3> color{};
};

// An edge a -> b of a triangle whose inside lies where the edge function is positive.
// Samples exactly on an edge belong to the triangle only on a top or a left edge, so two
// triangles that share an edge never both cover a sample of it.
struct Edge {
  int64_t stepX = 0, stepY = 0, bias = 0;
  int64_t At(const ScreenPoint& a, int64_t px, int64_t py) const {
    return stepX * (px - a.x) + stepY * (py - a.y);
  }
};

Edge EdgeOf(const ScreenPoint& a, const ScreenPoint& b) {
  Edge e;
  e.stepX = -(b.y - a.y);
  e.stepY = b.x - a.x;
  const bool topOrLeft = (a.y == b.y && b.x > a.x) || b.y < a.y;
  e.bias = topOrLeft ? 0 : -1;
  return e;
}

void FillTriangle(Canvas& canvas, ShadedCorner c0, ShadedCorner c1, ShadedCorner c2) {
  const auto area2 = [](const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  };
  int64_t area = area2(c0.at, c1.at, c2.at);
  if (area == 0) return;
  if (area < 0) {
    std::swap(c1, c2);
    area = -area;
  }
  const Edge e0 = EdgeOf(c1.at, c2.at), e1 = EdgeOf(c2.at, c0.at), e2 = EdgeOf(c0.at, c1.at);
  const int64_t minX = std::min({c0.at.x, c1.at.x, c2.at.x}), maxX = std::max({c0.at.x, c1.at.x, c2.at.x});
  const int64_t minY = std::min({c0.at.y, c1.at.y, c2.at.y}), maxY = std::max({c0.at.y, c1.at.y, c2.at.y});
  // Sample i has its centre at i * kSubpixel + kSubpixel / 2.
  const int64_t half = kSubpixel / 2;
  const int64_t firstX = std::max<int64_t>(0, FloorDiv(minX - half + kSubpixel - 1, kSubpixel));
  const int64_t lastX = std::min<int64_t>(canvas.width - 1, FloorDiv(maxX - half, kSubpixel));
  const int64_t firstY = std::max<int64_t>(0, FloorDiv(minY - half + kSubpixel - 1, kSubpixel));
  const int64_t lastY = std::min<int64_t>(canvas.height - 1, FloorDiv(maxY - half, kSubpixel));
  for (int64_t y = firstY; y <= lastY; ++y) {
    const int64_t py = y * kSubpixel + half;
    int64_t px = firstX * kSubpixel + half;
    int64_t w0 = e0.At(c1.at, px, py), w1 = e1.At(c2.at, px, py), w2 = e2.At(c0.at, px, py);
    for (int64_t x = firstX; x <= lastX; ++x) {
      if (w0 + e0.bias >= 0 && w1 + e1.bias >= 0 && w2 + e2.bias >= 0) {
        const size_t at = size_t(y) * canvas.width + x;
        const int64_t depth = (w0 * c0.at.depth + w1 * c1.at.depth + w2 * c2.at.depth) / area;
        if (depth < canvas.depth[at]) {
          canvas.depth[at] = static_cast<uint32_t>(depth);
          for (int k = 0; k < 3; ++k)
            canvas.color[at][k] =
                static_cast<uint8_t>((w0 * c0.color[k] + w1 * c1.color[k] + w2 * c2.color[k]) / area / 256);
        }
      }
      w0 += e0.stepX * kSubpixel;
      w1 += e1.stepX * kSubpixel;
      w2 += e2.stepX * kSubpixel;
    }
  }
}

// A line two samples wide (one pixel), drawn where the model does not cover it. Points drawn
// a little in front of their depth, so that a line lying on a surface shows.
void DrawLine(Canvas& canvas, const ScreenPoint& a, const ScreenPoint& b, const Rgb& rgb) {
  const int64_t dx = b.x - a.x, dy = b.y - a.y;
  const int64_t steps = std::max<int64_t>(1, std::max(std::abs(dx), std::abs(dy)) / (kSubpixel / 2));
  const int64_t lift = kDepthMax / 256;
  for (int64_t t = 0; t <= steps; ++t) {
    const int64_t x = a.x + FloorDiv(2 * dx * t + steps, 2 * steps);
    const int64_t y = a.y + FloorDiv(2 * dy * t + steps, 2 * steps);
    const int64_t depth = std::max<int64_t>(0, a.depth + (b.depth - a.depth) * t / steps - lift);
    const int sx = static_cast<int>(FloorDiv(x - kSubpixel / 2, kSubpixel));
    const int sy = static_cast<int>(FloorDiv(y - kSubpixel / 2, kSubpixel));
    for (int oy = 0; oy < 2; ++oy)
      for (int ox = 0; ox < 2; ++ox) canvas.Plot(sx + ox, sy + oy, depth, rgb);
  }
}

enum class MarkerShape { Diamond, Cross };

// A marker over everything, with a dark rim.
void DrawMarker(Canvas& canvas, const ScreenPoint& at, MarkerShape shape, const Rgb& rgb) {
  const int radius = std::max(4, std::min(canvas.width, canvas.height) / 40);
  const int cx = static_cast<int>(FloorDiv(at.x, kSubpixel)),
            cy = static_cast<int>(FloorDiv(at.y, kSubpixel));
  // Covered at distance (dx, dy) from the centre, for a rim of `grow` samples around the shape.
  const auto covers = [&](int dx, int dy, int grow) {
    const int ax = std::abs(dx), ay = std::abs(dy);
    if (shape == MarkerShape::Diamond) return ax + ay <= radius + grow;
    const int arm = radius + grow, thickness = radius / 4 + grow;
    return (ax <= arm && ay <= thickness) || (ay <= arm && ax <= thickness);
  };
  for (int pass = 0; pass < 2; ++pass) {
    const int grow = pass == 0 ? 2 : 0;
    for (int dy = -radius - 2; dy <= radius + 2; ++dy)
      for (int dx = -radius - 2; dx <= radius + 2; ++dx)
        if (covers(dx, dy, grow)) canvas.Plot(cx + dx, cy + dy, kEmptyDepth, pass == 0 ? kOutlineColor : rgb);
  }
}

Rgb GroupColor(const reader::CvmFile& file, uint16_t materialIndex, size_t paletteSlot) {
  if (materialIndex != reader::kNoMaterial && materialIndex < file.materials.size()) {
    const reader::Color16& c = file.materials[materialIndex].diffuse;
    const auto clamped = [](uint16_t value) { return static_cast<uint8_t>(std::min<uint16_t>(value, 255)); };
    return {clamped(c.r), clamped(c.g), clamped(c.b)};
  }
  return kPalette[paletteSlot % (sizeof kPalette / sizeof kPalette[0])];
}

// The colour of a surface of base colour rgb facing `normal` (view frame), in 1/256 steps.
std::array<int64_t, 3> Shade(const Rgb& rgb, const Vec3d& normal) {
  // Towards the light: up and to the left of the viewer, from in front of the model.
  static const Vec3d kToLight = Normalized({-0.4, 0.55, -0.75});
  const double light = kAmbient + kDiffuse * std::max(0.0, Dot(normal, kToLight));
  std::array<int64_t, 3> out;
  for (int k = 0; k < 3; ++k) out[k] = std::min<int64_t>(Snap(rgb[k] * light * 256), 255 * 256);
  return out;
}

void DrawMesh(Canvas& canvas, const Framing& f, const reader::CvmFile& file, size_t meshIndex) {
  const reader::CvmMesh& record = file.meshes[meshIndex];
  if (!IsFinite(record.pivot)) return;
  const reader::RenderMesh mesh = reader::BuildRenderMesh(record);
  std::vector<ScreenPoint> screen(mesh.vertexCount);
  std::vector<Vec3d> view(mesh.vertexCount);
  std::vector<bool> finite(mesh.vertexCount);
  for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
    const reader::Vec3 p = {mesh.positions[3 * v], mesh.positions[3 * v + 1], mesh.positions[3 * v + 2]};
    finite[v] = IsFinite(p);
    if (!finite[v]) continue;
    const Vec3d world = Placed(record.pivot, p);
    view[v] = ToView(f, world);
    screen[v] = Project(f, world);
  }
  const bool smooth = !mesh.normals.empty();
  for (size_t g = 0; g < mesh.groups.size(); ++g) {
    const reader::RenderFaceGroup& group = mesh.groups[g];
    const Rgb base = GroupColor(file, group.materialIndex, meshIndex + g);
    const uint32_t end = group.firstIndex + group.indexCount;
    for (uint32_t i = group.firstIndex; i < end; i += 3) {
      const uint32_t v[3] = {mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]};
      if (!finite[v[0]] || !finite[v[1]] || !finite[v[2]]) continue;
      // Without normals the face is lit by its winding: out of its front, as the record
      // stores it.
      const Vec3d faceNormal =
          smooth ? Vec3d() : Normalized(Cross(view[v[1]] - view[v[0]], view[v[2]] - view[v[0]]));
      ShadedCorner corners[3];
      for (int k = 0; k < 3; ++k) {
        const float* n = smooth ? &mesh.normals[3 * v[k]] : nullptr;
        corners[k] = {screen[v[k]], Shade(base, smooth ? ToView(f, {n[0], n[1], n[2]}) : faceNormal)};
      }
      FillTriangle(canvas, corners[0], corners[1], corners[2]);
    }
  }
}

Image Downsample(const Canvas& canvas, uint32_t width, uint32_t height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgb.resize(size_t(width) * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      for (int k = 0; k < 3; ++k) {
        int sum = 0;
        for (int sy = 0; sy < kSamples; ++sy)
          for (int sx = 0; sx < kSamples; ++sx)
            sum += canvas.color[(size_t(y) * kSamples + sy) * canvas.width + x * kSamples + sx][k];
        image.rgb[(size_t(y) * width + x) * 3 + k] =
            static_cast<uint8_t>((sum + kSamples * kSamples / 2) / (kSamples * kSamples));
      }
    }
  }
  return image;
}

}  // namespace

const char* const kViewNames = "three-quarter, front, top";

std::optional<View> ViewNamed(const std::string& name) {
  if (name == "three-quarter") return View::ThreeQuarter;
  if (name == "front") return View::Front;
  if (name == "top") return View::Top;
  return std::nullopt;
}

Image RenderCvm(const reader::CvmFile& file, uint32_t width, uint32_t height, View view) {
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return Image();
  Canvas canvas(static_cast<int>(width) * kSamples, static_cast<int>(height) * kSamples);
  Framing f;
  if (FrameScene(file, view, canvas.width, canvas.height, f)) {
    for (size_t m = 0; m < file.meshes.size(); ++m) DrawMesh(canvas, f, file, m);
    for (const reader::CvmSplineObject& object : file.splines) {
      if (!IsFinite(object.position)) continue;
      for (const reader::CvmSpline& spline : object.splines) {
        const size_t n = spline.knots.size();
        const size_t segments = spline.closed && n > 2 ? n : (n > 0 ? n - 1 : 0);
        for (size_t k = 0; k < segments; ++k) {
          const reader::Vec3& a = spline.knots[k];
          const reader::Vec3& b = spline.knots[(k + 1) % n];
          if (!IsFinite(a) || !IsFinite(b)) continue;
          DrawLine(canvas, Project(f, Placed(object.position, a)), Project(f, Placed(object.position, b)),
                   kSplineColor);
        }
      }
    }
    for (const reader::CvmLight& light : file.lights)
      if (IsFinite(light.position))
        DrawMarker(canvas, Project(f, Widened(light.position)), MarkerShape::Diamond, kLightColor);
    for (const reader::CvmHelper& helper : file.helpers)
      if (IsFinite(helper.position))
        DrawMarker(canvas, Project(f, Widened(helper.position)), MarkerShape::Cross, kHelperColor);
  }
  return Downsample(canvas, width, height);
}

}  // namespace cvm::render
