#include "tests/roundtrip/random_scene.h"

#include <random>
#include <string>
#include <vector>

namespace cvm::test {
namespace {

using namespace standin;

class Dice {
 public:
  explicit Dice(uint32_t seed) : engine_(seed) {}
  // 0 .. n - 1 (n > 0).
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(engine_() % n); }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  int32_t Between(int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(Below(static_cast<uint32_t>(hi - lo + 1)));
  }
  // A float on a grid of 1/64 in [-range, range]: repeats happen, so merging gets exercised.
  float Coarse(int32_t range) { return static_cast<float>(Between(-range * 64, range * 64)) / 64.0f; }
  // Any float in [-range, range] with a full mantissa.
  float Fine(float range) { return (static_cast<float>(engine_()) / 4294967296.0f * 2.0f - 1.0f) * range; }
  float Unit() { return static_cast<float>(engine_()) / 4294967296.0f; }
  Point3 Point(int32_t range) {
    if (Chance(50)) return {Coarse(range), Coarse(range), Coarse(range)};
    const float r = static_cast<float>(range);
    return {Fine(r), Fine(r), Fine(r)};
  }

 private:
  std::mt19937 engine_;
};

std::string Text(Dice& dice, const char* stem) {
  switch (dice.Below(4)) {
    case 0:
      return std::string();
    case 1:
      return stem;
    case 2:
      return std::string(stem) + std::to_string(dice.Below(1000));
    default:
      return std::string(stem) + " key=value; \xE9t\xE9";  // 8-bit bytes pass through
  }
}

Matrix3 RandomTransform(Dice& dice) {
  Matrix3 m;
  switch (dice.Below(4)) {
    case 0:  // identity axes
      break;
    case 1:  // 90 degrees about z
      m.row[0] = {0, 1, 0};
      m.row[1] = {-1, 0, 0};
      break;
    case 2:  // scaled and mirrored
      m.row[0] = {dice.Coarse(3), 0, 0};
      m.row[1] = {0, dice.Coarse(3), 0};
      m.row[2] = {0, 0, dice.Coarse(3)};
      break;
    default:  // arbitrary (sheared) axes
      for (int r = 0; r < 3; ++r) m.row[r] = dice.Point(2);
  }
  m.row[3] = dice.Point(100);
  return m;
}

MeshModel RandomMesh(Dice& dice) {
  MeshModel mesh;
  const uint32_t vertexCount = 3 + dice.Below(10);
  for (uint32_t v = 0; v < vertexCount; ++v) mesh.vertices.push_back(dice.Point(10));
  const uint32_t faceCount = dice.Chance(5) ? 0 : 1 + dice.Below(16);
  // A few smoothing masks, overlapping and disjoint, and 0 (flat).
  const uint32_t masks[] = {0, 1, 2, 3, 4, 0x80000000u, 0xFFFFFFFFu};
  for (uint32_t f = 0; f < faceCount; ++f) {
    MeshFace face{};
    face.v[0] = dice.Below(vertexCount);
    do face.v[1] = dice.Below(vertexCount);
    while (face.v[1] == face.v[0]);
    do face.v[2] = dice.Below(vertexCount);
    while (face.v[2] == face.v[0] || face.v[2] == face.v[1]);
    face.smGroup = masks[dice.Below(7)];
    face.flags =
        FlagsWithMaterialId(static_cast<uint16_t>(dice.Chance(80) ? dice.Below(4) : dice.Below(65536)));
    mesh.faces.push_back(face);
  }
  if (dice.Chance(60)) {
    const uint32_t tvertCount = 1 + dice.Below(8);
    for (uint32_t t = 0; t < tvertCount; ++t) {
      Point3 uvw{dice.Coarse(2), dice.Coarse(2), dice.Chance(20) ? dice.Coarse(1) : 0.0f};
      mesh.tverts.push_back(uvw);
    }
    for (uint32_t f = 0; f < faceCount; ++f) {
      mesh.tvFaces.push_back({{dice.Below(tvertCount), dice.Below(tvertCount), dice.Below(tvertCount)}});
    }
  }
  if (dice.Chance(50)) {
    ColorChannelModel colors;
    // Sometimes fewer colour vertices than corners: then no colours are written.
    const uint32_t count = dice.Chance(70) ? 3 * faceCount + dice.Below(4) : 1 + dice.Below(3);
    for (uint32_t c = 0; c < count; ++c) {
      colors.verts.push_back({dice.Coarse(1) * 0.75f + 0.75f, dice.Unit(), dice.Unit()});
    }
    for (uint32_t f = 0; f < faceCount; ++f) {
      colors.faces.push_back({{dice.Below(count), dice.Below(count), dice.Below(count)}});
    }
    mesh.colors = colors;
  }
  if (dice.Chance(30)) {
    ExplicitNormalsModel normals;
    for (uint32_t f = 0; f < faceCount; ++f) normals.faceNormals.push_back(Normalize(dice.Point(1)));
    for (uint32_t v = 0; v < vertexCount; ++v) {
      const uint32_t entries = dice.Below(4);
      normals.AddVertex(entries > 0 && dice.Chance(20));
      for (uint32_t e = 0; e < entries; ++e)
        normals.AddEntry({Normalize(dice.Point(1)), masks[1 + dice.Below(6)]});
    }
    mesh.normals = normals;
  }
  return mesh;
}

std::vector<SplineModel> RandomSplines(Dice& dice) {
  std::vector<SplineModel> splines(dice.Below(4));
  for (SplineModel& spline : splines) {
    spline.closed = dice.Chance(50);
    const uint32_t knots = dice.Below(6);
    for (uint32_t k = 0; k < knots; ++k) spline.knots.push_back(dice.Point(20));
  }
  return splines;
}

const char* const kEngineParams[][2] = {
    {"ColorKeyCheckbox", "i1"}, {"RenderLastCheckbox", "i2"}, {"RenderFirstCheckbox", "i3"},
    {"ColorKey", "p0"},         {"USpinner", "f4"},           {"VSpinner", "f5"},
    {"HFSpinner", "i6"},        {"VFSpinner", "i7"},          {"TimeSpinner", "f8"},
    {"Collideable", "i9"},      {"Visible", "i11"},           {"USpinner2", "f12"},
    {"VSpinner2", "f13"},       {"HFSpinner2", "i14"},        {"VFSpinner2", "i15"},
    {"TimeSpinner2", "f16"},    {"DataIDSpinner", "i10"}};

CustAttribModel EngineAttribute(Dice& dice) {
  CustAttribModel attribute;
  attribute.className = "CV Mat";
  for (const auto& param : kEngineParams) {
    if (!dice.Chance(60)) continue;
    ParamModel p;
    p.name = param[0];
    if (dice.Chance(15)) {  // names are matched ignoring case
      for (char& ch : p.name) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    }
    p.id = static_cast<uint32_t>(std::stoul(param[1] + 1));
    switch (param[1][0]) {
      case 'i':
        p.type = ParamType::kInt;
        p.intValue = dice.Chance(50) ? dice.Between(-2, 3) : dice.Between(-70000, 70000);
        break;
      case 'f':
        p.type = ParamType::kFloat;
        p.floatValue = dice.Chance(40) ? 0.0f : dice.Coarse(4);
        break;
      default:
        p.type = ParamType::kPoint3;
        p.point3Value = {dice.Unit(), dice.Unit(), dice.Unit()};
    }
    attribute.params.push_back(p);
  }
  return attribute;
}

std::optional<std::vector<CustAttribModel>> RandomAttributes(Dice& dice) {
  switch (dice.Below(5)) {
    case 0:
      return std::nullopt;  // the export allocates an empty container
    case 1:
      return std::vector<CustAttribModel>();
    case 2: {
      CustAttribModel other;
      other.className = dice.Chance(50) ? "cv mat" : "Other";  // the class name is case-sensitive
      other.params.push_back({"Unrelated", 9, ParamType::kInt, 5, 0.0f, {}});
      if (dice.Chance(50)) return std::vector<CustAttribModel>{other};
      return std::vector<CustAttribModel>{other, EngineAttribute(dice)};
    }
    default:
      return std::vector<CustAttribModel>{EngineAttribute(dice)};
  }
}

void AddMaterials(Dice& dice, SceneModel& scene) {
  const char* const paths[] = {"C:\\maps\\brick.tga", "maps/stone.bmp", "dir\\sub/x.tga",
                               "plain.png",           "C:\\maps\\",     "",
                               "C:\\maps\\Brick.tga"};
  for (const char* path : paths) scene.texmaps.push_back({kBitmapTexClassId, path});
  scene.texmaps.push_back({ClassId{0x1234, 0}, "not_a_bitmap.tga"});

  const uint32_t standard = 1 + dice.Below(5);
  for (uint32_t i = 0; i < standard; ++i) {
    MaterialModel m;
    m.name = Text(dice, "Mat");
    m.twoSided = dice.Chance(30);
    m.diffuse = {dice.Unit(), dice.Unit(), dice.Unit()};
    m.ambient = {dice.Unit(), dice.Unit(), dice.Unit()};
    m.specular = {dice.Coarse(1) + 0.5f, dice.Unit(), dice.Unit()};  // up to 1.5 and below 0: not clamped
    m.selfIllum = {dice.Unit(), dice.Unit(), dice.Unit()};
    m.shininess = dice.Coarse(1);
    m.shininessStrength = dice.Unit();
    for (MapSlotModel& slot : m.maps) {
      if (!dice.Chance(30)) continue;
      slot.texmap = static_cast<int32_t>(dice.Below(static_cast<uint32_t>(scene.texmaps.size())));
      slot.enabled = dice.Chance(75);
    }
    m.customAttributes = RandomAttributes(dice);
    scene.materials.push_back(m);
  }
  // Multi-materials over the standard ones (with empty slots), one nesting another, and a
  // shell material: every sub-material index is lower than its owner's, so there is no cycle.
  const uint32_t multis = dice.Below(3);
  for (uint32_t i = 0; i < multis; ++i) {
    MaterialModel m;
    m.name = "Multi" + std::to_string(i);
    m.classId = ClassId{kMultiMaterialClassA, 0};
    const uint32_t subs = 1 + dice.Below(3);
    const uint32_t below = static_cast<uint32_t>(scene.materials.size());
    for (uint32_t s = 0; s < subs; ++s)
      m.subMaterials.push_back(dice.Chance(15) ? -1 : static_cast<int32_t>(dice.Below(below)));
    m.customAttributes = RandomAttributes(dice);
    scene.materials.push_back(m);
  }
  if (dice.Chance(50)) {
    MaterialModel shell;
    shell.name = "Shell";
    shell.classId = kShellMaterialClassId;
    const uint32_t below = static_cast<uint32_t>(scene.materials.size());
    for (uint32_t s = 0; s < 2; ++s) shell.subMaterials.push_back(static_cast<int32_t>(dice.Below(below)));
    scene.materials.push_back(shell);
  }
}

}  // namespace

