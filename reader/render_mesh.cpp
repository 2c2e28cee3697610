#include "reader/render_mesh.h"

#include <cstddef>
#include <unordered_map>

namespace cvm::reader {
namespace {

// A corner tuple packed into two words: position and texture-coordinate index in one, the
// normal's bytes and the colour in the other. A block the record lacks packs as 0.
struct TupleKey {
  uint64_t indices = 0;
  uint64_t values = 0;
  bool operator==(const TupleKey& other) const { return indices == other.indices && values == other.values; }
};

struct TupleKeyHash {
  size_t operator()(const TupleKey& key) const {
    // Multiply-xorshift mixing (the finaliser of MurmurHash3) over both words: index lists
    // are runs of nearby numbers, which the identity hash would crowd into few buckets.
    uint64_t h = key.indices * 0x9E3779B97F4A7C15ull ^ key.values;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<size_t>(h);
  }
};

}  // namespace

RenderMesh BuildRenderMesh(const CvmMesh& mesh) {
  RenderMesh out;
  out.pivot = mesh.pivot;
  const bool hasColors = !mesh.colors.empty();

  // Each stored normal decoded once, in the file frame.
  std::vector<Vec3> decodedNormals;
  if (mesh.hasNormals) {
    decodedNormals.reserve(mesh.normals.size());
    for (const EncodedNormal& n : mesh.normals)
      decodedNormals.push_back(FileToHostAxes(DecodeNormal(n.polar, n.azimuth)));
  }

  size_t indexCount = 0;
  for (const CvmFaceGroup& group : mesh.groups) indexCount += 3 * group.faces.size();
  out.indices.reserve(indexCount);
  std::unordered_map<TupleKey, uint32_t, TupleKeyHash> vertexOf;
  vertexOf.reserve(indexCount);

  const auto addVertex = [&](uint32_t corner) {
    const uint32_t p = mesh.positionIndices[corner];
    const Vec3& position = mesh.positions[p];
    out.positions.insert(out.positions.end(), {position.x, position.y, position.z});
    if (mesh.hasNormals) {
      const Vec3& normal = decodedNormals[mesh.normalIndices[corner]];
      out.normals.insert(out.normals.end(), {normal.x, normal.y, normal.z});
    }
    if (mesh.hasUvs) {
      const Vec2& uv = mesh.uvs[mesh.uvIndices[corner]];
      out.uvs.insert(out.uvs.end(), {uv.u, uv.v});
    }
    if (hasColors) {
      const Color16& c = mesh.colors[corner];
      out.colors.insert(out.colors.end(), {c.r, c.g, c.b});
    }
    return out.vertexCount++;
  };

  for (const CvmFaceGroup& group : mesh.groups) {
    RenderFaceGroup rendered;
    rendered.firstIndex = static_cast<uint32_t>(out.indices.size());
    rendered.indexCount = static_cast<uint32_t>(3 * group.faces.size());
    rendered.materialIndex = group.materialIndex;
    for (const Triangle& face : group.faces) {
      for (const uint32_t corner : face) {
        TupleKey key;
        key.indices = uint64_t{mesh.positionIndices[corner]} << 32;
        if (mesh.hasUvs) key.indices |= mesh.uvIndices[corner];
        if (mesh.hasNormals) {
          const EncodedNormal& n = mesh.normals[mesh.normalIndices[corner]];
          key.values = uint64_t{n.polar} << 56 | uint64_t{n.azimuth} << 48;
        }
        if (hasColors) {
          const Color16& c = mesh.colors[corner];
          key.values |= uint64_t{c.r} << 32 | uint64_t{c.g} << 16 | c.b;
        }
        const auto found = vertexOf.find(key);
        if (found != vertexOf.end()) {
          out.indices.push_back(found->second);
        } else {
          const uint32_t vertex = addVertex(corner);
          vertexOf.emplace(key, vertex);
          out.indices.push_back(vertex);
        }
      }
    }
    out.groups.push_back(rendered);
  }
  return out;
}

}  // namespace cvm::reader
