// Minimal host meshes and materials for the mesh tests: plain arrays behind the host
// interfaces, so a test states exactly what the host answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_scene.h"

namespace cvm::test {

class FakeMesh final : public HostMesh {
 public:
  std::vector<Point3> vertices;
  std::vector<MeshFace> faces;
  std::vector<Point3> tverts;
  std::vector<TVFace> tvFaces;
  std::vector<Point3> faceNormals;
  std::vector<Point3> colours;  // map channel 0
  std::vector<TVFace> colourFaces;
  int buildNormalsCalls = 0;

  // Appends a face over vertices a, b, c with a smoothing mask and a material id.
  void AddFace(uint32_t a, uint32_t b, uint32_t c, uint32_t smoothing = 0, uint16_t materialId = 0) {
    faces.push_back({{a, b, c}, smoothing, static_cast<uint32_t>(materialId) << 16});
  }
  // Render normals of vertex j: entries with their smoothing masks (primary = entry 0).
  void SetVertexNormals(uint32_t j, std::vector<RNormalEntry> entries, bool specified = false) {
    if (entries_.size() <= j) entries_.resize(j + 1);
    entries_[j] = std::move(entries);
    if (specified_.size() <= j) specified_.resize(j + 1, false);
    specified_[j] = specified;
  }

  int32_t MeshFaceCount() const override { return static_cast<int32_t>(faces.size()); }
  const MeshFace* MeshFaces() const override { return faces.data(); }
  int32_t MeshVertexCount() const override { return static_cast<int32_t>(vertices.size()); }
  const Point3* MeshVertices() const override { return vertices.data(); }
  int32_t MeshTVertCount() const override { return static_cast<int32_t>(tverts.size()); }
  const Point3* MeshTVerts() const override { return tverts.data(); }
  const TVFace* MeshTVFaces() const override { return tvFaces.data(); }
  void buildNormals() override {
    ++buildNormalsCalls;
    rverts_.assign(vertices.size(), RVertex{0, Point3{}, nullptr});
    entries_.resize(vertices.size());
    specified_.resize(vertices.size(), false);
    for (size_t j = 0; j < vertices.size(); ++j) {
      const auto& e = entries_[j];
      rverts_[j].rFlags = static_cast<uint32_t>(e.size()) | (specified_[j] ? kRVertexSpecifiedNormal : 0u);
      if (!e.empty()) rverts_[j].primaryNormal = e[0].normal;
      rverts_[j].ern = e.empty() ? nullptr : e.data();
    }
  }
  const Point3* MeshFaceNormals() const override { return faceNormals.data(); }
  const RVertex* MeshRenderNormals() const override { return rverts_.empty() ? nullptr : rverts_.data(); }
  int32_t getNumMapVerts(int channel) const override {
    return channel == 0 ? static_cast<int32_t>(colours.size()) : 0;
  }
  const Point3* mapVerts(int channel) const override { return channel == 0 ? colours.data() : nullptr; }
  const TVFace* mapFaces(int channel) const override { return channel == 0 ? colourFaces.data() : nullptr; }

 private:
  std::vector<std::vector<RNormalEntry>> entries_;
  std::vector<bool> specified_;
  std::vector<RVertex> rverts_;
};

class FakeMaterial final : public HostMaterial {
 public:
  bool isMulti = false;
  std::vector<HostMaterial*> subs;  // entries may be null
  std::optional<int32_t> subCountOverride;  // set: MaterialSubCount answers this instead

  ClassId ObjectClassId() const override { return isMulti ? ClassId{0x200, 0} : ClassId{2, 0}; }
  const char* MaterialName() const override { return "m"; }
  bool MaterialIsTwoSided() const override { return false; }
  bool MaterialIsMulti() const override { return isMulti; }
  int32_t MaterialSubCount() const override {
    return subCountOverride ? *subCountOverride : static_cast<int32_t>(subs.size());
  }
  HostMaterial* MaterialSub(int32_t index) const override {
    return index >= 0 && static_cast<size_t>(index) < subs.size() ? subs[index] : nullptr;
  }
  Point3 MaterialDiffuseColor() const override { return {}; }
  Point3 MaterialAmbientColor() const override { return {}; }
  Point3 MaterialSpecularColor() const override { return {}; }
  Point3 MaterialSelfIllumColor() const override { return {}; }
  float MaterialShininess() const override { return 0; }
  float MaterialShininessStrength() const override { return 0; }
  const HostTexmap* MaterialSubTexmap(int32_t /*slot*/) const override { return nullptr; }
  bool MaterialSubTexmapEnabled(int32_t /*slot*/) const override { return false; }
  const HostCustAttribContainer* GetCustAttribContainer() const override { return nullptr; }
  void AllocCustAttribContainer() override {}
};

}  // namespace cvm::test
