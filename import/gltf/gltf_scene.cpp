#include "import/gltf_scene.h"

#include <assimp/camera.h>
#include <assimp/light.h>

#include <algorithm>
#include <assimp/matrix4x4.inl>
#include <unordered_map>
#include <unordered_set>

#include "import/assimp_materials.h"
#include "import/assimp_meshes.h"
#include "import/assimp_objects.h"
#include "import/source_axes.h"
#include "standin/scene_model_validate.h"

namespace cvm::import {
namespace {

constexpr int kSlotDiffuse = 1;
constexpr int kSlotSelfIllum = 5;
constexpr int kSlotBump = 8;

// The document's node tree as assimp's reader builds it: one root, which is the scene's node
// when it has exactly one and a node of its own otherwise; a node that several parents hold
// appears under each of them.
struct TreeNode {
  const GltfNode* node = nullptr;  // null: the root made for several (or no) scene nodes
  std::vector<uint32_t> children;  // into the tree
};

bool BuildTree(const GltfDocument& document, std::vector<TreeNode>& tree, std::string& reason) {
  constexpr size_t kMaxTreeNodes = size_t{1} << 22;
  struct Pending {
    uint32_t node;
    uint32_t treeIndex;
  };
  std::vector<Pending> pending;
  tree.clear();
  if (document.roots.size() == 1) {
    tree.push_back({&document.nodes[document.roots[0]], {}});
    pending.push_back({document.roots[0], 0});
  } else {
    tree.push_back({nullptr, {}});
    for (uint32_t root : document.roots) {
      tree[0].children.push_back(static_cast<uint32_t>(tree.size()));
      pending.push_back({root, static_cast<uint32_t>(tree.size())});
      tree.push_back({&document.nodes[root], {}});
    }
  }
  while (!pending.empty()) {
    const Pending current = pending.back();
    pending.pop_back();
    for (uint32_t child : document.nodes[current.node].children) {
      if (tree.size() >= kMaxTreeNodes) {
        reason =
            "nodes: more than " + std::to_string(kMaxTreeNodes) + " nodes once shared nodes are repeated";
        return false;
      }
      tree[current.treeIndex].children.push_back(static_cast<uint32_t>(tree.size()));
      pending.push_back({child, static_cast<uint32_t>(tree.size())});
      tree.push_back({&document.nodes[child], {}});
    }
  }
  return true;
}

// assimp's reader names every camera and light after the node that holds it, children before
// parents, so the last such node gives the name; a camera also takes that node's translation as
// its position.
struct ObjectNames {
  std::vector<std::string> cameraNames;
  std::vector<aiVector3D> cameraPositions;
  std::vector<std::string> lightNames;
};

ObjectNames NameObjects(const GltfDocument& document, const std::vector<TreeNode>& tree) {
  ObjectNames names;
  names.cameraNames.resize(document.cameras);
  names.cameraPositions.resize(document.cameras);
  names.lightNames.resize(document.lights.size());
  // Children before parents: the reverse of an order with parents before children whose
  // children are visited from the last.
  std::vector<uint32_t> order;
  order.reserve(tree.size());
  std::vector<uint32_t> stack{0};
  while (!stack.empty()) {
    const uint32_t t = stack.back();
    stack.pop_back();
    order.push_back(t);
    for (uint32_t child : tree[t].children) stack.push_back(child);
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const GltfNode* node = tree[*it].node;
    if (node == nullptr) continue;
    if (node->camera >= 0) {
      names.cameraNames[node->camera] = node->name;
      if (node->translation) names.cameraPositions[node->camera] = *node->translation;
    }
    if (node->light >= 0) names.lightNames[node->light] = node->name;
  }
  return names;
}

aiLight SourceLight(const GltfLight& light) {
  aiLight out;
  switch (light.type) {
    case GltfLightType::kDirectional:
      out.mType = aiLightSource_DIRECTIONAL;
      break;
    case GltfLightType::kPoint:
      out.mType = aiLightSource_POINT;
      break;
    case GltfLightType::kSpot:
      out.mType = aiLightSource_SPOT;
      break;
  }
  if (out.mType != aiLightSource_POINT) {
    out.mDirection = aiVector3D(0.0f, 0.0f, -1.0f);
    out.mUp = aiVector3D(0.0f, 1.0f, 0.0f);
  }
  out.mColorDiffuse = aiColor3D(light.color[0] * light.intensity, light.color[1] * light.intensity,
                                light.color[2] * light.intensity);
  return out;
}

void ConvertMaterials(const GltfDocument& document, standin::SceneModel& model, ImportWarnings& warnings) {
  std::unordered_map<std::string, int32_t> texmaps;
  const auto texmap = [&](const std::string& fileName) {
    const auto found = texmaps.find(fileName);
    if (found != texmaps.end()) return found->second;
    const auto index = static_cast<int32_t>(model.texmaps.size());
    standin::TexmapModel added;
    added.fileName = fileName;
    model.texmaps.push_back(std::move(added));
    texmaps.emplace(fileName, index);
    return index;
  };
  model.materials.reserve(document.materials.size());
  for (const GltfMaterial& source : document.materials) {
    standin::MaterialModel material;
    material.name = source.name;
    material.diffuse = {source.baseColor[0], source.baseColor[1], source.baseColor[2]};
    material.selfIllum = {source.emissive[0], source.emissive[1], source.emissive[2]};
    // assimp gives the roughness as a Phong exponent, (1 - roughness)^2 * 1000.
    float exponent = 1 - source.roughness;
    exponent *= exponent * 1000;
    material.shininess = exponent > 1.0f ? std::min(1.0f, std::log2(exponent) / 10.0f) : 0.0f;
    material.twoSided = source.doubleSided;
    const std::pair<int, const GltfTextureRef*> slots[] = {{kSlotDiffuse, &source.baseColorTexture},
                                                           {kSlotSelfIllum, &source.emissiveTexture},
                                                           {kSlotBump, &source.normalTexture}};
    for (const auto& [slot, ref] : slots) {
      if (!ref->present) continue;
      if (ref->fileName.empty()) {
        warnings.push_back("material '" + material.name + "': embedded texture '*" +
                           std::to_string(ref->embeddedIndex) + "' has no file name; dropped");
        continue;
      }
      material.maps[slot] = {texmap(ref->fileName), true};
    }
    model.materials.push_back(std::move(material));
  }
}

// Reads element k of an accessor.
inline Point3 ReadVec3(const GltfAccessor& a, uint32_t k) {
  const unsigned char* p = a.data + size_t{k} * a.stride;
  return {ReadLeFloat(p), ReadLeFloat(p + 4), ReadLeFloat(p + 8)};
}
inline uint32_t ReadIndex(const GltfAccessor& a, uint32_t k) {
  const unsigned char* p = a.data + size_t{k} * a.stride;
  switch (a.componentType) {
    case kGltfUnsignedByte:
      return p[0];
    case kGltfUnsignedShort:
      return ReadLe16(p);
    default:
      return ReadLe32(p);
  }
}

// Points and lines are dropped, but a vertex index out of range makes assimp's reader refuse or
// mend the file, so it is left to that reader.
bool IndicesInRange(const GltfPrimitive& p, const std::string& nodeName, std::string& reason) {
  if (!p.indices) return true;
  for (uint32_t i = 0; i < p.indices->count; ++i) {
    if (ReadIndex(*p.indices, i) >= p.positions.count) {
      reason = "node '" + nodeName + "': an index of points or lines out of range";
      return false;
    }
  }
  return true;
}

struct NodeMeshOut {
  standin::MeshModel mesh;
  std::vector<uint32_t> usedMaterials;
  uint64_t droppedPrimitives = 0;
};

// The node's primitives merged as BuildNodeMesh merges assimp's meshes of them: every vertex of
// every primitive, used or not, in the file's order.
bool BuildMesh(const std::vector<GltfPrimitive>& primitives, const NormalFix& fix,
               const std::string& nodeName, NodeMeshOut& out, std::string& reason) {
  uint64_t vertices = 0, triangles = 0;
  bool anyUvs = false, anyColors = false;
  for (const GltfPrimitive& p : primitives) {
    if (p.mode != 4) continue;
    vertices += p.positions.count;
    triangles += p.faces;
    anyUvs = anyUvs || p.uvs.has_value();
    anyColors = anyColors || p.colors.has_value();
  }
  if (vertices >= UINT32_MAX || triangles >= UINT32_MAX) {
    reason = "node '" + nodeName + "': more vertices or faces than a host mesh holds";
    return false;
  }
  standin::MeshModel& mesh = out.mesh;
  mesh.vertices.reserve(vertices);
  mesh.faces.reserve(triangles);
  // Texture and colour vertices run parallel to the vertices: a face's vertex indices serve
  // them, and no faces of their own are kept.
  if (anyUvs) {
    mesh.tverts.reserve(vertices);
    mesh.tvFacesAreVertexFaces = true;
  }
  if (anyColors) {
    mesh.colors.emplace();
    mesh.colors->verts.reserve(vertices);
    mesh.colors->facesAreVertexFaces = true;
  }
  if (triangles == 0) {
    // Points and lines only: an empty mesh, as assimp's meshes of them give.
    for (const GltfPrimitive& p : primitives) {
      if (!IndicesInRange(p, nodeName, reason)) return false;
      out.droppedPrimitives += p.faces;
    }
    return true;
  }
  // Every vertex has a specified normal, so no corner takes a face normal: they are left out.
  mesh.normals.emplace();
  standin::ExplicitNormalsModel& normals = *mesh.normals;
  normals.specified.reserve(vertices);
  normals.entryStart.reserve(vertices + 1);
  normals.entries.reserve(vertices);

  for (size_t k = 0; k < primitives.size(); ++k) {
    const GltfPrimitive& p = primitives[k];
    if (p.mode != 4) {
      if (!IndicesInRange(p, nodeName, reason)) return false;
      out.droppedPrimitives += p.faces;
      continue;
    }
    const auto used = std::find(out.usedMaterials.begin(), out.usedMaterials.end(), p.material);
    const auto materialId = static_cast<uint16_t>(used - out.usedMaterials.begin());
    if (used == out.usedMaterials.end()) out.usedMaterials.push_back(p.material);
    if (out.usedMaterials.size() > 65536) {
      reason = "node '" + nodeName + "': more than 65536 materials";
      return false;
    }
    const uint32_t flags = standin::FlagsWithMaterialId(materialId);
    const auto addVertex = [&](uint32_t v) {
      mesh.vertices.push_back(ReadVec3(p.positions, v));
      normals.specified.push_back(1);
      normals.entries.push_back({FixNormal(fix, ReadVec3(p.normals, v)), 0});
      normals.entryStart.push_back(static_cast<uint32_t>(normals.entries.size()));
      if (anyUvs) {
        if (p.uvs) {
          const unsigned char* at = p.uvs->data + size_t{v} * p.uvs->stride;
          mesh.tverts.push_back({ReadLeFloat(at), 1 - ReadLeFloat(at + 4), 0.0f});  // glTF's v runs down
        } else {
          mesh.tverts.push_back({});
        }
      }
      if (anyColors) mesh.colors->verts.push_back(p.colors ? ReadVec3(*p.colors, v) : Point3{});
    };
    const auto addFace = [&](uint32_t a, uint32_t b, uint32_t c) {
      const MeshFace face{{a, b, c}, 0u, flags};
      mesh.faces.push_back(face);
    };
    const auto base = static_cast<uint32_t>(mesh.vertices.size());
    for (uint32_t v = 0; v < p.positions.count; ++v) addVertex(v);
    if (!p.indices) {
      for (uint32_t v = 0; v + 2 < p.positions.count; v += 3) addFace(base + v, base + v + 1, base + v + 2);
      continue;
    }
    uint32_t corner[3];
    for (uint32_t i = 0; i < p.indices->count; ++i) {
      const uint32_t v = ReadIndex(*p.indices, i);
      if (v >= p.positions.count) {
        reason = "node '" + nodeName + "', primitive " + std::to_string(k) + ": index " + std::to_string(i) +
                 " is vertex " + std::to_string(v) + ", out of range (" + std::to_string(p.positions.count) +
                 " vertices)";
        return false;
      }
      corner[i % 3] = base + v;
      if (i % 3 == 2) addFace(corner[0], corner[1], corner[2]);
    }
  }
  return true;
}

struct Builder {
  const GltfDocument& document;
  standin::SceneModel& model;
  ImportWarnings& warnings;
  MaterialTable materials;
  ObjectNames names;
  std::unordered_map<std::string, uint32_t> lightsByName;
  std::unordered_map<std::string, uint32_t> camerasByName;
  std::unordered_set<std::string> lightsPlaced;
};

standin::NodeModel NewNode(const GltfNode& node, const aiMatrix4x4& world) {
  standin::NodeModel out;
  out.name = node.name;
  out.userText = node.userText;
  out.transform = HostTransform(world);
  return out;
}

bool AddNode(Builder& b, const GltfNode& node, const aiMatrix4x4& world, bool isRoot, std::string& reason) {
  const bool hasMesh = node.mesh >= 0 && !b.document.meshes[node.mesh].empty();
  if (hasMesh) {
    NodeMeshOut built;
    if (!BuildMesh(b.document.meshes[node.mesh], NormalFixFor(world), node.name, built, reason)) return false;
    if (built.droppedPrimitives > 0) {
      b.warnings.push_back("node '" + node.name + "': " + std::to_string(built.droppedPrimitives) +
                           " points and lines dropped (only triangles are exported)");
    }
    standin::NodeModel out = NewNode(node, world);
    out.material = NodeMaterial(built.usedMaterials, out.name, b.materials, b.model);
    out.object.kind = standin::ObjectKind::kMesh;
    out.object.mesh = std::move(built.mesh);
    b.model.nodes.push_back(std::move(out));
    return true;
  }
  if (isRoot) return true;
  if (const auto light = b.lightsByName.find(node.name); light != b.lightsByName.end()) {
    b.lightsPlaced.insert(node.name);
    const aiLight source = SourceLight(b.document.lights[light->second]);
    standin::NodeModel out = NewNode(node, world * LightFrame(source));
    bool approximated = false;
    out.object.kind = standin::ObjectKind::kLight;
    out.object.light = ConvertLight(source, approximated);
    b.model.nodes.push_back(std::move(out));
    return true;
  }
  if (const auto camera = b.camerasByName.find(node.name); camera != b.camerasByName.end()) {
    aiCamera source;
    source.mLookAt = aiVector3D(0.0f, 0.0f, -1.0f);
    source.mPosition = b.names.cameraPositions[camera->second];
    standin::NodeModel out = NewNode(node, world * CameraFrame(source));
    out.object.kind = standin::ObjectKind::kCamera;
    b.model.nodes.push_back(std::move(out));
    return true;
  }
  standin::NodeModel out = NewNode(node, world);
  out.object.kind = standin::ObjectKind::kHelper;
  b.model.nodes.push_back(std::move(out));
  return true;
}

}  // namespace

bool BuildGltfScene(const GltfDocument& document, standin::SceneModel& out, ImportWarnings& warnings,
                    std::string& reason) {
  out = standin::SceneModel();
  std::vector<TreeNode> tree;
  if (!BuildTree(document, tree, reason)) return false;
  ImportWarnings found;
  Builder b{document, out, found, {}, NameObjects(document, tree), {}, {}, {}};
  ConvertMaterials(document, out, found);
  b.materials.byAssimpIndex.resize(document.materials.size());
  for (size_t i = 0; i < document.materials.size(); ++i)
    b.materials.byAssimpIndex[i] = static_cast<int32_t>(i);
  for (uint32_t i = 0; i < document.lights.size(); ++i) b.lightsByName.emplace(b.names.lightNames[i], i);
  for (uint32_t i = 0; i < document.cameras; ++i) b.camerasByName.emplace(b.names.cameraNames[i], i);

  // Depth first, parents before children, children in the file's order.
  struct Pending {
    uint32_t treeIndex;
    aiMatrix4x4 world;
  };
  const GltfNode* rootNode = tree[0].node;
  std::vector<Pending> stack{{0, rootNode != nullptr ? rootNode->local : aiMatrix4x4()}};
  while (!stack.empty()) {
    const Pending current = stack.back();
    stack.pop_back();
    const TreeNode& t = tree[current.treeIndex];
    if (t.node != nullptr && !AddNode(b, *t.node, current.world, current.treeIndex == 0, reason)) {
      out = standin::SceneModel();
      return false;
    }
    for (size_t c = t.children.size(); c-- > 0;) {
      const TreeNode& child = tree[t.children[c]];
      stack.push_back({t.children[c], current.world * child.node->local});
    }
  }
  for (uint32_t i = 0; i < document.lights.size(); ++i) {
    if (b.lightsPlaced.count(b.names.lightNames[i]) == 0)
      found.push_back("light '" + b.names.lightNames[i] + "' dropped: no node places it");
  }
  if (!standin::ValidateSceneModel(out, reason)) {
    out = standin::SceneModel();
    return false;
  }
  warnings.insert(warnings.end(), found.begin(), found.end());
  return true;
}

}  // namespace cvm::import
