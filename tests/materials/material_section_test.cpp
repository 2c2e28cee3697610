// The material section of real exports: scenes from small documents, run through the driver
// into memory, and the section's bytes checked.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "format/binary_writer.h"
#include "format/record_writer.h"
#include "import/scene_document.h"
#include "materials/engine_settings.h"
#include "materials/material_record.h"
#include "reader/cvm_reader.h"
#include "standin/standin_scene.h"
#include "tests/support/counting_host.h"
#include "tests/support/float_bits.h"
#include "tests/support/recording_ui.h"

namespace cvm {
namespace {

constexpr size_t kHeaderSize = 20;

// A one-triangle mesh node using material (a document index, or "null").
std::string MeshNode(const std::string& name, const std::string& material) {
  return R"({ "name": ")" + name + R"(", "material": )" + material +
         R"(, "object": { "kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]] } })";
}

// The scene and the CountingHost it was exported through, which records the containers given.
struct Exported {
  std::unique_ptr<standin::StandinScene> scene;
  std::unique_ptr<test::CountingHost> host;
  ExportOutcome outcome;
  std::vector<uint8_t> bytes;
};

Exported Export(const std::string& json) {
  Exported result;
  std::string error;
  result.scene = import::LoadStandinScene(json, error);
  EXPECT_NE(result.scene, nullptr) << error;
  if (result.scene == nullptr) return result;
  result.host = std::make_unique<test::CountingHost>(*result.scene);
  MemoryTarget target;
  test::RecordingUi ui;
  ExportOptions options;
  result.outcome = RunExport(target, *result.host, ui, options, 0, true);
  EXPECT_EQ(result.outcome.result, kExportDone) << result.outcome.error;
  result.bytes = target.Bytes();
  return result;
}

// The material section as stored, walked field by field.
struct SectionRecord {
  std::string name;
  uint32_t index = 0;
  uint32_t twoSided = 0;
  std::vector<uint8_t> engineBlock;
  std::vector<uint8_t> colorsAndFloats;  // 4 colours and 2 floats, 32 bytes
  std::vector<uint32_t> textureRefs;
};

struct Section {
  std::vector<std::string> textures;
  std::vector<uint32_t> textureIndices;
  std::vector<SectionRecord> records;
  size_t end = 0;  // offset just past the last record
};

