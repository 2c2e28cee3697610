#include "standin/scene_model_validate.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace cvm::standin {
namespace {

constexpr size_t kMaxCount = static_cast<size_t>(std::numeric_limits<int32_t>::max());
constexpr size_t kMaxNormalEntries = 255;
constexpr size_t kMaxParams = 65535;

std::string Indexed(const std::string& path, size_t i) {
  return path + "[" + std::to_string(i) + "]";
}

// Validation stops at the first violation: Fail records it and the callers return false.
struct Checker {
  std::string& error;

  bool Fail(const std::string& path, const std::string& what) {
    error = path + ": " + what;
    return false;
  }

  bool CountFits(const std::string& path, size_t count, size_t limit) {
    if (count <= limit) return true;
    return Fail(path, std::to_string(count) + " entries, more than the limit of " + std::to_string(limit));
  }

  bool IndexInRange(const std::string& path, uint32_t index, size_t count, const char* what,
                    const char* owner, const char* unit) {
    if (index < count) return true;
    return Fail(path, std::string(what) + " index " + std::to_string(index) + " out of range (" + owner +
                          " has " + std::to_string(count) + " " + unit + ")");
  }

  // All index triples of one array (triple(f) gives entry f); the path is spelled out only
  // for a violation.
  template <typename Triple>
  bool Triples(const std::string& arrayPath, size_t tripleCount, Triple&& triple, size_t count,
               const char* what, const char* owner, const char* unit) {
    for (size_t f = 0; f < tripleCount; ++f) {
      const uint32_t* t = triple(f);
      if (t[0] < count && t[1] < count && t[2] < count) continue;
      for (size_t k = 0; k < 3; ++k) {
        if (!IndexInRange(Indexed(Indexed(arrayPath, f), k), t[k], count, what, owner, unit)) return false;
      }
    }
    return true;
  }

  // Faces taken from the vertex faces: none of their own, one value per vertex.
  bool ParallelToVertices(const std::string& facesPath, size_t faceEntries, const std::string& valuesPath,
                          size_t values, size_t vertices) {
    if (faceEntries != 0) return Fail(facesPath, "given for faces that are the vertex faces");
    if (values == vertices) return true;
    return Fail(valuesPath, std::to_string(values) + " entries for " + std::to_string(vertices) +
                                " vertices, whose faces they share");
  }

  bool OnePerFace(const std::string& path, size_t count, size_t faces) {
    if (count == faces) return true;
    return Fail(path, std::to_string(count) + " entries for " + std::to_string(faces) + " faces");
  }

  bool Mesh(const std::string& path, const MeshModel& mesh) {
    if (!CountFits(path + ".vertices", mesh.vertices.size(), kMaxCount)) return false;
    if (!CountFits(path + ".faces", mesh.faces.size(), kMaxCount)) return false;
    if (!CountFits(path + ".tverts", mesh.tverts.size(), kMaxCount)) return false;
    const size_t faceCount = mesh.faces.size();
    const size_t vertexCount = mesh.vertices.size();
    if (!Triples(
            path + ".faces", faceCount, [&](size_t f) { return mesh.faces[f].v; }, vertexCount, "vertex",
            "mesh", "vertices")) {
      return false;
    }
    if (mesh.tverts.empty()) {
      if (!mesh.tvFaces.empty()) return Fail(path + ".tvFaces", "given for a mesh without tverts");
    } else if (mesh.tvFacesAreVertexFaces) {
      if (!ParallelToVertices(path + ".tvFaces", mesh.tvFaces.size(), path + ".tverts", mesh.tverts.size(),
                              vertexCount)) {
        return false;
      }
    } else {
      if (!OnePerFace(path + ".tvFaces", mesh.tvFaces.size(), faceCount)) return false;
      if (!Triples(
              path + ".tvFaces", faceCount, [&](size_t f) { return mesh.tvFaces[f].t; }, mesh.tverts.size(),
              "texture vertex", "mesh", "tverts")) {
        return false;
      }
    }
    if (mesh.colors) {
      const ColorChannelModel& colors = *mesh.colors;
      if (!CountFits(path + ".colors.verts", colors.verts.size(), kMaxCount)) return false;
      if (colors.facesAreVertexFaces) {
        if (!ParallelToVertices(path + ".colors.faces", colors.faces.size(), path + ".colors.verts",
                                colors.verts.size(), vertexCount)) {
          return false;
        }
      } else if (!OnePerFace(path + ".colors.faces", colors.faces.size(), faceCount)) {
        return false;
      } else if (!Triples(
                     path + ".colors.faces", faceCount, [&](size_t f) { return colors.faces[f].t; },
                     colors.verts.size(), "colour vertex", "colors", "verts")) {
        return false;
      }
    }
    if (mesh.normals) {
      const ExplicitNormalsModel& normals = *mesh.normals;
      if (!normals.faceNormals.empty() &&
          !OnePerFace(path + ".normals.faceNormals", normals.faceNormals.size(), faceCount)) {
        return false;
      }
      if (normals.VertexCount() != vertexCount) {
        return Fail(path + ".normals.vertexNormals", std::to_string(normals.VertexCount()) + " entries for " +
                                                         std::to_string(vertexCount) + " vertices");
      }
      // The entry list must be cut into the vertices' entries exactly.
      const std::vector<uint32_t>& start = normals.entryStart;
      if (start.size() != vertexCount + 1 || start.front() != 0 || start.back() != normals.entries.size())
        return Fail(path + ".normals.entryStart", "does not cut the entries into one range per vertex");
      for (size_t v = 0; v < vertexCount; ++v) {
        if (start[v + 1] < start[v])
          return Fail(Indexed(path + ".normals.entryStart", v + 1), "smaller than the entry before it");
        const size_t count = normals.EntryCount(v);
        if (count <= kMaxNormalEntries && (normals.specified[v] == 0 || count > 0)) continue;
        const std::string entriesPath = Indexed(path + ".normals.vertexNormals", v) + ".entries";
        if (!CountFits(entriesPath, count, kMaxNormalEntries)) return false;
        return Fail(entriesPath, "a specified normal needs at least one entry");
      }
    }
    return true;
  }

