#include "tests/import/gltf_writer.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "tests/support/temp_dir.h"

namespace cvm::test {
namespace {

using Json = nlohmann::json;

// Appends floats to the buffer and returns the accessor that reads them as VEC3.
int AddVec3Accessor(const std::vector<std::array<float, 3>>& values, std::vector<uint8_t>& buffer,
                    Json& doc) {
  const size_t offset = buffer.size();
  buffer.resize(offset + values.size() * 12);
  std::memcpy(buffer.data() + offset, values.data(), values.size() * 12);
  doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", values.size() * 12}});
  Json accessor = {{"bufferView", doc["bufferViews"].size() - 1},
                   {"componentType", 5126},
                   {"count", values.size()},
                   {"type", "VEC3"}};
  std::array<float, 3> low = values.at(0), high = values.at(0);
  for (const auto& v : values) {
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], v[k]);
      high[k] = std::max(high[k], v[k]);
    }
  }
  accessor["min"] = low;
  accessor["max"] = high;
  doc["accessors"].push_back(accessor);
  return static_cast<int>(doc["accessors"].size()) - 1;
}

// The glTF document of scene, its binary data in buffer (referred to as buffer 0, which the
// caller adds).
Json BuildGltf(const GltfScene& scene, std::vector<uint8_t>& buffer) {
  Json doc = {{"asset", {{"version", "2.0"}}},
              {"scene", 0},
              {"scenes", {{{"nodes", Json::array()}}}},
              {"nodes", Json::array()},
              {"meshes", Json::array()},
              {"accessors", Json::array()},
              {"bufferViews", Json::array()}};
  for (const std::string& material : scene.materialNames) doc["materials"].push_back({{"name", material}});
  if (!scene.lightsJson.empty()) {
    doc["extensionsUsed"] = {"KHR_lights_punctual"};
    for (const std::string& light : scene.lightsJson) {
      doc["extensions"]["KHR_lights_punctual"]["lights"].push_back(Json::parse(light));
    }
  }
  for (const GltfNode& node : scene.nodes) {
    Json out = {{"name", node.name}};
    if (!node.primitives.empty()) {
      Json mesh = {{"primitives", Json::array()}};
      for (const GltfPrimitive& primitive : node.primitives) {
        Json p = {{"attributes", {{"POSITION", AddVec3Accessor(primitive.positions, buffer, doc)}}},
                  {"mode", primitive.mode}};
        if (!primitive.normals.empty())
          p["attributes"]["NORMAL"] = AddVec3Accessor(primitive.normals, buffer, doc);
        if (primitive.material >= 0) p["material"] = primitive.material;
        mesh["primitives"].push_back(p);
      }
      doc["meshes"].push_back(mesh);
      out["mesh"] = doc["meshes"].size() - 1;
    }
    if (node.matrix) out["matrix"] = *node.matrix;
    if (!node.extrasJson.empty()) out["extras"] = Json::parse(node.extrasJson);
    if (node.light >= 0) out["extensions"]["KHR_lights_punctual"]["light"] = node.light;
    doc["scenes"][0]["nodes"].push_back(doc["nodes"].size());
    doc["nodes"].push_back(out);
  }
  if (doc["meshes"].empty()) doc.erase("meshes");
  if (doc["accessors"].empty()) doc.erase("accessors");
  if (doc["bufferViews"].empty()) doc.erase("bufferViews");
  return doc;
}

void AppendU32(std::vector<uint8_t>& bytes, size_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

std::string WriteGltf(const std::string& dir, const std::string& name, const GltfScene& scene) {
  std::vector<uint8_t> buffer;
  Json doc = BuildGltf(scene, buffer);
  if (!buffer.empty()) doc["buffers"] = {{{"byteLength", buffer.size()}, {"uri", name + ".bin"}}};
  WriteBytes(dir + "/" + name + ".bin", buffer);
  const std::string text = doc.dump(1);
  const std::string path = dir + "/" + name + ".gltf";
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
  return path;
}

std::vector<uint8_t> GlbBytes(const std::string& text, const std::vector<uint8_t>& binary) {
  std::string json = text;
  json.resize((json.size() + 3) / 4 * 4, ' ');
  std::vector<uint8_t> buffer = binary;
  buffer.resize((buffer.size() + 3) / 4 * 4, 0);
  // Header (magic "glTF", version 2, length), then the JSON chunk and the binary chunk.
  std::vector<uint8_t> bytes;
  AppendU32(bytes, 0x46546C67);
  AppendU32(bytes, 2);
  AppendU32(bytes, 12 + 8 + json.size() + (buffer.empty() ? 0 : 8 + buffer.size()));
  AppendU32(bytes, json.size());
  AppendU32(bytes, 0x4E4F534A);
  bytes.insert(bytes.end(), json.begin(), json.end());
  if (!buffer.empty()) {
    AppendU32(bytes, buffer.size());
    AppendU32(bytes, 0x004E4942);
    bytes.insert(bytes.end(), buffer.begin(), buffer.end());
  }
  return bytes;
}

std::string WriteGlb(const std::string& dir, const std::string& name, const GltfScene& scene) {
  std::vector<uint8_t> buffer;
  Json doc = BuildGltf(scene, buffer);
  if (!buffer.empty()) doc["buffers"] = {{{"byteLength", buffer.size()}}};
  const std::string path = dir + "/" + name + ".glb";
  WriteBytes(path, GlbBytes(doc.dump(), buffer));
  return path;
}

}  // namespace cvm::test
