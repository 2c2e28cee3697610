// The glTF importer's own reader against assimp's: every glTF file it takes must give the scene,
// the warnings, the files read and the exported bytes that the assimp path gives, and every file
// it does not take must be left whole to assimp.
#include "import/gltf_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "import/assimp_import.h"
#include "standin/standin_scene.h"
#include "tests/import/gltf_writer.h"
#include "tests/support/export_fixture.h"
#include "tests/support/scene_model_compare.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

std::vector<uint8_t> Exported(const standin::SceneModel& model) {
  std::string error;
  standin::SceneModel copy = model;
  auto scene = standin::MakeStandinScene(std::move(copy), error);
  if (scene == nullptr) {
    ADD_FAILURE() << error;
    return {};
  }
  return test::ExportToMemory(*scene).bytes;
}

// Reads path both ways. True when the glTF reader took it; then both must agree in everything.
// A file the reader finds damaged must be one that assimp cannot read either.
bool TakenAndSameAsAssimp(const std::string& path) {
  standin::SceneModel fast, slow;
  import::ImportWarnings fastWarnings, slowWarnings;
  import::FilesRead fastFiles, slowFiles;
  std::string message, error;
  const import::GltfImport outcome = import::ImportGltfFile(path, fast, fastWarnings, message, &fastFiles);
  const bool read = import::ImportModelFile(path, slow, slowWarnings, error, nullptr, &slowFiles);
  if (outcome != import::GltfImport::kImported) {
    EXPECT_TRUE(fast.nodes.empty() && fast.materials.empty() && fastWarnings.empty()) << path;
    EXPECT_FALSE(message.empty()) << path;
    if (outcome == import::GltfImport::kDamaged) {
      EXPECT_FALSE(read) << path << ": found damaged (" << message << "), but assimp reads it";
    }
    std::printf("  %s: %s: %s\n", outcome == import::GltfImport::kDamaged ? "damaged" : "left to assimp",
                path.c_str(), message.c_str());
    return false;
  }
  EXPECT_TRUE(read) << path << ": taken, but assimp fails: " << error;
  if (!read) return true;
  EXPECT_EQ(standin::SceneModelDifference(fast, slow), "") << path;
  EXPECT_EQ(fastWarnings, slowWarnings) << path;
  EXPECT_EQ(fastFiles, slowFiles) << path;
  EXPECT_EQ(Exported(fast), Exported(slow)) << path;
  return true;
}

std::vector<std::string> TestModelGltfFiles() {
  std::vector<std::string> files;
  const std::filesystem::path root = ASSIMP_MODELS_DIR;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file() && import::IsGltfPath(it->path().string()))
      files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(GltfReader, GivesWhatAssimpGivesForEveryTestModelItTakes) {
  const std::vector<std::string> files = TestModelGltfFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  size_t taken = 0;
  for (const std::string& path : files) taken += TakenAndSameAsAssimp(path) ? 1 : 0;
  std::printf("the glTF reader took %zu of %zu glTF files of the test models\n", taken, files.size());
  // Those of the collection inside what the reader takes over: it must not leave them to assimp.
  EXPECT_GE(taken, 15u);
}

// ---- Generated files: every feature the reader takes over, in small documents --------------

using Json = nlohmann::ordered_json;

// A glTF document under construction and its one buffer.
struct Document {
  Json json;
  std::vector<uint8_t> bin;