class SectionWalker {
 public:
  explicit SectionWalker(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  bool Walk(Section& section) {
    pos_ = kHeaderSize;
    uint32_t materialCount = 0;
    uint32_t textureCount = 0;
    if (!U32(materialCount) || !U32(textureCount)) return false;
    for (uint32_t i = 0; i < textureCount; ++i) {
      std::string name;
      uint32_t index = 0;
      if (!String(name) || !U32(index)) return false;
      section.textures.push_back(name);
      section.textureIndices.push_back(index);
    }
    for (uint32_t i = 0; i < materialCount; ++i) {
      SectionRecord record;
      if (!String(record.name) || !U32(record.index) || !U32(record.twoSided)) return false;
      const size_t blockStart = pos_;
      if (!Skip(12) || !Optional(6) || !Optional(8) || !Optional(8) || !Optional(8) || !Optional(8) ||
          !Skip(8))
        return false;
      record.engineBlock.assign(bytes_.begin() + blockStart, bytes_.begin() + pos_);
      if (!Take(32, record.colorsAndFloats)) return false;
      for (int slot = 0; slot < 7; ++slot) {
        uint32_t ref = 0;
        if (!U32(ref)) return false;
        record.textureRefs.push_back(ref);
      }
      section.records.push_back(record);
    }
    section.end = pos_;
    return true;
  }

 private:
  bool U32(uint32_t& v) {
    if (bytes_.size() - pos_ < 4 || pos_ > bytes_.size()) return false;
    v = bytes_[pos_] | bytes_[pos_ + 1] << 8 | bytes_[pos_ + 2] << 16 | uint32_t{bytes_[pos_ + 3]} << 24;
    pos_ += 4;
    return true;
  }
  bool String(std::string& s) {
    for (size_t i = pos_; i < bytes_.size(); ++i) {
      if (bytes_[i] == 0) {
        s.assign(bytes_.begin() + pos_, bytes_.begin() + i);
        pos_ = i + 1;
        return true;
      }
    }
    return false;
  }
  bool Skip(size_t n) {
    if (bytes_.size() - pos_ < n) return false;
    pos_ += n;
    return true;
  }
  bool Take(size_t n, std::vector<uint8_t>& out) {
    if (bytes_.size() - pos_ < n) return false;
    out.assign(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
    pos_ += n;
    return true;
  }
  // A 0/1 flag and, when 1, size bytes.
  bool Optional(size_t size) {
    uint32_t flag = 0;
    if (!U32(flag) || flag > 1) return false;
    return flag == 0 || Skip(size);
  }

  const std::vector<uint8_t>& bytes_;
  size_t pos_ = 0;
};

Section WalkSection(const std::vector<uint8_t>& bytes) {
  Section section;
  EXPECT_TRUE(SectionWalker(bytes).Walk(section)) << "material section does not parse";
  return section;
}

std::vector<std::string> MaterialNames(const Section& section) {
  std::vector<std::string> names;
  for (const SectionRecord& record : section.records) names.push_back(record.name);
  return names;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  return std::vector<uint8_t>(values.begin(), values.end());
}

void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

std::vector<uint8_t> F32Bytes(float f) {
  const uint32_t v = test::FloatBits(f);
  return Bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}

TEST(MaterialSection, OneSidedMaterialRecordBytes) {
  const Exported e =
      Export(R"({ "materials": [ { "name": "Mat1", "diffuse": [1, 0.5, 0], "ambient": [0, 0, 0],
      "specular": [0, 0, 0], "selfIllum": [0, 0, 0], "shininess": 0.25, "shininessStrength": 0.05 } ],
      "nodes": [ )" +
             MeshNode("Box", "0") + " ] }");
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0, 0, 0, 0, 0});  // one material, no texture
  Append(expected, Bytes({0x4D, 0x61, 0x74, 0x31, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
  for (int i = 0; i < 8; ++i) Append(expected, Bytes({0, 0, 0, 0}));
  Append(expected, Bytes({0xFF, 0x00, 0x80, 0x00, 0x00, 0x00}));
  for (int i = 0; i < 3; ++i) Append(expected, Bytes({0, 0, 0, 0, 0, 0}));
  Append(expected, F32Bytes(0.25f));
  Append(expected, F32Bytes(0.05f));
  for (int i = 0; i < 7; ++i) Append(expected, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  ASSERT_GE(e.bytes.size(), kHeaderSize + expected.size());
  EXPECT_EQ(
      std::vector<uint8_t>(e.bytes.begin() + kHeaderSize, e.bytes.begin() + kHeaderSize + expected.size()),
      expected);
  EXPECT_EQ(expected.size(), 8u + 4 + 109);
}

TEST(MaterialSection, NoMaterialsWritesTwoZeroCounts) {
  const Exported e = Export(R"({ "materials": [ { "name": "OnLight" } ],
      "nodes": [ )" + MeshNode("Box", "null") +
                            R"(,
        { "name": "Lamp", "material": 0, "object": { "kind": "light" } } ] })");
  const Section section = WalkSection(e.bytes);
  EXPECT_TRUE(section.records.empty());
  EXPECT_TRUE(section.textures.empty());
  EXPECT_EQ(section.end, kHeaderSize + 8);
}

TEST(MaterialSection, TextureRecordsAndReferenceOrder) {
  // Collected in slot order 1, 6, 5, 9: abc lands at position 2; records list 9 before 5.
  const Exported e = Export(R"({
      "texmaps": [ { "fileName": "C:\\maps\\x.tga" }, { "fileName": "y.tga" }, { "fileName": "dir/abc" },
                   { "fileName": "r.tga" } ],
      "materials": [ { "name": "M", "maps": { "diffuse": { "texmap": 0 }, "opacity": { "texmap": 1 },
                       "selfIllum": { "texmap": 2 }, "reflection": { "texmap": 3 } } } ],
      "nodes": [ )" + MeshNode("Box", "0") +
                            " ] }");
  const Section section = WalkSection(e.bytes);
  EXPECT_EQ(section.textures, (std::vector<std::string>{"x.tga", "y.tga", "abc", "r.tga"}));
  EXPECT_EQ(section.textureIndices, (std::vector<uint32_t>{0, 1, 2, 3}));
  const size_t abcRecord = kHeaderSize + 8 + 10 + 10;
  ASSERT_GE(e.bytes.size(), abcRecord + 8);
  EXPECT_EQ(std::vector<uint8_t>(e.bytes.begin() + abcRecord, e.bytes.begin() + abcRecord + 8),
            Bytes({0x61, 0x62, 0x63, 0x00, 0x02, 0x00, 0x00, 0x00}));
  ASSERT_EQ(section.records.size(), 1u);
  EXPECT_EQ(section.records[0].textureRefs,
            (std::vector<uint32_t>{0, 1, 3, 2, kNoReference, kNoReference, kNoReference}));
}

TEST(MaterialSection, GatheringOrder) {
  // Materials: 0 A, 1 B, 2 C, 3 D, 4 inner multi [B, C], 5 outer multi [A, inner, null, D],
  // 6 E, 7 F, 8 shell [E, F], 9 G (on a light only), 10 H (on a faceless mesh only),
  // 11 S: a shell class that is not multi, reached as a sub-material, 12 multi [S, A].
  const Exported e = Export(R"({
      "materials": [ { "name": "A" }, { "name": "B" }, { "name": "C" }, { "name": "D" },
        { "name": "Inner", "class": "multi", "subMaterials": [1, 2] },
        { "name": "Outer", "class": "multi", "subMaterials": [0, 4, null, 3] },
        { "name": "E" }, { "name": "F" },
        { "name": "Shell", "class": "shell", "subMaterials": [6, 7] },
        { "name": "G" }, { "name": "H" },
        { "name": "S", "class": "shell", "subMaterials": [9] },
        { "name": "Holder", "class": "multi", "subMaterials": [11, 0] } ],
      "nodes": [
        { "name": "Lamp", "material": 9, "object": { "kind": "light" } },
        { "name": "Empty", "material": 10, "object": { "kind": "mesh", "vertices": [], "faces": [] } },
        )" + MeshNode("One", "5") +
                            ", " + MeshNode("Two", "8") + ", " + MeshNode("Three", "0") + ", " +
                            MeshNode("Four", "12") + ", " + MeshNode("Five", "1") + " ] }");
  const Section section = WalkSection(e.bytes);
  EXPECT_EQ(MaterialNames(section), (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "S"}));
  for (size_t i = 0; i < section.records.size(); ++i) EXPECT_EQ(section.records[i].index, i);
}

