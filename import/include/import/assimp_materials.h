// assimp materials as host standard materials, and the multi-materials that nodes with
// several materials need.
#pragma once

#include <assimp/scene.h>

#include <map>
#include <string>
#include <vector>

#include "import/import_scene.h"
#include "standin/scene_model.h"

namespace cvm::import {

// Maps a source material index to the model's material index, and a node's list of source
// materials to its node material (one material as itself, several as a multi-material that is
// made once per distinct list).
struct MaterialTable {
  std::vector<int32_t> byAssimpIndex;
  std::map<std::vector<uint32_t>, int32_t> multiByList;
};

// Appends one standard material per source material to model.materials, with texmaps for the
// bitmap file names of the slots that the host's standard material has:
//   diffuse (base colour when there is no diffuse texture) -> 1, emissive -> 5 self-illumination,
//   opacity -> 6, reflection -> 9, height (else normals) -> 8 bump, transmission -> 10
//   refraction. Filter colour (7) has no source counterpart. Colours: diffuse, ambient,
//   specular, emissive as self-illumination; shininess from the Phong exponent e as
//   log2(e) / 10 clamped to 0..1, shininess strength from the specular strength; two-sided.
// Embedded textures keep their original file name; one without a name is dropped with a
// warning. Texmaps with the same path are shared.
MaterialTable ConvertMaterials(const aiScene& scene, standin::SceneModel& model, ImportWarnings& warnings);

// The material index of a node using the source materials used (distinct, in order of first
// use): -1 for none, the material itself for one, a multi-material named after the node for
// several (sub-material k is used[k]).
int32_t NodeMaterial(const std::vector<uint32_t>& used, const std::string& nodeName, MaterialTable& table,
                     standin::SceneModel& model);

}  // namespace cvm::import