  // Appends values (little-endian, as the host writes them here) and a view of them, and
  // returns the view.
  template <class T>
  size_t View(const std::vector<T>& values, size_t stride = 0) {
    while (bin.size() % 4 != 0) bin.push_back(0);
    const size_t offset = bin.size();
    bin.resize(offset + values.size() * sizeof(T));
    std::memcpy(bin.data() + offset, values.data(), values.size() * sizeof(T));
    Json view = {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", values.size() * sizeof(T)}};
    if (stride != 0) view["byteStride"] = stride;
    json["bufferViews"].push_back(view);
    return json["bufferViews"].size() - 1;
  }
  size_t Accessor(size_t view, int componentType, size_t count, const char* type, size_t byteOffset = 0) {
    json["accessors"].push_back({{"bufferView", view},
                                 {"byteOffset", byteOffset},
                                 {"componentType", componentType},
                                 {"count", count},
                                 {"type", type}});
    return json["accessors"].size() - 1;
  }
  size_t Floats(const std::vector<float>& values, const char* type, size_t components) {
    return Accessor(View(values), 5126, values.size() / components, type);
  }
};

// Two quads' worth of attributes and indices of each size; nodes with every kind of transform,
// extras, a light and a camera; materials with textures.
Document RichDocument() {
  Document d;
  d.json = {{"asset", {{"version", "2.0"}}},
            {"extensionsUsed", {"KHR_lights_punctual", "KHR_materials_unlit", "KHR_texture_transform"}},
            {"scene", 0}};
  const size_t positions = d.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 1}, "VEC3", 3);
  const size_t normals = d.Floats({0, 0, 1, 0, 0, 1, 0, 0.6f, 0.8f, -0.6f, 0, 0.8f, 0, 1, 0}, "VEC3", 3);
  const size_t uvs = d.Floats({0, 0, 1, 0, 1, 1, 0, 1, 0.5f, 0.25f}, "VEC2", 2);
  const size_t colors =
      d.Floats({1, 0, 0, 1, 0, 1, 0, 0.5f, 0, 0, 1, 1, 1, 1, 1, 0, 0.2f, 0.4f, 0.6f, 1}, "VEC4", 4);
  const size_t shorts = d.Accessor(d.View(std::vector<uint16_t>{0, 1, 2, 0, 2, 3}), 5123, 6, "SCALAR");
  const size_t bytes = d.Accessor(d.View(std::vector<uint8_t>{4, 2, 1, 3, 2, 4}), 5121, 6, "SCALAR");
  const size_t ints = d.Accessor(d.View(std::vector<uint32_t>{1, 4, 0}), 5125, 3, "SCALAR");
  const Json attributes = {
      {"POSITION", positions}, {"NORMAL", normals}, {"TEXCOORD_0", uvs}, {"COLOR_0", colors}};
  const Json plain = {{"NORMAL", normals}, {"POSITION", positions}};
  d.json["meshes"] = {
      {{"name", "Quads"},
       {"primitives",
        {{{"attributes", attributes}, {"indices", shorts}, {"material", 1}},
         {{"attributes", plain}, {"indices", bytes}, {"material", 0}},
         {{"attributes", attributes}, {"indices", ints}, {"material", 1}}}}},
      {{"primitives", {{{"attributes", plain}, {"indices", shorts}}}}},
  };
  d.json["images"] = {{{"uri", "paint.png"}}, {{"uri", "tex/bumps.png"}}};
  d.json["samplers"] = {{{"magFilter", 9729}}};
  d.json["textures"] = {{{"source", 0}, {"sampler", 0}}, {{"source", 1}}};
  d.json["materials"] = {
      {{"name", "Glow"},
       {"emissiveFactor", {0.25, 0.5, 1}},
       {"emissiveTexture", {{"index", 0}}},
       {"doubleSided", true},
       {"extensions", {{"KHR_materials_unlit", Json::object()}}}},
      {{"name", "Paint"},
       {"pbrMetallicRoughness",
        {{"baseColorFactor", {0.8, 0.2, 0.1, 1}},
         {"baseColorTexture",
          {{"index", 0}, {"extensions", {{"KHR_texture_transform", {{"scale", {2, 2}}}}}}}},
         {"roughnessFactor", 0.35},
         {"metallicFactor", 0.0}}},
       {"normalTexture", {{"index", 1}, {"scale", 0.5}}}},
  };
  d.json["cameras"] = {{{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.1}}}}};
  d.json["extensions"]["KHR_lights_punctual"]["lights"] = {
      {{"type", "point"}, {"color", {1, 0.5, 0.25}}, {"intensity", 3}, {"range", 12.5}},
      {{"type", "spot"}, {"spot", {{"outerConeAngle", 0.5}}}, {"intensity", 0.5}},
      {{"type", "directional"}, {"color", {0.2, 0.4, 0.8}}}};
  d.json["nodes"] = {
      {{"name", "Rig"},
       {"children", {1, 2, 3, 4, 5, 6}},
       {"translation", {1, 2, 3}},
       {"rotation", {0.2, 0.3, 0.1, 0.927}},
       {"scale", {2, 1, 0.5}},
       {"extras",
        {{"note", "hello"},
         {"count", 3},
         {"offset", -2},
         {"ratio", 0.1},
         {"on", true},
         {"skip", nullptr},
         {"nested", {{"a", 1}}},
         {"list", {1, 2}}}}},
      {{"name", "Body"}, {"mesh", 0}, {"matrix", {1, 0, 0, 0, 0, 0, 1, 0, 0, -3, 0, 0, 4, 5, 6, 1}}},
      {{"mesh", 1},
       {"translation", {0, 0, -1}},
       {"extras", {{"UserProperties", "kind = wheel\r\nspin = 2"}, {"other", 1}}}},
      {{"name", "Lamp"},
       {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}},
       {"translation", {0, 4, 0}}},
      {{"name", "Spot"},
       {"extensions", {{"KHR_lights_punctual", {{"light", 1}}}}},
       {"rotation", {0.7071068, 0, 0, 0.7071068}}},
      {{"name", "Eye"}, {"camera", 0}, {"translation", {0, 1, 10}}},
      {{"name", "Sun"}, {"extensions", {{"KHR_lights_punctual", {{"light", 2}}}}}, {"children", {7}}},
      {{"name", "Marker"}, {"scale", {1, 1, -1}}},
  };
  d.json["scenes"] = {{{"nodes", {0}}}};
  return d;
}

