// Real model files made by others (Debian's assimp-testmodels): each is imported, exported,
// read back with the reader and compared with what assimp itself reads from the file.
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <filesystem>

#include "import/assimp_import.h"
#include "tests/import/import_fixture.h"

namespace cvm {
namespace {

struct ModelCase {
  const char* path;                   // under the test collection's folder
  std::vector<std::string> textures;  // names the file's texture table must hold, in order
  size_t lights = 0;
  // Distinct normals per mesh record where the source's smoothing groups decide them (a cube
  // with a group per side has 6, a smooth one 8); empty: not checked.
  std::vector<size_t> normalCounts = {};
};

void PrintTo(const ModelCase& c, std::ostream* os) {
  *os << c.path;
}

// glTF 2, FBX (several written by the modelling application), 3DS and ASE with smoothing
// groups, OBJ with materials and vertex colours, DAE with lights and two UV sets, PLY, STL.
const std::vector<ModelCase> kModels = {
    {"glTF2/BoxTextured-glTF/BoxTextured.gltf", {"CesiumLogoFlat.png"}},
    {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", {}},
    {"FBX/box.fbx", {}},
    {"FBX/phong_cube.fbx", {}},
    {"FBX/cubes_with_names.fbx", {}},
    {"FBX/cubes_with_mirroring_and_pivot.fbx", {}},
    {"FBX/close_to_identity_transforms.fbx", {}},
    {"FBX/maxPbrMaterial_metalRough.fbx", {"albedo.png", "opacity.png", "emission.png"}},
    {"FBX/spider.fbx", {"drkwood2.jpg", "wal67ar_small.jpg", "engineflare1.jpg", "SpiderTex.jpg"}, 1},
    {"3DS/fels.3ds", {}},
    {"3DS/test1.3ds", {"IMAGE1.JPG", "CWALL02.JPG", "IMAGE2.JPG"}},
    {"3DS/cube_with_diffuse_texture.3DS", {"TEST.PNG"}},
    {"3DS/cubes_with_alpha.3DS", {"BERETTA_.JPG"}, 0, {8, 6, 6, 6, 6}},
    {"ASE/ThreeCubesGreen.ASE", {}, 0, {6, 6, 6}},
    {"ASE/RotatingCube.ASE", {}, 0, {6}},
    {"OBJ/spider.obj", {"SpiderTex.jpg", "wal67ar_small.jpg", "drkwood2.jpg", "engineflare1.jpg"}},
    {"OBJ/cube_usemtl.obj", {}},
    {"OBJ/cube_with_vertexcolors.obj", {}},
    {"Collada/duck.dae", {"duckCM.tga"}, 1},
    {"Collada/lights.dae", {}, 5},
    {"Collada/cube_with_2UVs.DAE", {}},
    {"PLY/cube_uv.ply", {}},
    {"STL/3DSMaxExport.STL", {}},
};

// One mesh node as assimp reads it: its world transform and its triangles in mesh order.
struct SourceMeshNode {
  std::string name;
  aiMatrix4x4 world;
  std::vector<std::pair<const aiMesh*, const aiFace*>> triangles;
};

// The nodes that hold triangles, depth first with parents before children.
void CollectMeshNodes(const aiScene& scene, const aiNode& node, const aiMatrix4x4& world,
                      std::vector<SourceMeshNode>& out) {
  SourceMeshNode source{node.mName.C_Str(), world, {}};
  for (unsigned k = 0; k < node.mNumMeshes; ++k) {
    const aiMesh* mesh = scene.mMeshes[node.mMeshes[k]];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      if (mesh->mFaces[f].mNumIndices == 3) source.triangles.emplace_back(mesh, &mesh->mFaces[f]);
    }
  }
  if (!source.triangles.empty()) out.push_back(std::move(source));
  for (unsigned c = 0; c < node.mNumChildren; ++c) {
    CollectMeshNodes(scene, *node.mChildren[c], world * node.mChildren[c]->mTransformation, out);
  }
}

float Largest(const reader::Vec3& v) {
  return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
}

class ModelFiles : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelFiles, ReadBackAsAssimpReadsThem) {
  const std::string path = std::string(ASSIMP_MODELS_DIR) + "/" + GetParam().path;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "assimp-testmodels is not installed: " << path;
  const test::ImportedFile imported = test::ImportAndRead(path);
  ASSERT_TRUE(imported.ok);
  const reader::CvmFile& file = imported.file;

  Assimp::Importer importer;
  std::string error;
  const aiScene* scene = import::ReadModelWithAssimp(importer, path, error);
  ASSERT_NE(scene, nullptr) << error;
  std::vector<SourceMeshNode> sources;
  CollectMeshNodes(*scene, *scene->mRootNode, scene->mRootNode->mTransformation, sources);

  ASSERT_EQ(file.meshes.size(), sources.size());
  for (size_t m = 0; m < sources.size(); ++m) {
    const SourceMeshNode& source = sources[m];
    const reader::CvmMesh& mesh = file.meshes[m];
    ASSERT_EQ(mesh.faceCount, source.triangles.size()) << source.name;
    size_t grouped = 0;
    for (const reader::CvmFaceGroup& group : mesh.groups) grouped += group.faces.size();
    EXPECT_EQ(grouped, source.triangles.size()) << source.name;
    // Every corner of every written face, resolved through the indices, lands where assimp puts
    // the source vertex, turned upright; the exporter's pivot subtraction and the reader's
    // addition cost a rounding or two of the larger of the two.
    const float pivotSize = Largest(reader::FileToHostAxes(mesh.pivot));
    size_t mismatches = 0;
    for (const reader::CvmFaceGroup& group : mesh.groups) {
      for (const std::array<uint32_t, 3>& face : group.faces) {
        for (uint32_t corner : face) {
          const auto& [sourceMesh, sourceFace] = source.triangles.at(corner / 3);
          const aiVector3D world = source.world * sourceMesh->mVertices[sourceFace->mIndices[corner % 3]];
          const reader::Vec3 expected = {world.x, -world.z, world.y};
          const reader::Vec3 actual = test::HostCornerPosition(mesh, corner);
          const float tolerance = 4e-6f * (1.0f + std::max(Largest(expected), pivotSize));
          const bool close = std::fabs(actual.x - expected.x) <= tolerance &&
                             std::fabs(actual.y - expected.y) <= tolerance &&
                             std::fabs(actual.z - expected.z) <= tolerance;
          if (!close && mismatches++ < 3) {
            ADD_FAILURE() << source.name << " corner " << corner << ": (" << actual.x << ", " << actual.y
                          << ", " << actual.z << ") instead of (" << expected.x << ", " << expected.y << ", "
                          << expected.z << ")";
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0u) << source.name;
  }

  std::vector<std::string> names;
  for (const reader::CvmTexture& texture : file.textures) {
    if (std::find(names.begin(), names.end(), texture.name) == names.end()) names.push_back(texture.name);
  }
  EXPECT_EQ(names, GetParam().textures);
  EXPECT_EQ(file.lights.size(), GetParam().lights);
  if (!GetParam().normalCounts.empty()) {
    std::vector<size_t> normalCounts;
    for (const reader::CvmMesh& mesh : file.meshes) normalCounts.push_back(mesh.normals.size());
    EXPECT_EQ(normalCounts, GetParam().normalCounts);
  }
}

std::string CaseName(const ::testing::TestParamInfo<ModelCase>& info) {
  std::string name = info.param.path;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(AssimpTestModels, ModelFiles, ::testing::ValuesIn(kModels), CaseName);

}  // namespace
}  // namespace cvm
