#include "import/assimp_import.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <unordered_map>

#include "import/assimp_io_system.h"
#include "import/assimp_materials.h"
#include "import/assimp_meshes.h"
#include "import/assimp_objects.h"
#include "import/source_axes.h"
#include "standin/scene_model_validate.h"

namespace cvm::import {
namespace {

std::string Quoted(const std::string& name) {
  return "'" + name + "'";
}

struct SceneBuilder {
  const aiScene& scene;
  standin::SceneModel& model;
  ImportWarnings& warnings;
  MaterialTable materials;
  std::unordered_map<std::string, const aiLight*> lights;
  std::unordered_map<std::string, const aiCamera*> cameras;
  uint64_t droppedBones = 0;
  uint64_t droppedMorphTargets = 0;
};

standin::NodeModel NewNode(const aiNode& node, const aiMatrix4x4& world) {
  standin::NodeModel out;
  out.name = node.mName.C_Str();
  out.userText = NodeUserText(node);
  out.transform = HostTransform(world);
  return out;
}

bool AddMeshNode(SceneBuilder& b, const aiNode& node, const aiMatrix4x4& world, std::string& error) {
  NodeMesh built;
  if (!BuildNodeMesh(b.scene, node, NormalFixFor(world), built, error)) return false;
  if (built.droppedPrimitives > 0) {
    b.warnings.push_back("node " + Quoted(node.mName.C_Str()) + ": " +
                         std::to_string(built.droppedPrimitives) +
                         " points and lines dropped (only triangles are exported)");
  }
  for (unsigned k = 0; k < node.mNumMeshes; ++k) {
    const aiMesh& mesh = *b.scene.mMeshes[node.mMeshes[k]];
    b.droppedBones += mesh.mNumBones;
    b.droppedMorphTargets += mesh.mNumAnimMeshes;
  }
  standin::NodeModel out = NewNode(node, world);
  out.material = NodeMaterial(built.usedMaterials, out.name, b.materials, b.model);
  out.object.kind = standin::ObjectKind::kMesh;
  out.object.mesh = std::move(built.mesh);
  b.model.nodes.push_back(std::move(out));
  return true;
}

// A node without meshes: the file's light or camera of that name, else a dummy helper.
void AddObjectNode(SceneBuilder& b, const aiNode& node, const aiMatrix4x4& world) {
  const std::string name = node.mName.C_Str();
  if (const auto light = b.lights.find(name); light != b.lights.end()) {
    standin::NodeModel out = NewNode(node, world * LightFrame(*light->second));
    bool approximated = false;
    out.object.kind = standin::ObjectKind::kLight;
    out.object.light = ConvertLight(*light->second, approximated);
    if (approximated)
      b.warnings.push_back("light " + Quoted(name) + ": ambient or area light exported as an omni light");
    b.model.nodes.push_back(std::move(out));
    return;
  }
  if (const auto camera = b.cameras.find(name); camera != b.cameras.end()) {
    standin::NodeModel out = NewNode(node, world * CameraFrame(*camera->second));
    out.object.kind = standin::ObjectKind::kCamera;
    b.model.nodes.push_back(std::move(out));
    return;
  }
  standin::NodeModel out = NewNode(node, world);
  out.object.kind = standin::ObjectKind::kHelper;
  b.model.nodes.push_back(std::move(out));
}

// Depth first, parents before children, children in the file's order. An explicit stack keeps
// deep hierarchies from exhausting the call stack.
bool AddNodes(SceneBuilder& b, std::string& error) {
  struct Pending {
    const aiNode* node;
    aiMatrix4x4 world;
  };
  std::vector<Pending> stack{{b.scene.mRootNode, b.scene.mRootNode->mTransformation}};
  while (!stack.empty()) {
    const Pending current = stack.back();
    stack.pop_back();
    const aiNode& node = *current.node;
    if (node.mNumMeshes > 0) {
      if (!AddMeshNode(b, node, current.world, error)) return false;
    } else if (&node != b.scene.mRootNode) {
      AddObjectNode(b, node, current.world);
    }
    for (unsigned c = node.mNumChildren; c-- > 0;) {
      const aiNode* child = node.mChildren[c];
      if (child != nullptr) stack.push_back({child, current.world * child->mTransformation});
    }
  }
  return true;
}

}  // namespace

unsigned AssimpImportSteps() {
  return aiProcess_Triangulate | aiProcess_GenSmoothNormals;
}

namespace {

void SetUpImporter(Assimp::Importer& importer) {
  // FBX pivots and pre-rotations folded into the node transforms, not extra "$AssimpFbx$" nodes.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
}

// Turns the scene that reader read (null when it failed) into out.
bool ConvertReadScene(std::shared_ptr<Assimp::Importer> reader, const aiScene* scene,
                      standin::SceneModel& out, ImportWarnings& warnings, std::string& error,
                      ImportLeftovers* leftovers) {
  if (scene == nullptr) {
    error = reader->GetErrorString();
    if (error.empty()) error = "not a model file that can be read";
    return false;
  }
  if (scene->mRootNode == nullptr) {
    error = "the file holds no scene";
    return false;
  }
  SceneBuilder b{*scene, out, warnings, {}, {}, {}};
  b.materials = ConvertMaterials(*scene, out, warnings);
  for (unsigned i = 0; i < scene->mNumLights; ++i)
    b.lights.emplace(scene->mLights[i]->mName.C_Str(), scene->mLights[i]);
  for (unsigned i = 0; i < scene->mNumCameras; ++i)
    b.cameras.emplace(scene->mCameras[i]->mName.C_Str(), scene->mCameras[i]);
  if (!AddNodes(b, error)) {
    out = standin::SceneModel();
    return false;
  }
  if (b.droppedBones > 0) {
    warnings.push_back(std::to_string(b.droppedBones) +
                       " bones dropped: skinned meshes are exported as they stand");
  }
  if (b.droppedMorphTargets > 0)
    warnings.push_back(std::to_string(b.droppedMorphTargets) + " morph targets dropped");
  if (scene->mNumAnimations > 0) {
    warnings.push_back(std::to_string(scene->mNumAnimations) +
                       " animations dropped: the scene is exported at time 0");
  }
  if (!standin::ValidateSceneModel(out, error)) {
    out = standin::SceneModel();
    return false;
  }
  if (leftovers != nullptr) *leftovers = std::move(reader);
  return true;
}

}  // namespace

const aiScene* ReadModelWithAssimp(Assimp::Importer& importer, const std::string& path) {
  SetUpImporter(importer);
  return importer.ReadFile(path, AssimpImportSteps());
}

bool ImportModelFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                     std::string& error, ImportLeftovers* leftovers, FilesRead* filesRead) {
  out = standin::SceneModel();
  auto reader = std::make_shared<Assimp::Importer>();
  auto* files = new RecordingIOSystem(false);
  reader->SetIOHandler(files);  // the importer owns it from here
  const aiScene* scene = ReadModelWithAssimp(*reader, path);
  FilesRead opened = {path};
  for (const std::string& file : files->Opened()) {
    if (file != path) opened.push_back(file);
  }
  if (!ConvertReadScene(std::move(reader), scene, out, warnings, error, leftovers)) return false;
  if (filesRead != nullptr) *filesRead = std::move(opened);
  return true;
}

