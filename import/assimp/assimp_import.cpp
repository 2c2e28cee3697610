#include "import/assimp_import.h"

#include <assimp/config.h>
#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cctype>
#include <initializer_list>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
  // What the file holds but no node reaches: empty child slots, meshes and lights no node uses.
  uint64_t emptyChildren = 0;
  std::vector<bool> meshUsed;
  std::unordered_set<std::string> lightsPlaced;
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
    b.meshUsed[node.mMeshes[k]] = true;
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
    b.lightsPlaced.insert(name);
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
      const aiNode* child = node.mChildren != nullptr ? node.mChildren[c] : nullptr;
      if (child != nullptr) {
        stack.push_back({child, current.world * child->mTransformation});
      } else {
        ++b.emptyChildren;
      }
    }
  }
  return true;
}

// Warns of what the file holds but no node of the scene reached, so nothing is lost in silence.
void WarnOfUnreached(const SceneBuilder& b) {
  if (b.emptyChildren > 0) {
    b.warnings.push_back(std::to_string(b.emptyChildren) +
                         (b.emptyChildren == 1 ? " child node the importer left empty was"
                                               : " child nodes the importer left empty were") +
                         " dropped, with whatever it held");
  }
  uint64_t meshes = 0;
  uint64_t faces = 0;
  for (unsigned i = 0; i < b.scene.mNumMeshes; ++i) {
    if (b.meshUsed[i] || b.scene.mMeshes[i]->mNumFaces == 0) continue;
    ++meshes;
    faces += b.scene.mMeshes[i]->mNumFaces;
  }
  if (meshes > 0) {
    b.warnings.push_back(std::to_string(meshes) + (meshes == 1 ? " mesh" : " meshes") + " of " +
                         std::to_string(faces) + (faces == 1 ? " face" : " faces") +
                         " that no node uses dropped");
  }
  for (unsigned i = 0; i < b.scene.mNumLights; ++i) {
    const std::string name = b.scene.mLights[i]->mName.C_Str();
    if (b.lightsPlaced.count(name) == 0)
      b.warnings.push_back("light " + Quoted(name) + " dropped: no node places it");
  }
}

// The name of the assimp reader for path's kind of file, or "assimp" when none is known.
std::string ReaderName(const Assimp::Importer& importer, const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && path.find_first_of("/\\", dot) == std::string::npos) {
    const size_t index = importer.GetImporterIndex(path.c_str() + dot + 1);
    const aiImporterDesc* info = index == static_cast<size_t>(-1) ? nullptr : importer.GetImporterInfo(index);
    if (info != nullptr && info->mName != nullptr && *info->mName != '\0')
      return std::string("assimp's ") + info->mName;
  }
  return "assimp";
}

// What assimp's words on a file it could not read likely mean.
std::string LikelyMeaning(std::string words) {
  for (char& c : words) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto says = [&words](std::initializer_list<const char*> parts) {
    for (const char* part : parts)
      if (words.find(part) != std::string::npos) return true;
    return false;
  };
  if (says({"empty", "end of file", "eof", "truncat", "too small", "unexpected end"}))
    return "the file is probably cut short";
  if (says({"no suitable reader"})) return "assimp has no reader for this kind of file";
  if (says({"could not open", "unable to open", "failed to open"}))
    return "a file it refers to is probably missing";
  return "the file is probably damaged, or not of the kind its name says";
}

// assimp's own words on a file it could not read, with what they likely mean. The caller names
// the file, so assimp's mentions of its path are cut to the file's name.
std::string ReadFailure(const Assimp::Importer& importer, const std::string& path) {
  std::string words = importer.GetErrorString();
  const std::string name =
      path.substr(path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1);
  for (size_t at = path.empty() ? std::string::npos : words.find(path); at != std::string::npos;
       at = words.find(path, at + name.size())) {
    words.replace(at, path.size(), name);
  }
  const std::string reader = ReaderName(importer, path);
  if (words.empty()) return reader + " could not read the file: not a model file it knows";
  if (words.find("bad_alloc") != std::string::npos)
    return reader + " ran out of memory reading the file: a count in the file is probably corrupt";
  return reader + " could not read the file: " + words + " (" + LikelyMeaning(words) + ")";
}

std::string MeshName(const aiScene& scene, unsigned i) {
  const aiMesh* mesh = scene.mMeshes[i];
  const std::string name = mesh != nullptr ? mesh->mName.C_Str() : "";
  return "mesh " + (name.empty() ? std::string() : Quoted(name) + " ") + "(" + std::to_string(i + 1) +
         " of " + std::to_string(scene.mNumMeshes) + ")";
}

}  // namespace

unsigned AssimpImportSteps() {
  return aiProcess_Triangulate | aiProcess_GenSmoothNormals;
}