TEST(MaterialSection, TextureNameTableIsNotDeduplicated) {
  const Exported e = Export(R"({
      "texmaps": [ { "fileName": "C:\\a\\brick.tga" }, { "fileName": "other/brick.tga" },
                   { "fileName": "Brick.tga" } ],
      "materials": [ { "name": "Shared", "maps": { "diffuse": { "texmap": 0 } } },
                     { "name": "Twice", "maps": { "diffuse": { "texmap": 1 }, "bump": { "texmap": 0 } } },
                     { "name": "Case", "maps": { "diffuse": { "texmap": 2 } } } ],
      "nodes": [ )" + MeshNode("A", "0") +
                            ", " + MeshNode("B", "0") + ", " + MeshNode("C", "1") + ", " +
                            MeshNode("D", "2") + " ] }");
  const Section section = WalkSection(e.bytes);
  EXPECT_EQ(section.textures, (std::vector<std::string>{"brick.tga", "brick.tga", "brick.tga", "Brick.tga"}));
  ASSERT_EQ(MaterialNames(section), (std::vector<std::string>{"Shared", "Twice", "Case"}));
  const uint32_t none = kNoReference;
  EXPECT_EQ(section.records[0].textureRefs, (std::vector<uint32_t>{0, none, none, none, none, none, none}));
  EXPECT_EQ(section.records[1].textureRefs, (std::vector<uint32_t>{0, none, none, none, 0, none, none}));
  EXPECT_EQ(section.records[2].textureRefs, (std::vector<uint32_t>{3, none, none, none, none, none, none}));
}