  bool Object(const std::string& path, const ObjectModel& object) {
    switch (object.kind) {
      case ObjectKind::kMesh:
        return Mesh(path, object.mesh);
      case ObjectKind::kShape:
        if (!CountFits(path + ".splines", object.splines.size(), kMaxCount)) return false;
        for (size_t s = 0; s < object.splines.size(); ++s) {
          if (!CountFits(Indexed(path + ".splines", s) + ".knots", object.splines[s].knots.size(),
                         kMaxCount)) {
            return false;
          }
        }
        return true;
      default:
        return true;
    }
  }

  bool Reference(const std::string& path, int32_t index, size_t count, const char* what, const char* array) {
    if (index == -1 || (index >= 0 && static_cast<size_t>(index) < count)) return true;
    return Fail(path, std::string(what) + " index " + std::to_string(index) + " out of range (" + array +
                          " has " + std::to_string(count) + " entries)");
  }

  bool Material(const std::string& path, const MaterialModel& material, const SceneModel& model) {
    if (!CountFits(path + ".subMaterials", material.subMaterials.size(), kMaxCount)) return false;
    for (size_t k = 0; k < material.subMaterials.size(); ++k) {
      if (!Reference(Indexed(path + ".subMaterials", k), material.subMaterials[k], model.materials.size(),
                     "material", "materials")) {
        return false;
      }
    }
    for (size_t slot = 0; slot < material.maps.size(); ++slot) {
      if (!Reference(path + ".maps." + std::to_string(slot) + ".texmap", material.maps[slot].texmap,
                     model.texmaps.size(), "texmap", "texmaps")) {
        return false;
      }
    }
    if (material.customAttributes) {
      const std::vector<CustAttribModel>& attributes = *material.customAttributes;
      if (!CountFits(path + ".customAttributes", attributes.size(), kMaxCount)) return false;
      for (size_t a = 0; a < attributes.size(); ++a) {
        if (!CountFits(Indexed(path + ".customAttributes", a) + ".params", attributes[a].params.size(),
                       kMaxParams)) {
          return false;
        }
      }
    }
    return true;
  }

  // Depth-first search without recursion: a chain of sub-materials may be as long as the
  // material array.
  bool NoSubMaterialCycle(const SceneModel& model) {
    enum : uint8_t { kUnvisited, kOnPath, kDone };
    std::vector<uint8_t> state(model.materials.size(), kUnvisited);
    std::vector<std::pair<size_t, size_t>> path;  // (material, next sub-material slot)
    for (size_t root = 0; root < model.materials.size(); ++root) {
      if (state[root] != kUnvisited) continue;
      state[root] = kOnPath;
      path.emplace_back(root, 0);
      while (!path.empty()) {
        auto& [material, slot] = path.back();
        const std::vector<int32_t>& subs = model.materials[material].subMaterials;
        if (slot == subs.size()) {
          state[material] = kDone;
          path.pop_back();
          continue;
        }
        const size_t k = slot++;
        if (subs[k] < 0) continue;
        const size_t sub = static_cast<size_t>(subs[k]);
        if (state[sub] == kOnPath) {
          std::string chain;
          bool inCycle = false;
          for (const auto& step : path) {
            if (step.first == sub) inCycle = true;
            if (inCycle) chain += std::to_string(step.first) + " -> ";
          }
          chain += std::to_string(sub);
          return Fail(Indexed("materials[" + std::to_string(material) + "].subMaterials", k),
                      "sub-material cycle (materials " + chain + ")");
        }
        if (state[sub] == kUnvisited) {
          state[sub] = kOnPath;
          path.emplace_back(sub, 0);
        }
      }
    }
    return true;
  }
};

}  // namespace

bool ValidateSceneModel(const SceneModel& model, std::string& error) {
  Checker check{error};
  for (size_t n = 0; n < model.nodes.size(); ++n) {
    const std::string path = Indexed("nodes", n);
    const NodeModel& node = model.nodes[n];
    if (!check.Reference(path + ".material", node.material, model.materials.size(), "material",
                         "materials")) {
      return false;
    }
    if (!check.Object(path + ".object", node.object)) return false;
  }
  for (size_t m = 0; m < model.materials.size(); ++m) {
    if (!check.Material(Indexed("materials", m), model.materials[m], model)) return false;
  }
  return check.NoSubMaterialCycle(model);
}

}  // namespace cvm::standin