bool ImportModelBytes(std::string_view bytes, standin::SceneModel& out, ImportWarnings& warnings,
                      std::string& error, ImportLeftovers* leftovers) {
  out = standin::SceneModel();
  if (bytes.empty()) {
    error = "no bytes to read";
    return false;
  }
  auto reader = std::make_shared<Assimp::Importer>();
  auto* files = new RecordingIOSystem(true);
  reader->SetIOHandler(files);  // the importer owns it from here
  SetUpImporter(*reader);
  // assimp tells most formats by their contents, but takes a binary glTF only under its extension.
  const char* hint = bytes.substr(0, 4) == "glTF" ? "glb" : "";
  const aiScene* scene = reader->ReadFileFromMemory(bytes.data(), bytes.size(), AssimpImportSteps(), hint);
  if (!files->Refused().empty()) {
    // Even when assimp carries on without them (an OBJ without its materials), the model would
    // not be the one its file gives.
    std::string names;
    for (const std::string& name : files->Refused()) names += (names.empty() ? "'" : ", '") + name + "'";
    error = "the model refers to files beside it, which a model read from memory cannot have (" + names +
            "); give the model file's path instead";
    const std::string assimpError = reader->GetErrorString();
    if (scene == nullptr && !assimpError.empty()) error += " (" + assimpError + ")";
    return false;
  }
  return ConvertReadScene(std::move(reader), scene, out, warnings, error, leftovers);
}

}  // namespace cvm::import