TEST(MaterialSection, SlotsWithoutAUsableMapReferToNothing) {
  // Diffuse is switched off (its name is still collected), opacity holds another kind of map,
  // bump has no map, reflection's path ends in a separator; only refraction refers.
  const Exported e = Export(R"({
      "texmaps": [ { "fileName": "brick.tga" }, { "class": [577, 0], "fileName": "checker.tga" },
                   { "fileName": "C:\\maps\\" }, { "fileName": "glass.tga" } ],
      "materials": [ { "name": "M", "maps": {
          "diffuse": { "texmap": 0, "enabled": false }, "opacity": { "texmap": 1 },
          "bump": { "texmap": null }, "reflection": { "texmap": 2 }, "refraction": { "texmap": 3 },
          "filter": { "texmap": 0, "enabled": false } } } ],
      "nodes": [ )" + MeshNode("Box", "0") +
                            " ] }");
  const Section section = WalkSection(e.bytes);
  EXPECT_EQ(section.textures, (std::vector<std::string>{"brick.tga", "glass.tga", "brick.tga"}));
  ASSERT_EQ(section.records.size(), 1u);
  const uint32_t none = kNoReference;
  EXPECT_EQ(section.records[0].textureRefs, (std::vector<uint32_t>{none, none, none, none, none, 1, none}));
}

std::vector<uint8_t> BlockOf(const EngineMaterialSettings& settings) {
  MemorySink sink;
  OutputStream stream(sink);
  format::WriteRecord(stream, EngineSettingsRecord(settings));
  stream.Flush();
  return sink.bytes;
}