// Writes d as name.gltf beside name.bin, or as name.glb. Buffers that d lists are kept as they
// stand; without, its one buffer is added.
std::string Write(const test::TempDir& dir, const std::string& name, Document d, bool glb) {
  const bool ownBuffers = d.json.contains("buffers");
  if (glb) {
    if (!ownBuffers) d.json["buffers"] = {{{"byteLength", d.bin.size()}}};
    const std::string path = dir.File(name + ".glb");
    test::WriteBytes(path, test::GlbBytes(d.json.dump(), d.bin));
    return path;
  }
  if (!ownBuffers) {
    d.json["buffers"] = {{{"byteLength", d.bin.size()}, {"uri", name + ".bin"}}};
    test::WriteBytes(dir.File(name + ".bin"), d.bin);
  }
  return test::WriteText(dir.File(name + ".gltf"), d.json.dump(1));
}

TEST(GltfReader, GivesWhatAssimpGivesForGeneratedFiles) {
  const struct {
    const char* name;
    std::function<void(Document&)> change;
  } cases[] = {
      {"rich", [](Document&) {}},
      {"two roots",
       [](Document& d) {
         d.json["scenes"][0]["nodes"] = {0, 7};
       }},
      {"no root", [](Document& d) { d.json["scenes"][0]["nodes"] = Json::array(); }},
      {"a mesh on the root", [](Document& d) { d.json["nodes"][0]["mesh"] = 1; }},
      {"a node under two parents", [](Document& d) { d.json["nodes"][7]["children"] = {2}; }},
      {"a camera under two nodes", [](Document& d) { d.json["nodes"][7]["camera"] = 0; }},
      {"two nodes of one name",
       [](Document& d) {
         d.json["nodes"][7]["name"] = "Lamp";
         d.json["nodes"][1]["name"] = "Eye";
       }},
      {"a light on a mesh node",
       [](Document& d) { d.json["nodes"][1]["extensions"]["KHR_lights_punctual"]["light"] = 2; }},
      {"the second scene",
       [](Document& d) {
         d.json["scenes"].push_back({{"nodes", {2, 3}}});
         d.json["scene"] = 1;
       }},
      {"primitives without material",
       [](Document& d) {
         for (auto& p : d.json["meshes"][0]["primitives"]) p.erase("material");
       }},
      {"no indices",
       [](Document& d) {
         const size_t strip = d.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 2, 2, 3, 2, 2, 2, 3, 2}, "VEC3", 3);
         const size_t up = d.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1, 0}, "VEC3", 3);
         d.json["meshes"][1]["primitives"][0] = {{"attributes", {{"POSITION", strip}, {"NORMAL", up}}}};
       }},
      {"interleaved attributes",
       [](Document& d) {
         const size_t view =
             d.View(std::vector<float>{0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0.6f, 0, 0.8f}, 24);
         const size_t p = d.Accessor(view, 5126, 3, "VEC3");
         const size_t n = d.Accessor(view, 5126, 3, "VEC3", 12);
         d.json["meshes"][1]["primitives"][0] = {{"attributes", {{"POSITION", p}, {"NORMAL", n}}}};
       }},
      {"normals not of unit length",
       [](Document& d) {
         const size_t n = d.Floats({0, 0, 3, 0, 0, 0.5f, 0, 2, 2, -1, 0, 1, 0, 0, 0}, "VEC3", 3);
         d.json["meshes"][0]["primitives"][1]["attributes"]["NORMAL"] = n;
         d.json["meshes"][1]["primitives"][0]["attributes"]["NORMAL"] = n;
       }},
      {"colours of three components",
       [](Document& d) {
         const size_t c = d.Floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 0.5f, 0.5f, 0.5f}, "VEC3", 3);
         d.json["meshes"][0]["primitives"][0]["attributes"]["COLOR_0"] = c;
       }},
      {"embedded images",
       [](Document& d) {
         const size_t png = d.View(std::vector<uint8_t>{0x89, 'P', 'N', 'G'});
         d.json["images"] = {{{"bufferView", png}, {"mimeType", "image/png"}, {"name", "paint.png"}},
                             {{"bufferView", png}, {"mimeType", "image/png"}}};
       }},
      {"a texture without an image", [](Document& d) { d.json["textures"][1].erase("source"); }},
      {"shared texture files", [](Document& d) { d.json["images"][1]["uri"] = "paint.png"; }},
      {"numbers of many digits",
       [](Document& d) {
         d.json["nodes"][2]["translation"] = {0.30000000000000004441, 1.0000001192092895508e-7,
                                              123456.78901234567};
         d.json["nodes"][0]["extras"]["ratio"] = 0.1000000000000000055511151231257827;
         d.json["materials"][1]["pbrMetallicRoughness"]["roughnessFactor"] = 0.35000000000000003330669;
       }},
      {"points and lines beside triangles",
       [](Document& d) {
         Json& primitives = d.json["meshes"][0]["primitives"];
         for (int mode : {0, 1, 2, 3}) {
           Json p = primitives[1];
           p["mode"] = mode;
           if (mode == 0) p.erase("indices");
           if (mode != 1) p["attributes"].erase("NORMAL");
           primitives.push_back(p);
         }
       }},
      {"a mesh of lines only",
       [](Document& d) {
         d.json["meshes"][1]["primitives"][0]["mode"] = 3;
         d.json["meshes"][1]["primitives"][0]["attributes"].erase("NORMAL");
       }},
      {"an orthographic camera on a node with a matrix",
       [](Document& d) {
         d.json["cameras"].push_back(
             {{"type", "orthographic"}, {"orthographic", {{"xmag", 2}, {"ymag", 1}}}});
         d.json["nodes"][1]["camera"] = 1;
       }},
      {"a texture of coordinate set 1",
       [](Document& d) {
         d.json["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_1"] =
             d.json["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"];
         d.json["materials"][1]["pbrMetallicRoughness"]["baseColorTexture"]["texCoord"] = 1;
       }},
      {"a light and a camera on the root",
       [](Document& d) {
         d.json["nodes"][0]["camera"] = 0;
         d.json["nodes"][0]["extensions"]["KHR_lights_punctual"]["light"] = 2;
       }},
      {"materials no primitive uses",
       [](Document& d) {
         d.json["materials"].push_back({{"name", "Spare"}});
       }},
  };
  for (const auto& c : cases) {
    for (bool glb : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (glb ? " (GLB)" : " (glTF)"));
      test::TempDir dir;
      Document d = RichDocument();
      c.change(d);
      EXPECT_TRUE(TakenAndSameAsAssimp(Write(dir, "model", d, glb)));
    }
  }
}

