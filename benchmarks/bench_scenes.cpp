#include "benchmarks/bench_scenes.h"

#include <cmath>

namespace cvm::bench {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The generator's arithmetic is free to make -0; the scene must not hold any (see header).
float Fold(double value) {
  const auto f = static_cast<float>(value);
  return f == 0.0f ? 0.0f : f;
}

// The widest grid side not above sqrt(2 x cells) that divides cells, for a grid about twice
// as long around the ring as across it.
uint32_t GridSide(uint32_t cells) {
  auto side = static_cast<uint32_t>(std::sqrt(2.0 * cells));
  while (side > 3 && cells % side != 0) --side;
  return side < 3 ? 3 : side;
}

}  // namespace

const char* ShapeName(BenchShape shape) {
  return shape == BenchShape::kSmooth ? "smooth" : "faceted";
}

standin::SceneModel MakeBenchScene(BenchShape shape, uint32_t faceCount) {
  const uint32_t cells = faceCount / 2 < 9 ? 9 : faceCount / 2;
  const uint32_t around = GridSide(cells);  // segments along the ring (u)
  const uint32_t across = cells / around;   // segments around the tube (v)
  const uint32_t faces = 2 * around * across;

  standin::MeshModel mesh;
  mesh.vertices.reserve(size_t{around} * across);
  for (uint32_t a = 0; a < across; ++a) {
    const double v = 2.0 * kPi * a / across;
    for (uint32_t s = 0; s < around; ++s) {
      const double u = 2.0 * kPi * s / around;
      const double ring = 10.0 + 3.0 * std::cos(v);
      mesh.vertices.push_back({Fold(ring * std::cos(u)), Fold(ring * std::sin(u)), Fold(3.0 * std::sin(v))});
    }
  }
  // One texture vertex per grid point including the repeated last row and column: the seams.
  mesh.tverts.reserve(size_t{around + 1} * (across + 1));
  for (uint32_t a = 0; a <= across; ++a)
    for (uint32_t s = 0; s <= around; ++s)
      mesh.tverts.push_back({Fold(4.0 * s / around), Fold(static_cast<double>(a) / across), 0.0f});

  const bool smooth = shape == BenchShape::kSmooth;
  mesh.faces.reserve(faces);
  mesh.tvFaces.reserve(faces);
  const auto vertex = [&](uint32_t s, uint32_t a) { return (a % across) * around + (s % around); };
  const auto tvert = [&](uint32_t s, uint32_t a) { return a * (around + 1) + s; };
  for (uint32_t a = 0; a < across; ++a) {
    // Bands of rings around the tube; neighbours never share a group bit.
    const uint32_t group = smooth ? 1u << ((a * 8 / across) % 4) : 0u;
    for (uint32_t s = 0; s < around; ++s) {
      const uint32_t p00 = vertex(s, a), p10 = vertex(s + 1, a), p01 = vertex(s, a + 1),
                     p11 = vertex(s + 1, a + 1);
      const uint32_t t00 = tvert(s, a), t10 = tvert(s + 1, a), t01 = tvert(s, a + 1),
                     t11 = tvert(s + 1, a + 1);
      mesh.faces.push_back({{p00, p10, p11}, group, 0});
      mesh.tvFaces.push_back({{t00, t10, t11}});
      mesh.faces.push_back({{p00, p11, p01}, group, 0});
      mesh.tvFaces.push_back({{t00, t11, t01}});
    }
  }
  if (smooth) {
    // A colour per corner from its vertex's position, so equal positions have equal colours.
    standin::ColorChannelModel colours;
    colours.verts.reserve(size_t{3} * faces);
    colours.faces.reserve(faces);
    uint32_t next = 0;
    for (const MeshFace& face : mesh.faces) {
      for (const uint32_t j : face.v) {
        const Point3& p = mesh.vertices[j];
        colours.verts.push_back({Fold(0.5 + p.x / 26.0), Fold(0.5 + p.y / 26.0), Fold(0.5 + p.z / 6.0)});
      }
      colours.faces.push_back({{next, next + 1, next + 2}});
      next += 3;
    }
    mesh.colors = std::move(colours);
  }

  standin::NodeModel node;
  node.name = std::string(ShapeName(shape)) + "-" + std::to_string(faces);
  // A quarter turn about z, scale 1.5, moved away from the origin.
  node.transform.SetRow(0, {0.0f, 1.5f, 0.0f});
  node.transform.SetRow(1, {-1.5f, 0.0f, 0.0f});
  node.transform.SetRow(2, {0.0f, 0.0f, 1.5f});
  node.transform.SetRow(3, {100.0f, -20.0f, 5.0f});
  node.object.kind = standin::ObjectKind::kMesh;
  node.object.mesh = std::move(mesh);

  standin::SceneModel scene;
  scene.nodes.push_back(std::move(node));
  return scene;
}

}  // namespace cvm::bench
