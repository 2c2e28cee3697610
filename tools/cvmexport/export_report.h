// The export report: what happened to every node, what each mesh record holds and how well its
// normals survived their two-byte encoding, which textures the file names and whether they
// can be found, and every warning. Built from the scene and the written file read back, never
// from the exporter's inner state.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tools/cvmexport/node_fates.h"

namespace cvm::tools {

// One texture name of the file and where it was looked for, in this order until it is found:
// the source paths of the scene's bitmaps with that name (relative to the scene's folder unless
// absolute), the name itself in the scene's folder, then the name in each search folder.
struct TextureCheck {
  std::string name;
  std::vector<std::string> paths;  // the scene's file names that give this name
  std::vector<std::string> tried;  // the places looked at, in order, the last one found if any
  bool found = false;
};

// The file's texture names (each once, in table order) checked against the disk, with
// searchFolders (--texture-path, relative to the working folder unless absolute) as the last
// places to look.
std::vector<TextureCheck> CheckTextures(const standin::SceneModel& model, const reader::CvmFile& file,
                                        const std::string& scenePath,
                                        const std::vector<std::string>& searchFolders = {});

// The largest angle, in degrees, between a corner's exact normal (gathered again from the
// scene the way the export gathers it) and the normal its record's two bytes decode to, for
// mesh record `record` made from `node`. 0 for a record without normals; corners whose exact
// normal has no direction are left out.
double LargestNormalErrorDegrees(HostNode& node, const reader::CvmMesh& record);

// The warnings a strict run refuses: the importer's, then one per skipped node, then one per
// texture that was not found.
std::vector<std::string> ExportWarnings(const std::vector<std::string>& importWarnings,
                                        const standin::SceneModel& model, const std::vector<NodeFate>& fates,
                                        const std::vector<TextureCheck>& textures);

// The report as JSON: input, output (null when no file was written), status, nodes (name, kind,
// exportedAs and record, or skipped with its reason), meshes (node, faces, corners, positions,
// textureCoordinates, normals, maxNormalErrorDegrees), textures (name, paths, found, tried, and
// foundAt: the place found or null), warnings.
// file may be null when nothing was exported.
nlohmann::ordered_json BuildReport(const std::string& input, const std::string& output,
                                   const std::string& status, standin::StandinScene& scene,
                                   const std::vector<NodeFate>& fates, const reader::CvmFile* file,
                                   const std::vector<TextureCheck>& textures,
                                   const std::vector<std::string>& warnings);

}  // namespace cvm::tools
