#include "tests/roundtrip/expected_file.h"

#include <cmath>
#include <cstring>

#include "format/float_to_int.h"

namespace cvm::test {
namespace {

using namespace standin;

bool CollectedKind(const ObjectModel& object) {
  return object.kind == ObjectKind::kMesh || object.kind == ObjectKind::kShape ||
         object.kind == ObjectKind::kLight || object.kind == ObjectKind::kHelper;
}

void CollectMaterial(const SceneModel& model, int32_t index, ExpectedMaterials& out) {
  if (index < 0) return;
  const MaterialModel& m = model.materials[static_cast<size_t>(index)];
  if (EffectiveIsMulti(m)) {
    for (int32_t sub : m.subMaterials) CollectMaterial(model, sub, out);
    return;
  }
  for (int32_t listed : out.materials) {
    if (listed == index) return;
  }
  out.materials.push_back(index);
  for (int slot : {1, 6, 5, 9, 8, 10, 7}) {
    const std::string name = ExpectedTextureName(model, m.maps[static_cast<size_t>(slot)].texmap);
    if (!name.empty()) out.textures.push_back(name);
  }
}

bool SameNameIgnoringCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct EngineValues {
  int32_t colorKeyCheckbox = 0, renderLast = 0, renderFirst = 0;
  Point3 colorKey;
  float u = 0, v = 0, time = 0, u2 = 0, v2 = 0, time2 = 0;
  int32_t hf = 1, vf = 1, hf2 = 1, vf2 = 1, collideable = 1, visible = 1, dataId = 0;
};

// The first param with id in the block; reads follow the host's conversion rules.
const ParamModel* FindParam(const CustAttribModel& a, uint32_t id) {
  for (const ParamModel& p : a.params) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

void ReadInt(const CustAttribModel& a, uint32_t id, int32_t& value) {
  const ParamModel* p = FindParam(a, id);
  if (p == nullptr) return;
  if (p->type == ParamType::kInt) value = p->intValue;
  if (p->type == ParamType::kFloat) value = TruncateToInt32(p->floatValue);
}

void ReadFloat(const CustAttribModel& a, uint32_t id, float& value) {
  const ParamModel* p = FindParam(a, id);
  if (p == nullptr) return;
  if (p->type == ParamType::kFloat) value = p->floatValue;
  if (p->type == ParamType::kInt) value = static_cast<float>(p->intValue);
}

void ReadParam(const CustAttribModel& a, const std::string& name, EngineValues& e) {
  struct IntField {
    const char* name;
    uint32_t id;
    int32_t EngineValues::*field;
  };
  struct FloatField {
    const char* name;
    uint32_t id;
    float EngineValues::*field;
  };
  // The table's order decides nothing here: one name matches at most one entry.
  static const IntField ints[] = {{"ColorKeyCheckbox", 1, &EngineValues::colorKeyCheckbox},
                                  {"RenderLastCheckbox", 2, &EngineValues::renderLast},
                                  {"RenderFirstCheckbox", 3, &EngineValues::renderFirst},
                                  {"HFSpinner", 6, &EngineValues::hf},
                                  {"VFSpinner", 7, &EngineValues::vf},
                                  {"Collideable", 9, &EngineValues::collideable},
                                  {"Visible", 11, &EngineValues::visible},
                                  {"HFSpinner2", 14, &EngineValues::hf2},
                                  {"VFSpinner2", 15, &EngineValues::vf2},
                                  {"DataIDSpinner", 10, &EngineValues::dataId}};
  static const FloatField floats[] = {
      {"USpinner", 4, &EngineValues::u},       {"VSpinner", 5, &EngineValues::v},
      {"TimeSpinner", 8, &EngineValues::time}, {"USpinner2", 12, &EngineValues::u2},
      {"VSpinner2", 13, &EngineValues::v2},    {"TimeSpinner2", 16, &EngineValues::time2}};
  for (const IntField& f : ints) {
    if (SameNameIgnoringCase(name, f.name)) ReadInt(a, f.id, e.*(f.field));
  }
  for (const FloatField& f : floats) {
    if (SameNameIgnoringCase(name, f.name)) ReadFloat(a, f.id, e.*(f.field));
  }
  if (SameNameIgnoringCase(name, "ColorKey")) {
    const ParamModel* p = FindParam(a, 0);
    if (p != nullptr && p->type == ParamType::kPoint3) e.colorKey = p->point3Value;
  }
}

}  // namespace

ExpectedKinds ExpectedSections(const SceneModel& model, bool selectedOnly) {
  ExpectedKinds kinds;
  for (size_t i = 0; i < model.nodes.size(); ++i) {
    const NodeModel& node = model.nodes[i];
    if ((selectedOnly && !node.selected) || node.hidden || !CollectedKind(node.object)) continue;
    ++kinds.collected;
    const ObjectModel& object = node.object;
    switch (object.kind) {
      case ObjectKind::kLight:
        kinds.lights.push_back(i);
        break;
      case ObjectKind::kHelper: {
        const ClassId id = EffectiveClassId(object);
        if (id == kDummyHelperClassId || id == kPointHelperClassId) kinds.helpers.push_back(i);
        break;
      }
      case ObjectKind::kShape:
        kinds.splines.push_back(i);
        break;
      default:
        if (!object.mesh.faces.empty()) kinds.meshes.push_back(i);
    }
  }
  return kinds;
}

ExpectedMaterials ExpectedMaterialSection(const SceneModel& model, const std::vector<size_t>& meshNodes) {
  ExpectedMaterials out;
  for (size_t n : meshNodes) {
    const int32_t index = model.nodes[n].material;
    if (index < 0) continue;
    const MaterialModel& m = model.materials[static_cast<size_t>(index)];
    if (m.classId == kShellMaterialClassId) {
      for (int32_t sub : m.subMaterials) CollectMaterial(model, sub, out);
    } else {
      CollectMaterial(model, index, out);
    }
  }
  return out;
}

uint32_t ExpectedMaterialIndex(const ExpectedMaterials& expected, int32_t material) {
  for (size_t i = 0; i < expected.materials.size(); ++i) {
    if (material >= 0 && expected.materials[i] == material) return static_cast<uint32_t>(i);
  }
  return 0xFFFFFFFFu;
}

std::string ExpectedTextureName(const SceneModel& model, int32_t texmap) {
  if (texmap < 0) return std::string();
  const TexmapModel& map = model.texmaps[static_cast<size_t>(texmap)];
  if (map.classId != kBitmapTexClassId) return std::string();
  std::string name = map.fileName.substr(0, 511);
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t backslash = name.rfind('\\');
  if (backslash != std::string::npos) name = name.substr(backslash + 1);
  return name;
}

reader::CvmEngineSettings ExpectedEngineSettings(const MaterialModel& material) {
  EngineValues e;
  bool hasEngineAttribute = false;
  if (material.customAttributes) {
    for (const CustAttribModel& a : *material.customAttributes) {
      if (a.paramBlock && a.className == "CV Mat") hasEngineAttribute = true;
    }
    if (hasEngineAttribute) {
      for (const CustAttribModel& a : *material.customAttributes) {
        if (!a.paramBlock) continue;
        for (const ParamModel& p : a.params) ReadParam(a, p.name, e);
      }
    }
  }
  reader::CvmEngineSettings s;
  s.collideable = static_cast<uint32_t>(e.collideable);
  s.visible = static_cast<uint32_t>(e.visible);
  s.dataId = static_cast<uint32_t>(e.dataId);
  if (e.colorKeyCheckbox > 0) s.colorKey = ExpectedColor(e.colorKey);
  if (e.u != 0.0f || e.v != 0.0f) s.uv1 = reader::CvmUvAnimation{e.u, e.v};
  if (e.hf != 1 || e.vf != 1) {
    s.frames1 = reader::CvmFrameAnimation{static_cast<uint16_t>(e.hf), static_cast<uint16_t>(e.vf), e.time};
  }
  if (e.u2 != 0.0f || e.v2 != 0.0f) s.uv2 = reader::CvmUvAnimation{e.u2, e.v2};
  if (e.hf2 != 1 || e.vf2 != 1) {
    s.frames2 =
        reader::CvmFrameAnimation{static_cast<uint16_t>(e.hf2), static_cast<uint16_t>(e.vf2), e.time2};
  }
  s.renderLast = static_cast<uint32_t>(e.renderLast);
  s.renderFirst = static_cast<uint32_t>(e.renderFirst);
  return s;
}

uint16_t ExpectedColorComponent(float c) {
  const double scaled = std::floor(static_cast<double>(c) * 255.0 + 0.5);
  return static_cast<uint16_t>(static_cast<int64_t>(scaled) & 0xFFFF);
}

reader::Color16 ExpectedColor(const Point3& c) {
  return {ExpectedColorComponent(c.x), ExpectedColorComponent(c.y), ExpectedColorComponent(c.z)};
}

}  // namespace cvm::test