// A GLB of assimp's own glTF writer (the benchmarks' torus): every vertex shared, with normals,
// texture coordinates and colours.
TEST(GltfReader, GivesWhatAssimpGivesForAGeneratedTorus) {
#if defined(CVM_MAKE_GLB)
  test::TempDir dir;
  const std::string path = dir.File("torus.glb");
  const std::string command = std::string(CVM_MAKE_GLB) + " " + path + " 5000 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_TRUE(TakenAndSameAsAssimp(path));
#else
  GTEST_SKIP() << "the benchmarks' cvm_make_glb is not built";
#endif
}

// ---- Files the reader leaves to assimp ---------------------------------------------------

// Reads path through the converter's routing: whatever the file, a scene or an error that says
// what is wrong, and no crash.
void ExpectSceneOrClearError(const std::string& path) {
  standin::SceneModel model;
  import::ImportWarnings warnings;
  std::string error;
  if (!import::ImportScene(path, model, warnings, error)) {
    EXPECT_FALSE(error.empty()) << path;
  }
}

// Damaged: the file's own numbers put a chunk, view or accessor beyond the bytes it lies in.
bool IsDamageCase(const std::string& name) {
  static const char* const kDamage[] = {"past the end", "past its", "stride", "longer than", "malformed"};
  return std::any_of(std::begin(kDamage), std::end(kDamage),
                     [&](const char* part) { return name.find(part) != std::string::npos; });
}

