// cvm_make_glb: writes a binary glTF of one smooth torus mesh with about N triangles (shared
// vertices, normals, texture coordinates, vertex colours), through assimp's own glTF writer,
// for the end-to-end comparison of converters (end_to_end.sh).
//
//   cvm_make_glb OUT.glb [TRIANGLES]   (default 1000000)
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>

#include <assimp/Exporter.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kPi = 3.14159265358979323846;

aiScene* MakeTorus(unsigned triangles) {
  const unsigned cells = triangles / 2 < 9 ? 9 : triangles / 2;
  auto around = static_cast<unsigned>(std::sqrt(2.0 * cells));
  while (around > 3 && cells % around != 0) --around;
  const unsigned across = cells / around;
  // One vertex per grid point, the last row and column repeated so texture coordinates wrap.
  const unsigned rowLength = around + 1;
  const unsigned vertexCount = rowLength * (across + 1);

  auto* mesh = new aiMesh();
  mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  mesh->mNumVertices = vertexCount;
  mesh->mVertices = new aiVector3D[vertexCount];
  mesh->mNormals = new aiVector3D[vertexCount];
  mesh->mTextureCoords[0] = new aiVector3D[vertexCount];
  mesh->mNumUVComponents[0] = 2;
  mesh->mColors[0] = new aiColor4D[vertexCount];
  for (unsigned a = 0; a <= across; ++a) {
    const double v = 2.0 * kPi * a / across;
    for (unsigned s = 0; s <= around; ++s) {
      const double u = 2.0 * kPi * s / around;
      const unsigned k = a * rowLength + s;
      const double ring = 10.0 + 3.0 * std::cos(v);
      mesh->mVertices[k] =
          aiVector3D(static_cast<float>(ring * std::cos(u)), static_cast<float>(3.0 * std::sin(v)),
                     static_cast<float>(ring * std::sin(u)));
      mesh->mNormals[k] =
          aiVector3D(static_cast<float>(std::cos(v) * std::cos(u)), static_cast<float>(std::sin(v)),
                     static_cast<float>(std::cos(v) * std::sin(u)));
      mesh->mTextureCoords[0][k] =
          aiVector3D(static_cast<float>(4.0 * s / around), static_cast<float>(a) / across, 0);
      mesh->mColors[0][k] =
          aiColor4D(static_cast<float>(s) / around, static_cast<float>(a) / across, 0.5f, 1.0f);
    }
  }
  mesh->mNumFaces = 2 * around * across;
  mesh->mFaces = new aiFace[mesh->mNumFaces];
  unsigned f = 0;
  for (unsigned a = 0; a < across; ++a) {
    for (unsigned s = 0; s < around; ++s) {
      const unsigned p00 = a * rowLength + s, p10 = p00 + 1, p01 = p00 + rowLength, p11 = p01 + 1;
      const unsigned quad[2][3] = {{p00, p11, p10}, {p00, p01, p11}};
      for (const auto& triangle : quad) {
        aiFace& face = mesh->mFaces[f++];
        face.mNumIndices = 3;
        face.mIndices = new unsigned[3]{triangle[0], triangle[1], triangle[2]};
      }
    }
  }
  mesh->mMaterialIndex = 0;

  auto* scene = new aiScene();
  scene->mNumMeshes = 1;
  scene->mMeshes = new aiMesh* [1] { mesh };
  scene->mNumMaterials = 1;
  scene->mMaterials = new aiMaterial* [1] { new aiMaterial() };
  aiString name("Torus");
  scene->mMaterials[0]->AddProperty(&name, AI_MATKEY_NAME);
  scene->mRootNode = new aiNode("Torus");
  scene->mRootNode->mNumMeshes = 1;
  scene->mRootNode->mMeshes = new unsigned[1]{0};
  return scene;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: cvm_make_glb OUT.glb [TRIANGLES]\n");
    return 2;
  }
  const unsigned triangles = argc == 3 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1000000u;
  aiScene* scene = MakeTorus(triangles);
  Assimp::Exporter exporter;
  const aiReturn result = exporter.Export(scene, "glb2", argv[1]);
  const unsigned faces = scene->mMeshes[0]->mNumFaces;
  delete scene;
  if (result != aiReturn_SUCCESS) {
    std::fprintf(stderr, "cvm_make_glb: %s\n", exporter.GetErrorString());
    return 1;
  }
  std::printf("%s: %u triangles\n", argv[1], faces);
  return 0;
}
