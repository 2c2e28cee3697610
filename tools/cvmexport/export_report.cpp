#include "tools/cvmexport/export_report.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "host/temporary_object.h"
#include "meshes/gather_mesh.h"

namespace cvm::tools {
namespace {

namespace fs = std::filesystem;

// The name the exporter writes for a bitmap path: what follows the last '/', then the last '\'.
std::string TextureNameOf(const std::string& path) {
  std::string name =
      path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  const size_t backslash = name.find_last_of('\\');
  return backslash == std::string::npos ? name : name.substr(backslash + 1);
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

std::vector<TextureCheck> CheckTextures(const standin::SceneModel& model, const reader::CvmFile& file,
                                        const std::string& scenePath,
                                        const std::vector<std::string>& searchFolders) {
  const fs::path folder = fs::path(scenePath).parent_path();
  std::vector<TextureCheck> checks;
  for (const reader::CvmTexture& texture : file.textures) {
    if (std::any_of(checks.begin(), checks.end(),
                    [&](const TextureCheck& c) { return c.name == texture.name; })) {
      continue;
    }
    TextureCheck check;
    check.name = texture.name;
    const auto tryPlace = [&check](const fs::path& place) {
      if (check.found) return;
      check.tried.push_back(place.string());
      check.found = IsFile(place);
    };
    for (const standin::TexmapModel& texmap : model.texmaps) {
      if (texmap.classId != kBitmapTexClassId || TextureNameOf(texmap.fileName) != texture.name) continue;
      if (std::find(check.paths.begin(), check.paths.end(), texmap.fileName) != check.paths.end()) continue;
      check.paths.push_back(texmap.fileName);
      // Windows paths from other machines are tried with forward slashes too.
      std::string portable = texmap.fileName;
      std::replace(portable.begin(), portable.end(), '\\', '/');
      const fs::path path(portable);
      tryPlace(path.is_absolute() ? path : folder / path);
    }
    tryPlace(folder / texture.name);
    for (const std::string& searchFolder : searchFolders) tryPlace(fs::path(searchFolder) / texture.name);
    checks.push_back(std::move(check));
  }
  return checks;
}

double LargestNormalErrorDegrees(HostNode& node, const reader::CvmMesh& record) {
  if (!record.hasNormals) return 0.0;
  const TemporaryObject tri(node.ConvertNodeToTriangleObject(0));
  HostMesh* mesh = tri.get() != nullptr ? tri.get()->TriObjectMesh() : nullptr;
  double largest = 0.0;
  if (mesh != nullptr && mesh->MeshFaceCount() > 0) {
    mesh->buildNormals();
    GatheredMesh gathered;
    std::string error;
    const bool ok =
        GatherMesh(*mesh, static_cast<uint32_t>(mesh->MeshFaceCount()), node.ObjectToWorldTransform(0),
                   Point3{}, true, ProgressWindow{}, node.NodeName(), nullptr, gathered, error);
    for (uint32_t c = 0; ok && c < gathered.normals.CornerCount() && c < record.normalIndices.size(); ++c) {
      const Point3& exact = gathered.normals.CornerValue(c);
      const double length =
          std::sqrt(double(exact.x) * exact.x + double(exact.y) * exact.y + double(exact.z) * exact.z);
      if (!(length > 0.0) || !std::isfinite(length)) continue;
      const reader::EncodedNormal encoded = record.normals[record.normalIndices[c]];
      const reader::Vec3 decoded = reader::DecodeNormal(encoded.polar, encoded.azimuth);
      const double cosine =
          (exact.x * double(decoded.x) + exact.y * double(decoded.y) + exact.z * double(decoded.z)) / length;
      largest = std::max(largest, std::acos(std::clamp(cosine, -1.0, 1.0)) * 180.0 / M_PI);
    }
  }
  return largest;
}

std::vector<std::string> ExportWarnings(const std::vector<std::string>& importWarnings,
                                        const standin::SceneModel& model, const std::vector<NodeFate>& fates,
                                        const std::vector<TextureCheck>& textures) {
  std::vector<std::string> warnings = importWarnings;
  for (size_t i = 0; i < fates.size(); ++i) {
    if (fates[i].skipped == SkipReason::kNone) continue;
    warnings.push_back(std::string(ObjectKindName(model.nodes[i].object.kind)) + " node '" +
                       model.nodes[i].name + "' skipped: " + SkipReasonText(fates[i].skipped));
  }
  for (const TextureCheck& texture : textures) {
    if (!texture.found) warnings.push_back("texture '" + texture.name + "' not found");
  }
  return warnings;
}

nlohmann::ordered_json BuildReport(const std::string& input, const std::string& output,
                                   const std::string& status, standin::StandinScene& scene,
                                   const std::vector<NodeFate>& fates, const reader::CvmFile* file,
                                   const std::vector<TextureCheck>& textures,
                                   const std::vector<std::string>& warnings) {
  using Json = nlohmann::ordered_json;
  const standin::SceneModel& model = scene.Model();
  Json report;
  report["input"] = input;
  report["output"] = output.empty() ? Json() : Json(output);
  report["status"] = status;

  Json nodes = Json::array();
  std::vector<size_t> meshNodes;
  for (size_t i = 0; i < fates.size(); ++i) {
    Json node;
    node["name"] = model.nodes[i].name;
    node["kind"] = ObjectKindName(model.nodes[i].object.kind);
    if (fates[i].section != NodeSection::kNone) {
      node["exportedAs"] = SectionName(fates[i].section);
      node["record"] = fates[i].record;
      if (fates[i].section == NodeSection::kMesh) meshNodes.push_back(i);
    } else {
      node["skipped"] = SkipReasonText(fates[i].skipped);
    }
    nodes.push_back(std::move(node));
  }
  report["nodes"] = std::move(nodes);

  Json meshes = Json::array();
  if (file != nullptr) {
    for (size_t node : meshNodes) {
      const reader::CvmMesh& record = file->meshes.at(fates[node].record);
      Json mesh;
      mesh["node"] = model.nodes[node].name;
      mesh["faces"] = record.faceCount;
      mesh["corners"] = record.cornerCount;
      mesh["positions"] = record.positions.size();
      mesh["textureCoordinates"] = record.uvs.size();
      mesh["normals"] = record.normals.size();
      mesh["maxNormalErrorDegrees"] = LargestNormalErrorDegrees(*scene.Node(node), record);
      meshes.push_back(std::move(mesh));
    }
  }
  report["meshes"] = std::move(meshes);

  Json textureList = Json::array();
  for (const TextureCheck& texture : textures) {
    textureList.push_back({{"name", texture.name},
                           {"paths", texture.paths},
                           {"found", texture.found},
                           {"tried", texture.tried},
                           {"foundAt", texture.found ? Json(texture.tried.back()) : Json()}});
  }
  report["textures"] = std::move(textureList);
  report["warnings"] = warnings;
  return report;
}

}  // namespace cvm::tools
