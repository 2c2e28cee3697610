#include "import/assimp_materials.h"

#include <assimp/material.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace cvm::import {
namespace {

constexpr int kSlotDiffuse = 1;
constexpr int kSlotSelfIllum = 5;
constexpr int kSlotOpacity = 6;
constexpr int kSlotBump = 8;
constexpr int kSlotReflection = 9;
constexpr int kSlotRefraction = 10;

// Source texture types per host slot; the first type that holds a texture fills the slot.
struct SlotSource {
  int slot;
  aiTextureType types[2];
};
constexpr SlotSource kSlotSources[] = {
    {kSlotDiffuse, {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}},
    {kSlotSelfIllum, {aiTextureType_EMISSIVE, aiTextureType_EMISSION_COLOR}},
    {kSlotOpacity, {aiTextureType_OPACITY, aiTextureType_NONE}},
    {kSlotReflection, {aiTextureType_REFLECTION, aiTextureType_NONE}},
    {kSlotBump, {aiTextureType_HEIGHT, aiTextureType_NORMALS}},
    {kSlotRefraction, {aiTextureType_TRANSMISSION, aiTextureType_NONE}},
};

bool ReadColor(const aiMaterial& material, const char* key, unsigned type, unsigned index, Point3& out) {
  aiColor3D color;
  if (material.Get(key, type, index, color) != AI_SUCCESS) return false;
  out = {color.r, color.g, color.b};
  return true;
}

// The file name a texture reference stands for: its path, or for an embedded texture ("*N"
// or a name the file's own texture list holds) the original file name stored with it.
std::string TextureFileName(const aiScene& scene, const aiString& path) {
  const aiTexture* embedded = scene.GetEmbeddedTexture(path.C_Str());
  if (embedded == nullptr) return path.C_Str();
  return embedded->mFilename.C_Str();
}

class TexmapTable {
 public:
  explicit TexmapTable(standin::SceneModel& model) : model_(model) {}
  int32_t Find(const std::string& fileName) {
    const auto found = byName_.find(fileName);
    if (found != byName_.end()) return found->second;
    const auto index = static_cast<int32_t>(model_.texmaps.size());
    standin::TexmapModel texmap;
    texmap.fileName = fileName;
    model_.texmaps.push_back(std::move(texmap));
    byName_.emplace(fileName, index);
    return index;
  }

 private:
  standin::SceneModel& model_;
  std::unordered_map<std::string, int32_t> byName_;
};

standin::MaterialModel ConvertMaterial(const aiScene& scene, const aiMaterial& source, TexmapTable& texmaps,
                                       ImportWarnings& warnings) {
  standin::MaterialModel material;
  aiString name;
  if (source.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) material.name = name.C_Str();
  ReadColor(source, AI_MATKEY_COLOR_DIFFUSE, material.diffuse);
  ReadColor(source, AI_MATKEY_COLOR_AMBIENT, material.ambient);
  ReadColor(source, AI_MATKEY_COLOR_SPECULAR, material.specular);
  ReadColor(source, AI_MATKEY_COLOR_EMISSIVE, material.selfIllum);
  float exponent = 0.0f;
  if (source.Get(AI_MATKEY_SHININESS, exponent) == AI_SUCCESS) {
    // The host's glossiness g gives a specular exponent of about 2^(10 g).
    material.shininess = exponent > 1.0f ? std::min(1.0f, std::log2(exponent) / 10.0f) : 0.0f;
  }
  float strength = 0.0f;
  if (source.Get(AI_MATKEY_SHININESS_STRENGTH, strength) == AI_SUCCESS) material.shininessStrength = strength;
  int twoSided = 0;
  if (source.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS) material.twoSided = twoSided != 0;

  for (const SlotSource& slot : kSlotSources) {
    for (aiTextureType type : slot.types) {
      if (type == aiTextureType_NONE || source.GetTextureCount(type) == 0) continue;
      aiString path;
      if (source.GetTexture(type, 0, &path) != AI_SUCCESS) continue;
      const std::string fileName = TextureFileName(scene, path);
      if (fileName.empty()) {
        warnings.push_back("material '" + material.name + "': embedded texture '" + path.C_Str() +
                           "' has no file name; dropped");
        break;
      }
      material.maps[slot.slot] = {texmaps.Find(fileName), true};
      break;
    }
  }
  return material;
}

}  // namespace

MaterialTable ConvertMaterials(const aiScene& scene, standin::SceneModel& model, ImportWarnings& warnings) {
  MaterialTable table;
  TexmapTable texmaps(model);
  table.byAssimpIndex.reserve(scene.mNumMaterials);
  for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
    table.byAssimpIndex.push_back(static_cast<int32_t>(model.materials.size()));
    model.materials.push_back(ConvertMaterial(scene, *scene.mMaterials[i], texmaps, warnings));
  }
  return table;
}

int32_t NodeMaterial(const std::vector<uint32_t>& used, const std::string& nodeName, MaterialTable& table,
                     standin::SceneModel& model) {
  if (used.empty()) return -1;
  if (used.size() == 1) return table.byAssimpIndex[used[0]];
  const auto found = table.multiByList.find(used);
  if (found != table.multiByList.end()) return found->second;
  standin::MaterialModel multi;
  multi.name = nodeName;
  multi.classId = {standin::kMultiMaterialClassA, 0};
  for (uint32_t source : used) multi.subMaterials.push_back(table.byAssimpIndex[source]);
  const auto index = static_cast<int32_t>(model.materials.size());
  model.materials.push_back(std::move(multi));
  table.multiByList.emplace(used, index);
  return index;
}

}  // namespace cvm::import