TEST(MaterialSection, EngineAttributeCases) {
  struct Case {
    const char* what;
    std::string customAttributes;
    std::function<void(EngineMaterialSettings&)> expect;
    int containersAllocated;
  };
  const auto attribute = [](const char* className, const std::string& params, bool block = true) {
    return std::string(R"({ "className": ")") + className + R"(", "paramBlock": )" +
           (block ? "true" : "false") + R"(, "params": [)" + params + "] }";
  };
  const auto param = [](const char* name, int id, const char* type, const std::string& value) {
    return std::string(R"({ "name": ")") + name + R"(", "id": )" + std::to_string(id) + R"(, "type": ")" +
           type + R"(", "value": )" + value + " }";
  };
  const auto none = [](EngineMaterialSettings&) {};
  const Case cases[] = {
      {"no container", "null", none, 1},
      {"empty container", "[]", none, 0},
      {"CV Mat at position 0",
       "[" +
           attribute("CV Mat",
                     param("Collideable", 9, "int", "0") + ", " + param("Visible", 11, "int", "2")) +
           "]",
       [](EngineMaterialSettings& s) {
         s.Collideable = 0;
         s.Visible = 2;
       },
       0},
      {"CV Mat at position 1, the attribute before it is read too",
       "[" + attribute("Other", param("Visible", 11, "int", "0")) + ", " +
           attribute("CV Mat", param("DataIDSpinner", 10, "int", "7")) + "]",
       [](EngineMaterialSettings& s) {
         s.Visible = 0;
         s.DataIDSpinner = 7;
       },
       0},
      {"class name in another case", "[" + attribute("cv mat", param("Visible", 11, "int", "0")) + "]", none,
       0},
      {"class name must be whole", "[" + attribute("CV Material", param("Visible", 11, "int", "0")) + "]",
       none, 0},
      {"no CV Mat: other attributes are not read",
       "[" + attribute("Other", param("Visible", 11, "int", "0")) + "]", none, 0},
      {"CV Mat without a block is not found",
       "[" + attribute("CV Mat", param("Visible", 11, "int", "0"), false) + "]", none, 0},
      {"parameter name in another case",
       "[" +
           attribute("CV Mat",
                     param("vISIBLE", 11, "int", "0") + ", " + param("uspinner", 4, "float", "0.5")) +
           "]",
       [](EngineMaterialSettings& s) {
         s.Visible = 0;
         s.USpinner = 0.5f;
       },
       0},
      {"a later attribute wins",
       "[" + attribute("CV Mat", param("Visible", 11, "int", "0")) + ", " +
           attribute("Other", param("Visible", 11, "int", "5")) + "]",
       [](EngineMaterialSettings& s) { s.Visible = 5; }, 0},
      {"an earlier attribute loses",
       "[" + attribute("Other", param("Visible", 11, "int", "5")) + ", " +
           attribute("CV Mat", param("Visible", 11, "int", "0")) + "]",
       [](EngineMaterialSettings& s) { s.Visible = 0; }, 0},
      {"read by the table's id, not the definition's",
       "[" +
           attribute("CV Mat",
                     param("Collideable", 20, "int", "5") + ", " + param("Unrelated", 9, "int", "7")) +
           "]",
       [](EngineMaterialSettings& s) { s.Collideable = 7; }, 0},
      {"frame and U/V blocks, colour key -1 is off",
       "[" +
           attribute("CV Mat", param("HFSpinner", 6, "int", "1") + ", " + param("VFSpinner", 7, "int", "4") +
                                   ", " + param("TimeSpinner", 8, "float", "0.5") + ", " +
                                   param("USpinner", 4, "float", "0") + ", " +
                                   param("VSpinner", 5, "float", "0.25") + ", " +
                                   param("ColorKeyCheckbox", 1, "int", "-1") + ", " +
                                   param("ColorKey", 0, "point3", "[1, 1, 1]")) +
           "]",
       [](EngineMaterialSettings& s) {
         s.VFSpinner = 4;
         s.TimeSpinner = 0.5f;
         s.VSpinner = 0.25f;
         s.ColorKeyCheckbox = -1;
         s.ColorKey = {1.0f, 1.0f, 1.0f};
       },
       0},
      {"second set and the colour key",
       "[" +
           attribute("CV Mat", param("ColorKeyCheckbox", 1, "int", "1") + ", " +
                                   param("ColorKey", 0, "point3", "[1, 0.5, 0]") + ", " +
                                   param("USpinner2", 12, "float", "\"-0\"") + ", " +
                                   param("VSpinner2", 13, "float", "-1.5") + ", " +
                                   param("HFSpinner2", 14, "int", "3") + ", " +
                                   param("VFSpinner2", 15, "int", "1") + ", " +
                                   param("TimeSpinner2", 16, "float", "2") + ", " +
                                   param("RenderLastCheckbox", 2, "int", "1") + ", " +
                                   param("RenderFirstCheckbox", 3, "int", "4")) +
           "]",
       [](EngineMaterialSettings& s) {
         s.ColorKeyCheckbox = 1;
         s.ColorKey = {1.0f, 0.5f, 0.0f};
         s.USpinner2 = -0.0f;
         s.VSpinner2 = -1.5f;
         s.HFSpinner2 = 3;
         s.TimeSpinner2 = 2.0f;
         s.RenderLastCheckbox = 1;
         s.RenderFirstCheckbox = 4;
       },
       0},
      {"colour key on without a colour",
       "[" + attribute("CV Mat", param("ColorKeyCheckbox", 1, "int", "1")) + "]",
       [](EngineMaterialSettings& s) { s.ColorKeyCheckbox = 1; }, 0},
  };
  for (const Case& c : cases) {
    const Exported e = Export(R"({ "materials": [ { "name": "M", "customAttributes": )" + c.customAttributes +
                              R"( } ], "nodes": [ )" + MeshNode("Box", "0") + " ] }");
    if (e.scene == nullptr) continue;
    const Section section = WalkSection(e.bytes);
    ASSERT_EQ(section.records.size(), 1u) << c.what;
    EngineMaterialSettings expected;
    c.expect(expected);
    EXPECT_EQ(section.records[0].engineBlock, BlockOf(expected)) << c.what;
    EXPECT_EQ(e.host->ContainersAllocated().size(), static_cast<size_t>(c.containersAllocated)) << c.what;
  }
}