SceneModel RandomScene(uint32_t seed) {
  Dice dice(seed);
  SceneModel scene;
  AddMaterials(dice, scene);
  const uint32_t nodeCount = 1 + dice.Below(14);
  for (uint32_t n = 0; n < nodeCount; ++n) {
    NodeModel node;
    node.name = Text(dice, "Node");
    node.userText = Text(dice, "user");
    node.hidden = dice.Chance(12);
    node.selected = dice.Chance(50);
    node.transform = RandomTransform(dice);
    if (dice.Chance(40)) {
      Matrix3 pivot = node.transform;
      pivot.row[3] = dice.Point(100);
      node.pivot = pivot;
    }
    if (dice.Chance(75))
      node.material = static_cast<int32_t>(dice.Below(static_cast<uint32_t>(scene.materials.size())));
    ObjectModel& object = node.object;
    switch (dice.Below(6)) {
      case 0:
      case 1:
        object.kind = ObjectKind::kMesh;
        object.native = dice.Chance(60);
        object.mesh = RandomMesh(dice);
        break;
      case 2:
        object.kind = ObjectKind::kShape;
        object.native = dice.Chance(50);
        object.alsoMesh = dice.Chance(25);
        object.splines = RandomSplines(dice);
        break;
      case 3:
        object.kind = ObjectKind::kLight;
        object.light.lightType = dice.Between(-2, 6);
        object.light.color = {dice.Coarse(2), dice.Unit(), dice.Unit()};
        object.light.intensity = dice.Coarse(5);
        break;
      case 4: {
        object.kind = ObjectKind::kHelper;
        const ClassId classes[] = {kDummyHelperClassId, kPointHelperClassId, ClassId{0x1234, 0}};
        object.classId = classes[dice.Below(3)];
        break;
      }
      default:
        object.kind = ObjectKind::kCamera;
    }
    scene.nodes.push_back(node);
  }
  return scene;
}

}  // namespace cvm::test