TEST(GltfReader, RefusesDamagedFilesAndLeavesUnsupportedOnesToAssimp) {
  const struct {
    const char* name;
    bool glb;
    std::function<void(Document&)> change;
    const char* reason;          // part of the reason the reader gives
    bool assimpSurvives = true;  // false: assimp 5.2 asserts or crashes on it (the converter's
                                 // child process reports that), so it is not asked here
  } cases[] = {
      {"a JSON chunk past the end of the file", true,
       [](Document& d) { d.json["asset"]["generator"] = std::string(3000, 'x'); },
       "runs past the end of the file"},
      {"an accessor past its view", true, [](Document& d) { d.json["accessors"][0]["count"] = 1000; },
       "run past the end of its view"},
      {"an accessor offset past its view", true,
       [](Document& d) { d.json["accessors"][1]["byteOffset"] = 1 << 20; }, "run past the end of its view"},
      {"a view past its buffer", true, [](Document& d) { d.json["bufferViews"][0]["byteLength"] = 1 << 20; },
       "outside its buffer"},
      {"a view offset past its buffer", true,
       [](Document& d) { d.json["bufferViews"][2]["byteOffset"] = uint64_t{1} << 40; }, "outside its buffer"},
      {"a stride shorter than an element", true,
       [](Document& d) { d.json["bufferViews"][0]["byteStride"] = 8; }, "byteStride smaller than an element"},
      {"a stride out of range", true, [](Document& d) { d.json["bufferViews"][0]["byteStride"] = 2; },
       "byteStride 2 out of range"},
      {"the last stride cut short", true,
       [](Document& d) {
         const size_t view = d.View(std::vector<float>{0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0}, 24);
         d.json["meshes"][1]["primitives"][0]["attributes"] = {
             {"POSITION", d.Accessor(view, 5126, 3, "VEC3")},
             {"NORMAL", d.Accessor(view, 5126, 3, "VEC3", 12)}};
       },
       "strides of 24 bytes exceed its view"},
      {"an index out of range", true,
       [](Document& d) {
         d.json["meshes"][1]["primitives"][0]["indices"] =
             d.Accessor(d.View(std::vector<uint16_t>{0, 1, 200}), 5123, 3, "SCALAR");
       },
       "vertex 200, out of range"},
      {"a buffer longer than the binary chunk", true,
       [](Document& d) {
         d.json["buffers"] = {{{"byteLength", d.bin.size() + 40}}};
       },
       "bytes to read"},
      {"a sparse accessor", true,
       [](Document& d) {
         const size_t indices = d.View(std::vector<uint16_t>{2, 0});
         const size_t values = d.View(std::vector<float>{0.5f, 0.5f, 0.5f});
         d.json["accessors"][0]["sparse"] = {{"count", 1},
                                             {"indices", {{"bufferView", indices}, {"componentType", 5123}}},
                                             {"values", {{"bufferView", values}}}};
       },
       "sparse accessor"},
      {"sparse substitutions past the end of their views", true,
       [](Document& d) {
         const size_t indices = d.View(std::vector<uint16_t>{2, 0});
         const size_t values = d.View(std::vector<float>{0.5f, 0.5f, 0.5f});
         d.json["accessors"][0]["sparse"] = {{"count", 4},
                                             {"indices", {{"bufferView", indices}, {"componentType", 5123}}},
                                             {"values", {{"bufferView", values}}}};
       },
       "substitutions run past the end of their views"},
      {"a malformed sparse accessor", true,
       [](Document& d) {
         d.json["accessors"][0]["sparse"] = {{"count", 1}};
       },
       "sparse: malformed"},
      {"an accessor without a view", true, [](Document& d) { d.json["accessors"][2].erase("bufferView"); },
       "no bufferView"},
      {"Draco compression", true,
       [](Document& d) {
         d.json["extensionsUsed"].push_back("KHR_draco_mesh_compression");
         d.json["extensionsRequired"] = {"KHR_draco_mesh_compression"};
         d.json["meshes"][1]["primitives"][0]["extensions"]["KHR_draco_mesh_compression"] = {
             {"bufferView", 0}};
       },
       "KHR_draco_mesh_compression"},
      {"an extension not listed as used", true,
       [](Document& d) {
         d.json["meshes"][1]["primitives"][0]["extensions"]["EXT_meshopt_compression"] = {};
       },
       "extension EXT_meshopt_compression is not read here"},
      {"no normals", true,
       [](Document& d) { d.json["meshes"][1]["primitives"][0]["attributes"].erase("NORMAL"); }, "no NORMAL"},
      {"texture coordinates of bytes", true,
       [](Document& d) {
         d.json["accessors"][2]["componentType"] = 5121;
         d.json["accessors"][2]["normalized"] = true;
       },
       "componentType 5121"},
      {"a triangle strip", true, [](Document& d) { d.json["meshes"][1]["primitives"][0]["mode"] = 5; },
       "mode 5"},
      {"an index of lines out of range", true,
       [](Document& d) {
         d.json["meshes"][1]["primitives"][0]["mode"] = 1;
         d.json["meshes"][1]["primitives"][0]["indices"] =
             d.Accessor(d.View(std::vector<uint16_t>{0, 9}), 5123, 2, "SCALAR");
       },
       "an index of points or lines out of range"},
      {"morph targets", true,
       [](Document& d) {
         d.json["meshes"][1]["primitives"][0]["targets"] = {{{"POSITION", 0}}};
       },
       "morph targets"},
      {"a skin", true,
       [](Document& d) {
         // Every vertex of the mesh held by joint 0 alone.
         const size_t joints = d.Accessor(d.View(std::vector<uint8_t>(20, 0)), 5121, 5, "VEC4");
         const size_t weights =
             d.Floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, "VEC4", 4);
         const size_t bind = d.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "MAT4", 16);
         d.json["meshes"][1]["primitives"][0]["attributes"]["JOINTS_0"] = joints;
         d.json["meshes"][1]["primitives"][0]["attributes"]["WEIGHTS_0"] = weights;
         d.json["skins"] = {{{"joints", {7}}, {"inverseBindMatrices", bind}}};
         d.json["nodes"][2]["skin"] = 0;
       },
       "skins: present"},
      {"a node that holds itself", true, [](Document& d) { d.json["nodes"][7]["children"] = {0}; },
       "a node that contains itself"},
      {"a mesh out of range", true, [](Document& d) { d.json["nodes"][1]["mesh"] = 9; },
       "meshes[9] does not exist"},
      {"a name that is not a string", true, [](Document& d) { d.json["scenes"][0]["name"] = 5; },
       "name has the wrong type"},
      // Found by mutating the JSON text: what assimp's reader refuses (or asserts on) is not taken.
      {"texture coordinate sets with a gap", true,
       [](Document& d) {
         Json& attributes = d.json["meshes"][0]["primitives"][0]["attributes"];
         attributes["TEXCOORD_2"] = attributes["TEXCOORD_0"];
         attributes.erase("TEXCOORD_0");
       },
       "texture coordinate sets with a gap"},
      {"a texture transform of the wrong shape", true,
       [](Document& d) {
         d.json["materials"][1]["pbrMetallicRoughness"]["baseColorTexture"]["extensions"]
               ["KHR_texture_transform"]["scale"] = {2, nullptr};
       },
       "scale holds a value that is not a number", false},
      {"extras that are not an object", true, [](Document& d) { d.json["bufferViews"][0]["extras"] = 5; },
       "extras has the wrong type"},
      {"a colour accessor whose type is not a string", true,
       [](Document& d) { d.json["accessors"][3]["type"] = 4; }, "type is not a string"},
      {"glTF 1.0", true, [](Document& d) { d.json["asset"]["version"] = "1.0"; }, "not glTF 2"},
      {"a buffer as a data URI", false,
       [](Document& d) {
         d.json["buffers"] = {{{"byteLength", 4}, {"uri", "data:application/octet-stream;base64,AAAAAA=="}}};
       },
       "data URI"},
      {"an image as a data URI", false,
       [](Document& d) { d.json["images"][0]["uri"] = "data:image/png;base64,iVBORw0KGgo="; }, "data URI"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    Document d = RichDocument();
    c.change(d);
    std::string path = Write(dir, "model", d, c.glb);
    if (std::string(c.name) == "a JSON chunk past the end of the file") {
      // The whole file cut to 200 bytes, its header's length following the cut.
      std::vector<uint8_t> bytes = test::ReadBytes(path);
      bytes.resize(200);
      bytes[8] = 200;
      bytes[9] = bytes[10] = bytes[11] = 0;
      test::WriteBytes(path, bytes);
    }
    const bool damaged = IsDamageCase(c.name);
    standin::SceneModel model;
    import::ImportWarnings warnings;
    std::string message;
    EXPECT_EQ(import::ImportGltfFile(path, model, warnings, message),
              damaged ? import::GltfImport::kDamaged : import::GltfImport::kNotMine);
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    EXPECT_TRUE(model.nodes.empty() && warnings.empty());
    if (damaged) {
      // assimp would read it out of bounds: the routing says so instead of asking it.
      std::string error;
      EXPECT_FALSE(import::ImportScene(path, model, warnings, error));
      EXPECT_EQ(error.find("damaged glTF file: " + message), 0u) << error;
    } else if (c.assimpSurvives) {
      ExpectSceneOrClearError(path);
    }
  }
}