TEST(MaterialSection, SharedMaterialGetsOneContainer) {
  const Exported e = Export(R"({ "materials": [ { "name": "Plain" } ],
      "nodes": [ )" + MeshNode("A", "0") +
                            ", " + MeshNode("B", "0") + " ] }");
  EXPECT_EQ(WalkSection(e.bytes).records.size(), 1u);
  EXPECT_EQ(test::MaterialIndices(*e.scene, e.host->ContainersAllocated()), std::vector<int32_t>{0});
}

// Every material field of the file, as the format's reader decodes it, against the scene.
TEST(MaterialSection, ReadBack) {
  const Exported e = Export(R"({
      "texmaps": [ { "fileName": "C:\\maps\\brick.tga" }, { "fileName": "maps/stone.bmp" } ],
      "materials": [
        { "name": "Brick", "twoSided": true, "diffuse": [1, 0.5, 0], "ambient": [0.2, 0.4, 0.6],
          "specular": [1.2, -0.5, 0.0], "selfIllum": [0.1, 0.1, 0.1], "shininess": 0.75,
          "shininessStrength": 0.125,
          "maps": { "diffuse": { "texmap": 0 }, "bump": { "texmap": 1 }, "reflection": { "texmap": 1 } },
          "customAttributes": [ { "className": "CV Mat", "paramBlock": true, "params": [
              { "name": "Collideable", "id": 9, "type": "int", "value": 0 },
              { "name": "DataIDSpinner", "id": 10, "type": "int", "value": 42 },
              { "name": "ColorKeyCheckbox", "id": 1, "type": "int", "value": 1 },
              { "name": "ColorKey", "id": 0, "type": "point3", "value": [0, 1, 0] },
              { "name": "USpinner", "id": 4, "type": "float", "value": 0.5 },
              { "name": "HFSpinner2", "id": 14, "type": "int", "value": 4 },
              { "name": "TimeSpinner2", "id": 16, "type": "float", "value": 0.25 } ] } ] },
        { "name": "Stone", "maps": { "diffuse": { "texmap": 1, "enabled": false },
                                     "opacity": { "texmap": 0 } } },
        { "name": "Multi", "class": "multi", "subMaterials": [0, 1] } ],
      "nodes": [ )" + MeshNode("Wall", "2") +
                            ", " + MeshNode("Floor", "1") + " ] }");
  reader::CvmFile file;
  reader::ReadError error;
  ASSERT_TRUE(reader::ReadCvm(e.bytes.data(), e.bytes.size(), file, error)) << reader::FormatReadError(error);

  // Brick's slots 1, 9, 8, then Stone's 1 (switched off, still collected) and 6.
  const std::vector<std::string> textureNames = {"brick.tga", "stone.bmp", "stone.bmp", "stone.bmp",
                                                 "brick.tga"};
  ASSERT_EQ(file.textures.size(), textureNames.size());
  for (size_t i = 0; i < textureNames.size(); ++i) {
    EXPECT_EQ(file.textures[i].name, textureNames[i]);
    EXPECT_EQ(file.textures[i].index, i);
  }
  ASSERT_EQ(file.materials.size(), 2u);
  const reader::CvmMaterial& brick = file.materials[0];
  EXPECT_EQ(brick.name, "Brick");
  EXPECT_EQ(brick.index, 0u);
  EXPECT_TRUE(brick.twoSided);
  EXPECT_EQ(brick.engine.collideable, 0u);
  EXPECT_EQ(brick.engine.visible, 1u);
  EXPECT_EQ(brick.engine.dataId, 42u);
  ASSERT_TRUE(brick.engine.colorKey.has_value());
  EXPECT_EQ(brick.engine.colorKey->r, 0);
  EXPECT_EQ(brick.engine.colorKey->g, 255);
  EXPECT_EQ(brick.engine.colorKey->b, 0);
  ASSERT_TRUE(brick.engine.uv1.has_value());
  EXPECT_EQ(brick.engine.uv1->u, 0.5f);
  EXPECT_EQ(brick.engine.uv1->v, 0.0f);
  EXPECT_FALSE(brick.engine.frames1.has_value());
  EXPECT_FALSE(brick.engine.uv2.has_value());
  ASSERT_TRUE(brick.engine.frames2.has_value());
  EXPECT_EQ(brick.engine.frames2->hf, 4);
  EXPECT_EQ(brick.engine.frames2->vf, 1);
  EXPECT_EQ(brick.engine.frames2->time, 0.25f);
  EXPECT_EQ(brick.engine.renderLast, 0u);
  EXPECT_EQ(brick.engine.renderFirst, 0u);
  const auto color = [](const reader::Color16& c) { return std::vector<int>{c.r, c.g, c.b}; };
  EXPECT_EQ(color(brick.diffuse), (std::vector<int>{255, 128, 0}));
  EXPECT_EQ(color(brick.ambient), (std::vector<int>{51, 102, 153}));
  EXPECT_EQ(color(brick.specular), (std::vector<int>{306, 65409, 0}));
  EXPECT_EQ(color(brick.selfIllum), (std::vector<int>{26, 26, 26}));
  EXPECT_EQ(brick.shininess, 0.75f);
  EXPECT_EQ(brick.shininessStrength, 0.125f);
  const uint32_t none = reader::kNoTexture;
  // Record order 1, 6, 9, 5, 8, 10, 7: diffuse brick 0, reflection stone 1, bump stone 1.
  EXPECT_EQ(std::vector<uint32_t>(brick.textureRefs.begin(), brick.textureRefs.end()),
            (std::vector<uint32_t>{0, none, 1, none, 1, none, none}));

  const reader::CvmMaterial& stone = file.materials[1];
  EXPECT_EQ(stone.name, "Stone");
  EXPECT_EQ(stone.index, 1u);
  EXPECT_FALSE(stone.twoSided);
  EXPECT_EQ(stone.engine.collideable, 1u);
  EXPECT_EQ(stone.engine.visible, 1u);
  EXPECT_EQ(stone.engine.dataId, 0u);
  EXPECT_FALSE(stone.engine.colorKey || stone.engine.uv1 || stone.engine.frames1 || stone.engine.uv2 ||
               stone.engine.frames2);
  EXPECT_EQ(color(stone.diffuse), (std::vector<int>{128, 128, 128}));
  EXPECT_EQ(color(stone.ambient), (std::vector<int>{128, 128, 128}));
  EXPECT_EQ(color(stone.specular), (std::vector<int>{229, 229, 229}));  // 0.9f * 255 is just below 229.5
  EXPECT_EQ(color(stone.selfIllum), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(stone.shininess, 0.25f);
  EXPECT_EQ(stone.shininessStrength, 0.05f);
  EXPECT_EQ(std::vector<uint32_t>(stone.textureRefs.begin(), stone.textureRefs.end()),
            (std::vector<uint32_t>{none, 0, none, none, none, none, none}));
}

}  // namespace
}  // namespace cvm