bool CheckMeshFaces(const aiScene& scene, std::string& error) {
  if (scene.mNumMeshes > 0 && scene.mMeshes == nullptr) {
    error = "the file lists " + std::to_string(scene.mNumMeshes) + " meshes but holds none";
    return false;
  }
  for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
    const aiMesh* mesh = scene.mMeshes[i];
    const auto refuse = [&](const std::string& what) {
      error = MeshName(scene, i) + ": " + what;
      return false;
    };
    if (mesh == nullptr) return refuse("missing");
    if (mesh->mNumVertices > 0 && mesh->mVertices == nullptr)
      return refuse(std::to_string(mesh->mNumVertices) + " vertices without their positions");
    if (mesh->mNumFaces > 0 && mesh->mFaces == nullptr)
      return refuse(std::to_string(mesh->mNumFaces) + " faces without their corners");
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const aiFace& face = mesh->mFaces[f];
      if (face.mNumIndices == 0) return refuse("face " + std::to_string(f) + " has no corners");
      if (face.mIndices == nullptr)
        return refuse("face " + std::to_string(f) + ": " + std::to_string(face.mNumIndices) +
                      " corners without their vertex indices");
      for (unsigned k = 0; k < face.mNumIndices; ++k) {
        if (face.mIndices[k] >= mesh->mNumVertices) {
          return refuse("face " + std::to_string(f) + ": vertex index " + std::to_string(face.mIndices[k]) +
                        " out of range (" + std::to_string(mesh->mNumVertices) + " vertices)");
        }
      }
    }
  }
  return true;
}

namespace {

void SetUpImporter(Assimp::Importer& importer) {
  // FBX pivots and pre-rotations folded into the node transforms, not extra "$AssimpFbx$" nodes.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
}

// The second stage of a read: the scene as read (read, null when the reader failed) checked,
// then post-processed, since the steps trust the faces they get. source names the file's kind
// (its path or a name with its extension) for the messages.
const aiScene* CheckAndPostProcess(Assimp::Importer& importer, const aiScene* read, const std::string& source,
                                   std::string& error) {
  if (read == nullptr) {
    error = ReadFailure(importer, source);
    return nullptr;
  }
  if (!CheckMeshFaces(*read, error)) {
    error = ReaderName(importer, source) + " read a broken mesh: " + error;
    return nullptr;
  }
  const aiScene* processed = importer.ApplyPostProcessing(AssimpImportSteps());
  if (processed == nullptr) error = ReadFailure(importer, source);
  return processed;
}

// Turns the scene that reader read, checked and post-processed, into out.
bool ConvertReadScene(std::shared_ptr<Assimp::Importer> reader, const aiScene* scene,
                      standin::SceneModel& out, ImportWarnings& warnings, std::string& error,
                      ImportLeftovers* leftovers) {
  if (scene->mRootNode == nullptr) {
    error = "the file holds no scene";
    return false;
  }
  SceneBuilder b{*scene, out, warnings, {}, {}, {}, 0, 0, 0, {}, {}};
  b.meshUsed.assign(scene->mNumMeshes, false);
  b.materials = ConvertMaterials(*scene, out, warnings);
  for (unsigned i = 0; i < scene->mNumLights; ++i)
    b.lights.emplace(scene->mLights[i]->mName.C_Str(), scene->mLights[i]);
  for (unsigned i = 0; i < scene->mNumCameras; ++i)
    b.cameras.emplace(scene->mCameras[i]->mName.C_Str(), scene->mCameras[i]);
  if (!AddNodes(b, error)) {
    out = standin::SceneModel();
    return false;
  }
  WarnOfUnreached(b);
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

const aiScene* ReadModelWithAssimp(Assimp::Importer& importer, const std::string& path, std::string& error) {
  SetUpImporter(importer);
  // Read as it stands, checked, and only then post-processed.
  return CheckAndPostProcess(importer, importer.ReadFile(path, 0), path, error);
}

bool ImportModelFile(const std::string& path, standin::SceneModel& out, ImportWarnings& warnings,
                     std::string& error, ImportLeftovers* leftovers, FilesRead* filesRead) {
  out = standin::SceneModel();
  auto reader = std::make_shared<Assimp::Importer>();
  auto* files = new RecordingIOSystem(false);
  reader->SetIOHandler(files);  // the importer owns it from here
  const aiScene* scene = ReadModelWithAssimp(*reader, path, error);
  if (scene == nullptr) return false;
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
  const aiScene* read = reader->ReadFileFromMemory(bytes.data(), bytes.size(), 0, hint);
  if (!files->Refused().empty()) {
    // Even when assimp carries on without them (an OBJ without its materials), the model would
    // not be the one its file gives.
    std::string names;
    for (const std::string& name : files->Refused()) names += (names.empty() ? "'" : ", '") + name + "'";
    error = "the model refers to files beside it, which a model read from memory cannot have (" + names +
            "); give the model file's path instead";
    const std::string assimpError = reader->GetErrorString();
    if (read == nullptr && !assimpError.empty()) error += " (" + assimpError + ")";
    return false;
  }
  // The messages name the reader from the kind of file the contents were taken for.
  const std::string source = std::string("model.") + (*hint != '\0' ? hint : "bin");
  const aiScene* scene = CheckAndPostProcess(*reader, read, source, error);
  if (scene == nullptr) return false;
  return ConvertReadScene(std::move(reader), scene, out, warnings, error, leftovers);
}

}  // namespace cvm::import

#if defined(__SANITIZE_ADDRESS__)
#define CVM_IMPORT_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CVM_IMPORT_UNDER_ASAN 1
#endif
#endif

#if defined(CVM_IMPORT_UNDER_ASAN)
// Under LeakSanitizer, the blocks that assimp's own readers lose (the RAW reader's children that
// it leaves null, among others) are assimp's to mend and are left out of the leak reports of
// every program that imports through here. A block of ours lost after the import still counts:
// its allocation does not pass through the library.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libassimp.so\n";
}
#endif