TEST(GltfReader, LeavesAGltfWithoutItsBufferFileToAssimp) {
  test::TempDir dir;
  const std::string path = Write(dir, "model", RichDocument(), false);
  std::filesystem::remove(dir.File("model.bin"));
  standin::SceneModel model;
  import::ImportWarnings warnings;
  std::string notMine;
  EXPECT_EQ(import::ImportGltfFile(path, model, warnings, notMine), import::GltfImport::kNotMine);
  EXPECT_NE(notMine.find("model.bin': cannot open the file"), std::string::npos) << notMine;
  ExpectSceneOrClearError(path);
}

// The GLB's bytes cut at every length, its header's length following the cut, so that every
// chunk check is reached: each cut is found damaged, and nothing is read out of bounds.
TEST(GltfReader, RefusesEveryCutOfAGlb) {
  Document d = RichDocument();
  d.json["buffers"] = {{{"byteLength", d.bin.size()}}};
  const std::vector<uint8_t> whole = test::GlbBytes(d.json.dump(), d.bin);
  for (size_t length = 4; length < whole.size(); ++length) {
    std::string bytes(whole.begin(), whole.begin() + length);
    if (length >= 12) {
      for (int k = 0; k < 4; ++k) bytes[8 + k] = static_cast<char>(length >> (8 * k));
    }
    standin::SceneModel model;
    import::ImportWarnings warnings;
    std::string message;
    ASSERT_EQ(import::ImportGltfBytes(bytes, model, warnings, message), import::GltfImport::kDamaged)
        << "cut at " << length << ": " << message;
  }
}

