// What an exported file must hold for a scene model, worked out from the model alone (not
// through the exporter's code): which nodes land in which section, the material list and
// texture-name table, and each material's engine settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/cvm_reader.h"
#include "standin/scene_model.h"

namespace cvm::test {

// Model node indices per section, in section order.
struct ExpectedKinds {
  std::vector<size_t> meshes;
  std::vector<size_t> lights;
  std::vector<size_t> helpers;
  std::vector<size_t> splines;
  size_t collected = 0;  // nodes kept by the collection (0: the "No Data" case)
};

ExpectedKinds ExpectedSections(const standin::SceneModel& model, bool selectedOnly);

// The material list as model material indices, and the texture-name table.
struct ExpectedMaterials {
  std::vector<int32_t> materials;
  std::vector<std::string> textures;
};

ExpectedMaterials ExpectedMaterialSection(const standin::SceneModel& model,
                                          const std::vector<size_t>& meshNodes);

// Position of model material index in the list, or 0xFFFFFFFF.
uint32_t ExpectedMaterialIndex(const ExpectedMaterials& expected, int32_t material);

// The file name a texmap contributes: directories stripped, empty for non-bitmaps.
std::string ExpectedTextureName(const standin::SceneModel& model, int32_t texmap);

// The engine settings block of a material as the file stores it.
reader::CvmEngineSettings ExpectedEngineSettings(const standin::MaterialModel& material);

// A colour component as the file stores it: floor(c * 255 + 0.5), low 16 bits.
uint16_t ExpectedColorComponent(float c);
reader::Color16 ExpectedColor(const Point3& c);

}  // namespace cvm::test
