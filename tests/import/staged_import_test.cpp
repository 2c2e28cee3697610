// The import's checks between assimp's reading and its post-processing, and what it says about
// data of the file that no node reaches.
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "import/assimp_import.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

// A mesh "Box" of four vertices and two triangles, as a reader would leave it.
aiScene* SceneWithOneMesh() {
  auto* scene = new aiScene();
  scene->mNumMeshes = 1;
  scene->mMeshes = new aiMesh*[1];
  auto* mesh = new aiMesh();
  mesh->mName = "Box";
  mesh->mNumVertices = 4;
  mesh->mVertices = new aiVector3D[4];
  mesh->mNumFaces = 2;
  mesh->mFaces = new aiFace[2];
  for (unsigned f = 0; f < 2; ++f) {
    mesh->mFaces[f].mNumIndices = 3;
    mesh->mFaces[f].mIndices = new unsigned[3]{0, f + 1, f + 2};
  }
  scene->mMeshes[0] = mesh;
  return scene;
}

TEST(CheckMeshFaces, RefusesWhatThePostProcessingStepsWouldReadOutOfBounds) {
  struct Case {
    const char* what;
    std::function<void(aiMesh&)> damage;
    const char* message;  // "" for a mesh that passes
  };
  const Case cases[] = {
      {"whole", [](aiMesh&) {}, ""},
      {"index one past the end", [](aiMesh& m) { m.mFaces[1].mIndices[2] = 4; },
       "mesh 'Box' (1 of 1): face 1: vertex index 4 out of range (4 vertices)"},
      {"index -1 read as unsigned", [](aiMesh& m) { m.mFaces[0].mIndices[0] = ~0u; },
       "mesh 'Box' (1 of 1): face 0: vertex index 4294967295 out of range (4 vertices)"},
      {"face without corners", [](aiMesh& m) { m.mFaces[1].mNumIndices = 0; },
       "mesh 'Box' (1 of 1): face 1 has no corners"},
      {"corners without indices",
       [](aiMesh& m) {
         delete[] m.mFaces[0].mIndices;
         m.mFaces[0].mIndices = nullptr;
       },
       "mesh 'Box' (1 of 1): face 0: 3 corners without their vertex indices"},
      {"vertices without positions",
       [](aiMesh& m) {
         delete[] m.mVertices;
         m.mVertices = nullptr;
       },
       "mesh 'Box' (1 of 1): 4 vertices without their positions"},
      {"faces counted but missing",
       [](aiMesh& m) {
         delete[] m.mFaces;
         m.mFaces = nullptr;
       },
       "mesh 'Box' (1 of 1): 2 faces without their corners"},
  };
  for (const Case& c : cases) {
    aiScene* scene = SceneWithOneMesh();
    c.damage(*scene->mMeshes[0]);
    std::string error;
    const bool whole = import::CheckMeshFaces(*scene, error);
    EXPECT_EQ(whole, std::string(c.message).empty()) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    if (!whole) {
      EXPECT_EQ(error.find("mesh 'Box'"), 0u) << c.what << ": the message starts with the mesh: " << error;
    }
    delete scene;
  }
}

// A Stanford PLY cube whose first face is given by the text that replaces "4 0 1 2 3".
std::string CubePly(const std::string& firstFace) {
  return "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
         "element face 6\nproperty list uchar int vertex_index\nend_header\n"
         "0 0 0\n0 0 1\n0 1 1\n0 1 0\n1 0 0\n1 0 1\n1 1 1\n1 1 0\n" +
         firstFace + "\n4 7 6 5 4\n4 0 4 5 1\n4 1 5 6 2\n4 2 6 7 3\n4 3 7 4 0\n";
}

TEST(ReadModelWithAssimp, ABrokenMeshIsRefusedBeforeThePostProcessingRuns) {
  const struct {
    const char* face;
    const char* message;  // "" for a file that reads
  } cases[] = {
      {"4 0 1 2 3", ""},
      {"4 0 1 2 99", "read a broken mesh: mesh (1 of 1): face 0: vertex index 99 out of range (8 vertices)"},
      {"4 0 1 2 -1", "face 0: vertex index 4294967295 out of range"},
      {"0", "face 0 has no corners"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.File("cube.ply");
    std::ofstream(path, std::ios::binary) << CubePly(c.face);
    Assimp::Importer importer;
    std::string error;
    const aiScene* scene = import::ReadModelWithAssimp(importer, path, error);
    if (std::string(c.message).empty()) {
      ASSERT_NE(scene, nullptr) << error;
      // Triangulated after the check: six quads, twelve triangles.
      ASSERT_EQ(scene->mNumMeshes, 1u);
      EXPECT_EQ(scene->mMeshes[0]->mNumFaces, 12u);
      continue;
    }
    EXPECT_EQ(scene, nullptr) << c.face;
    EXPECT_NE(error.find("(PLY)"), std::string::npos) << "names assimp's reader: " << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.face << ": " << error;
    EXPECT_EQ(error.find(dir.File("")), std::string::npos) << "the caller names the file: " << error;
  }
}

TEST(ImportModelFile, WhatNoNodeReachesIsAWarningNotASilentLoss) {
  // assimp's RAW reader leaves one of the root's child slots empty; the mesh it held is used by
  // no node.
  const std::string path = std::string(ASSIMP_MODELS_DIR) + "/RAW/WithColor.raw";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "assimp-testmodels is not installed";
  standin::SceneModel model;
  import::ImportWarnings warnings;
  std::string error;
  ASSERT_TRUE(import::ImportModelFile(path, model, warnings, error)) << error;
  EXPECT_NE(std::find(warnings.begin(), warnings.end(),
                      "1 child node the importer left empty was dropped, with whatever it held"),
            warnings.end());
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "1 mesh of 2 faces that no node uses dropped"),
            warnings.end());
}

}  // namespace
}  // namespace cvm