// Every byte of a GLB changed in turn: whatever the reader takes, assimp must read alike.
TEST(GltfReader, GivesWhatAssimpGivesForEveryByteOfAGlbChanged) {
  Document d = RichDocument();
  d.json["buffers"] = {{{"byteLength", d.bin.size()}}};
  const std::vector<uint8_t> whole = test::GlbBytes(d.json.dump(), d.bin);
  size_t taken = 0;
  for (size_t at = 0; at < whole.size(); ++at) {
    std::string bytes(whole.begin(), whole.end());
    bytes[at] = static_cast<char>(bytes[at] ^ 0x21);
    standin::SceneModel fast, slow;
    import::ImportWarnings fastWarnings, slowWarnings;
    std::string notMine, error;
    if (import::ImportGltfBytes(bytes, fast, fastWarnings, notMine) != import::GltfImport::kImported)
      continue;
    ++taken;
    ASSERT_TRUE(import::ImportModelBytes(bytes, slow, slowWarnings, error)) << "byte " << at << ": " << error;
    ASSERT_EQ(standin::SceneModelDifference(fast, slow), "") << "byte " << at;
    ASSERT_EQ(fastWarnings, slowWarnings) << "byte " << at;
  }
  // The binary chunk's bytes are numbers of the model: changed, the file still reads.
  EXPECT_GE(taken, d.bin.size());
}

// The JSON text changed at random, numbers and strings replaced by others that count in a glTF
// document (indices, sizes, types, names of members): whatever the reader takes, assimp must
// read alike. The same changes, run longer, found texture coordinate sets with a gap, extras
// that are no object and a texture transform of the wrong shape, which assimp refuses.
TEST(GltfReader, GivesWhatAssimpGivesForTheJsonTextChanged) {
  Document d = RichDocument();
  d.json["buffers"] = {{{"byteLength", d.bin.size()}}};
  const std::string text = d.json.dump();
  static const char* const kNumbers[] = {
      "0",  "1",   "2",    "3",     "4",          "5",          "7",
      "12", "24",  "255",  "65535", "4294967295", "4294967296", "18446744073709551615",
      "-1", "0.5", "1e9",  "5121",  "5123",       "5126",       "\"x\"",
      "[]", "{}",  "null", "true"};
  static const char* const kStrings[] = {
      "",           "x",          "VEC2",       "VEC3",    "VEC4",       "SCALAR", "MAT4",         "POSITION",
      "NORMAL",     "TEXCOORD_0", "TEXCOORD_1", "COLOR_0", "point",      "spot",   "orthographic", "name",
      "extensions", "extras",     "children",   "mesh",    "camera",     "matrix", "rotation",     "uri",
      "bufferView", "indices",    "material",   "mode",    "byteStride", "source", "index",        "light",
      "range",      "type",       "count"};
  std::mt19937 random(7);
  size_t taken = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string json = text;
    // A number (a digit not inside another number) or a string, replaced.
    for (int edit = 0; edit < 2; ++edit) {
      const size_t at = random() % json.size();
      if (random() % 2 == 0) {
        size_t start = json.find_first_of("0123456789", at);
        if (start == std::string::npos || (start > 0 && std::strchr("0123456789.-+eE", json[start - 1])))
          continue;
        size_t end = start;
        while (end < json.size() && std::strchr("0123456789.-+eE", json[end])) ++end;
        json.replace(start, end - start, kNumbers[random() % std::size(kNumbers)]);
      } else {
        const size_t open = json.find('"', at);
        const size_t close = open == std::string::npos ? open : json.find('"', open + 1);
        if (close == std::string::npos) continue;
        json.replace(open + 1, close - open - 1, kStrings[random() % std::size(kStrings)]);
      }
    }
    const std::vector<uint8_t> glb = test::GlbBytes(json, d.bin);
    const std::string_view bytes(reinterpret_cast<const char*>(glb.data()), glb.size());
    standin::SceneModel fast, slow;
    import::ImportWarnings fastWarnings, slowWarnings;
    std::string message, error;
    const import::GltfImport outcome = import::ImportGltfBytes(bytes, fast, fastWarnings, message);
    if (outcome != import::GltfImport::kImported) {
      ASSERT_FALSE(message.empty()) << json;
      continue;
    }
    ++taken;
    ASSERT_TRUE(import::ImportModelBytes(bytes, slow, slowWarnings, error)) << error << "\n" << json;
    ASSERT_EQ(standin::SceneModelDifference(fast, slow), "") << json;
    ASSERT_EQ(fastWarnings, slowWarnings) << json;
  }
  // Many a change leaves a file that still reads (a name, a number in the extras, a factor).
  EXPECT_GE(taken, 1000u);
}

// A GLB read from memory goes through the glTF reader: a damaged one is reported as such
// (assimp would say something else), a sound one reads as from its file.
TEST(GltfReader, ReadsGlbBytesFromMemory) {
  test::TempDir dir;
  Document sound = RichDocument();
  Document damaged = RichDocument();
  damaged.json["accessors"][0]["count"] = 1000;
  const std::string soundPath = Write(dir, "sound", sound, true);
  const std::string soundBytes = test::ReadText(soundPath);
  const std::string damagedBytes = test::ReadText(Write(dir, "damaged", damaged, true));
  standin::SceneModel fromFile;
  import::ImportWarnings fileWarnings;
  std::string error;
  ASSERT_TRUE(import::ImportScene(soundPath, fromFile, fileWarnings, error)) << error;
  standin::SceneModel model;
  import::ImportWarnings warnings;
  std::string message;
  ASSERT_TRUE(import::ImportSceneBytes(soundBytes, model, warnings, message)) << message;
  EXPECT_EQ(standin::SceneModelDifference(model, fromFile), "");
  EXPECT_EQ(warnings, fileWarnings);
  EXPECT_FALSE(import::ImportSceneBytes(damagedBytes, model, warnings, message));
  EXPECT_EQ(message.find("damaged glTF file: accessors[0]"), 0u) << message;
}

}  // namespace
}  // namespace cvm
