#include "import/gltf_document.h"

#include <assimp/quaternion.h>

#include <algorithm>
#include <assimp/matrix4x4.inl>
#include <assimp/quaternion.inl>
#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <unordered_set>

#include "import/assimp_objects.h"

namespace cvm::import {
namespace {

// Member order matters (a node's extras become user text in the file's order), so the
// document keeps it.
using Json = nlohmann::ordered_json;

// A node's name when it has none, as assimp's glTF 2 reader makes it.
std::string NodeId(uint32_t index) {
  return "nodes[" + std::to_string(index) + "]";
}

// Names and texts travel through assimp's fixed-size strings, which cut them at 1023 bytes
// and at a zero byte.
constexpr size_t kMaxAssimpString = 1023;

// The extensions a file may list as used: lights, whose effect the import takes over, and
// those that change nothing the import keeps (assimp's own glTF writer lists the last two in
// every file; a material that holds the volume extension is still refused).
const std::set<std::string> kKnownExtensions = {"KHR_lights_punctual", "KHR_materials_unlit",
                                                "KHR_texture_transform", "KHR_materials_volume",
                                                "FB_ngon_encoding"};

enum class State : uint8_t { kUnread, kReading, kRead };

struct BufferData {
  std::string_view bytes;  // byteLength bytes
};

struct ViewData {
  std::string_view bytes;
  uint32_t stride = 0;  // 0: tightly packed
};

// Parses the JSON text, refusing what assimp's parser would read differently: two members of
// one object with the same key (it keeps both) and nesting deeper than the import goes.
bool ParseDocument(std::string_view text, Json& out, std::string& reason) {
  constexpr int kMaxDepth = 64;
  std::vector<std::unordered_set<std::string>> keys;
  bool duplicate = false;
  bool tooDeep = false;
  const Json::parser_callback_t check = [&](int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        keys.emplace_back();
        tooDeep = tooDeep || depth > kMaxDepth;
        break;
      case Json::parse_event_t::array_start:
        tooDeep = tooDeep || depth > kMaxDepth;
        break;
      case Json::parse_event_t::object_end:
        if (!keys.empty()) keys.pop_back();
        break;
      case Json::parse_event_t::key:
        if (!keys.empty() && !keys.back().insert(parsed.get<std::string>()).second) duplicate = true;
        break;
      default:
        break;
    }
    return true;
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    reason = "the JSON text starts with a byte order mark";
    return false;
  }
  out = Json::parse(text.begin(), text.end(), check, false);
  if (out.is_discarded()) {
    reason = "the JSON text does not parse";
    return false;
  }
  if (duplicate) {
    reason = "an object of the JSON text holds a key twice";
    return false;
  }
  if (tooDeep) {
    reason = "the JSON text nests deeper than " + std::to_string(kMaxDepth) + " levels";
    return false;
  }
  if (!out.is_object()) {
    reason = "the JSON text is not an object";
    return false;
  }
  return true;
}

class DocumentReader {
 public:
  DocumentReader(const Json& root, const GltfContainer& container, const GltfBufferLoader& loadBuffer,
                 GltfDocument& out, GltfRefusal& refusal)
      : root_(root), container_(container), loadBuffer_(loadBuffer), out_(out), refusal_(refusal) {}

  bool Read();

 private:
  bool Refuse(const std::string& where, const std::string& what) {
    refusal_.reason = where + ": " + what;
    return false;
  }
  bool Damaged(const std::string& where, const std::string& what) {
    refusal_.damaged = true;
    return Refuse(where, what);
  }

  // The top-level array key (or lights), null when the file has none.
  const Json* TopArray(const char* key) const {
    const auto found = root_.find(key);
    return found != root_.end() && found->is_array() ? &*found : nullptr;
  }
  // The element index of array key, after checking the reference.
  const Json* Element(const char* key, const Json* array, const Json& reference, const std::string& where,
                      uint32_t& index) {
    if (!reference.is_number_unsigned()) {
      Refuse(where, std::string("a reference into ") + key + " that is not a whole number");
      return nullptr;
    }
    const uint64_t value = reference.get<uint64_t>();
    if (array == nullptr || value >= array->size()) {
      Refuse(where, std::string(key) + "[" + std::to_string(value) + "] does not exist (" +
                        std::to_string(array == nullptr ? 0 : array->size()) + " in the file)");
      return nullptr;
    }
    if (!(*array)[value].is_object()) {
      Refuse(std::string(key) + "[" + std::to_string(value) + "]", "not an object");
      return nullptr;
    }
    index = static_cast<uint32_t>(value);
    return &(*array)[value];
  }

  bool Floats(const Json& object, const char* key, float* out, size_t n, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_array() || found->size() != n)
      return Refuse(where, std::string(key) + " is not an array of " + std::to_string(n) + " numbers");
    for (size_t i = 0; i < n; ++i) {
      if (!(*found)[i].is_number())
        return Refuse(where, std::string(key) + " holds a value that is not a number");
      out[i] = static_cast<float>((*found)[i].get<double>());
    }
    return true;
  }
  bool Float(const Json& object, const char* key, float& out, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_number()) return Refuse(where, std::string(key) + " is not a number");
    out = static_cast<float>(found->get<double>());
    return true;
  }
  bool Bool(const Json& object, const char* key, bool& out, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_boolean()) return Refuse(where, std::string(key) + " is not true or false");
    out = found->get<bool>();
    return true;
  }
  bool CheckText(const std::string& text, const std::string& where, const char* what) {
    if (text.size() > kMaxAssimpString || text.find('\0') != std::string::npos)
      return Refuse(where, std::string(what) + " longer than 1023 bytes or with a zero byte");
    return true;
  }
  bool Text(const Json& object, const char* key, std::string& out, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_string()) return Refuse(where, std::string(key) + " is not a string");
    out = found->get<std::string>();
    return CheckText(out, where, key);
  }
  bool Unsigned(const Json& object, const char* key, uint64_t& out, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_number_unsigned()) return Refuse(where, std::string(key) + " is not a whole number");
    out = found->get<uint64_t>();
    return true;
  }
  // Extensions of an object other than the ones allowed there.
  bool OnlyExtensions(const Json& object, std::initializer_list<const char*> allowed,
                      const std::string& where) {
    const auto found = object.find("extensions");
    if (found == object.end()) return true;
    if (!found->is_object()) return Refuse(where, "extensions is not an object");
    for (const auto& item : found->items()) {
      if (std::find_if(allowed.begin(), allowed.end(), [&](const char* a) { return item.key() == a; }) ==
          allowed.end())
        return Refuse(where, "extension " + item.key() + " is not read here");
    }
    return true;
  }

  // assimp's reader refuses a file in which a member it reads has the wrong type.
  enum class Kind { kString, kUnsigned, kNumber, kBool, kObject, kArray, kNumbers };
  bool Types(const Json& object, std::initializer_list<std::pair<const char*, Kind>> members,
             const std::string& where) {
    for (const auto& [key, kind] : members) {
      const auto found = object.find(key);
      if (found == object.end()) continue;
      bool ok = false;
      switch (kind) {
        case Kind::kString:
          ok = found->is_string();
          break;
        case Kind::kUnsigned:
          ok = found->is_number_unsigned();
          break;
        case Kind::kNumber:
          ok = found->is_number();
          break;
        case Kind::kBool:
          ok = found->is_boolean();
          break;
        case Kind::kObject:
          ok = found->is_object();
          break;
        case Kind::kArray:
          ok = found->is_array();
          break;
        case Kind::kNumbers:
          ok = found->is_array() &&
               std::all_of(found->begin(), found->end(), [](const Json& v) { return v.is_number(); });
          break;
      }
      if (!ok) return Refuse(where, std::string(key) + " has the wrong type");
    }
    return true;
  }
  // What every object may hold: a name, extensions (each an object) and extras (an object);
  // the extensions other than allowed are refused.
  bool Common(const Json& object, std::initializer_list<const char*> allowed, const std::string& where) {
    if (!Types(object, {{"name", Kind::kString}, {"extensions", Kind::kObject}, {"extras", Kind::kObject}},
               where))
      return false;
    if (!OnlyExtensions(object, allowed, where)) return false;
    if (const auto extensions = object.find("extensions"); extensions != object.end()) {
      for (const auto& item : extensions->items())
        if (!item.value().is_object()) return Refuse(where, "extension " + item.key() + " is not an object");
    }
    return true;
  }

  bool Buffer(const Json& reference, const std::string& where, BufferData& out);
  bool View(const Json& reference, const std::string& where, ViewData& out);
  bool Accessor(const Json& reference, const std::string& where, int components, bool indices,
                GltfAccessor& out);
  bool SparseInBounds(const Json& accessor, const Json& sparse, const std::string& where);
  bool Image(const Json& reference, const std::string& where, GltfTextureRef& out);
  bool TextureInfo(const Json& object, const char* key, const std::string& where, GltfTextureRef& out);
  bool Material(const Json& reference, const std::string& where, uint32_t& out);
  bool Mesh(const Json& reference, const std::string& where, int32_t& out);
  bool Camera(const Json& reference, const std::string& where, int32_t& out);
  bool Light(const Json& reference, const std::string& where, int32_t& out, bool& hasRange, float& range);
  bool Node(const Json& reference, const std::string& where, int depth, uint32_t& out);
  bool UserText(const Json& node, bool hasRange, float range, const std::string& where, std::string& out);

  const Json& root_;
  const GltfContainer& container_;
  const GltfBufferLoader& loadBuffer_;
  GltfDocument& out_;
  GltfRefusal& refusal_;

  const Json* buffers_ = nullptr;
  const Json* views_ = nullptr;
  const Json* accessors_ = nullptr;
  const Json* images_ = nullptr;
  const Json* textures_ = nullptr;
  const Json* samplers_ = nullptr;
  const Json* materials_ = nullptr;
  const Json* meshes_ = nullptr;
  const Json* nodes_ = nullptr;
  const Json* cameras_ = nullptr;
  const Json* lights_ = nullptr;
  bool lightsUsed_ = false;

  std::vector<std::optional<BufferData>> bufferData_;
  std::vector<std::optional<GltfTextureRef>> imageRefs_;
  std::vector<int32_t> materialIndex_;  // by file index: index in out_.materials, -1 not yet
  std::vector<int32_t> meshRead_;       // by file index: 1 when read
  std::vector<int32_t> cameraIndex_;
  std::vector<int32_t> lightIndex_;
  std::vector<bool> lightHasRange_;
  std::vector<float> lightRange_;
  std::vector<State> nodeState_;
  static constexpr uint32_t kDefaultMaterial = UINT32_MAX;
};

bool DocumentReader::Buffer(const Json& reference, const std::string& where, BufferData& out) {
  uint32_t i = 0;
  const Json* buffer = Element("buffers", buffers_, reference, where, i);
  if (buffer == nullptr) return false;
  if (bufferData_[i]) {
    out = *bufferData_[i];
    return true;
  }
  const std::string here = "buffers[" + std::to_string(i) + "]";
  uint64_t byteLength = 0;
  if (!Unsigned(*buffer, "byteLength", byteLength, here)) return false;
  if (byteLength == 0) return Refuse(here, "no byteLength");
  if (!Common(*buffer, {}, here)) return false;
  std::string_view bytes;
  const auto uri = buffer->find("uri");
  if (uri == buffer->end()) {
    if (!container_.isGlb || i != 0) return Refuse(here, "no uri, and not the binary chunk of a GLB");
    bytes = container_.binary;
  } else {
    if (!uri->is_string()) return Refuse(here, "uri is not a string");
    const std::string name = uri->get<std::string>();
    if (name.compare(0, 5, "data:") == 0) return Refuse(here, "data URI (left to assimp)");
    if (name.empty() || name.find('%') != std::string::npos || !CheckText(name, here, "uri"))
      return Refuse(here, "uri '" + name + "' is empty or escaped");
    std::string why;
    if (!loadBuffer_(name, bytes, why)) return Refuse(here, why);
  }
  if (bytes.size() < byteLength) {
    return Damaged(here, "byteLength " + std::to_string(byteLength) + " but only " +
                             std::to_string(bytes.size()) + " bytes to read");
  }
  bufferData_[i] = BufferData{bytes.substr(0, byteLength)};
  out = *bufferData_[i];
  return true;
}

bool DocumentReader::View(const Json& reference, const std::string& where, ViewData& out) {
  uint32_t i = 0;
  const Json* view = Element("bufferViews", views_, reference, where, i);
  if (view == nullptr) return false;
  const std::string here = "bufferViews[" + std::to_string(i) + "]";
  if (!Common(*view, {}, here) || !Types(*view, {{"target", Kind::kUnsigned}}, here)) return false;
  const auto buffer = view->find("buffer");
  if (buffer == view->end()) return Refuse(here, "no buffer");
  BufferData data;
  if (!Buffer(*buffer, here, data)) return false;
  uint64_t offset = 0, length = 0, stride = 0;
  if (!Unsigned(*view, "byteOffset", offset, here) || !Unsigned(*view, "byteLength", length, here) ||
      !Unsigned(*view, "byteStride", stride, here))
    return false;
  if (length == 0) return Refuse(here, "no byteLength");
  if (offset > data.bytes.size() || length > data.bytes.size() - offset) {
    return Damaged(here, "bytes " + std::to_string(offset) + " to " + std::to_string(offset + length) +
                             " lie outside its buffer of " + std::to_string(data.bytes.size()) + " bytes");
  }
  if (stride != 0 && (stride < 4 || stride > 252 || stride % 4 != 0))
    return Damaged(here, "byteStride " + std::to_string(stride) + " out of range");
  out.bytes = data.bytes.substr(offset, length);
  out.stride = static_cast<uint32_t>(stride);
  return true;
}

bool DocumentReader::Accessor(const Json& reference, const std::string& where, int components, bool indices,
                              GltfAccessor& out) {
  uint32_t i = 0;
  const Json* accessor = Element("accessors", accessors_, reference, where, i);
  if (accessor == nullptr) return false;
  const std::string here = "accessors[" + std::to_string(i) + "]";
  if (const auto sparse = accessor->find("sparse"); sparse != accessor->end()) {
    // Left to assimp, which reads the substitutions where the accessor says without asking.
    if (!SparseInBounds(*accessor, *sparse, here)) return false;
    return Refuse(here, "sparse accessor");
  }
  if (!Common(*accessor, {}, here) ||
      !Types(*accessor, {{"min", Kind::kNumbers}, {"max", Kind::kNumbers}, {"normalized", Kind::kBool}},
             here))
    return false;
  const auto view = accessor->find("bufferView");
  if (view == accessor->end()) return Refuse(here, "no bufferView");
  uint64_t componentType = 0, count = 0, offset = 0;
  if (!Unsigned(*accessor, "componentType", componentType, here) ||
      !Unsigned(*accessor, "count", count, here) || !Unsigned(*accessor, "byteOffset", offset, here))
    return false;
  std::string type;
  if (!Text(*accessor, "type", type, here)) return false;
  static const char* const kTypes[] = {"", "SCALAR", "VEC2", "VEC3", "VEC4"};
  const int wanted = indices ? 1 : components;
  if (type != kTypes[wanted]) return Refuse(here, "type " + type + " where " + kTypes[wanted] + " is read");
  size_t componentSize = 4;
  if (indices) {
    if (componentType == kGltfUnsignedByte) {
      componentSize = 1;
    } else if (componentType == kGltfUnsignedShort) {
      componentSize = 2;
    } else if (componentType != kGltfUnsignedInt) {
      return Refuse(here, "index componentType " + std::to_string(componentType));
    }
  } else if (componentType != kGltfFloat) {
    return Refuse(here, "componentType " + std::to_string(componentType) + " where floats are read");
  }
  if (count == 0 || count >= UINT32_MAX) return Refuse(here, "count " + std::to_string(count));
  ViewData data;
  if (!View(*view, here, data)) return false;
  const uint64_t elementSize = componentSize * static_cast<uint64_t>(wanted);
  const uint64_t stride = data.stride != 0 ? data.stride : elementSize;
  if (stride < elementSize) return Damaged(here, "byteStride smaller than an element");
  const uint64_t viewLength = data.bytes.size();
  if (offset > viewLength || (count - 1) * stride + elementSize > viewLength - offset) {
    return Damaged(here, std::to_string(count) + " elements " + std::to_string(stride) +
                             " bytes apart from byte " + std::to_string(offset) +
                             " run past the end of its view of " + std::to_string(viewLength) + " bytes");
  }
  // assimp's reader also wants every stride in full inside the view, wherever the first begins.
  if (count * stride > viewLength)
    return Damaged(
        here, std::to_string(count) + " strides of " + std::to_string(stride) + " bytes exceed its view");
  out.data = reinterpret_cast<const unsigned char*>(data.bytes.data()) + offset;
  out.count = static_cast<uint32_t>(count);
  out.stride = static_cast<uint32_t>(stride);
  out.componentType = static_cast<int>(componentType);
  out.components = wanted;
  return true;
}

// Whether the sparse substitutions of an accessor lie inside their views (damaged if not).
bool DocumentReader::SparseInBounds(const Json& accessor, const Json& sparse, const std::string& where) {
  const std::string here = where + ".sparse";
  const auto size = [](uint64_t componentType) -> uint64_t {
    if (componentType == 5120 || componentType == 5121) return 1;
    if (componentType == 5122 || componentType == 5123) return 2;
    return componentType == 5125 || componentType == 5126 ? 4 : 0;
  };
  static const std::pair<const char*, uint64_t> kComponents[] = {
      {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
  uint64_t count = 0, accessorCount = 0, componentType = 0;
  std::string type;
  if (!sparse.is_object() || !Unsigned(sparse, "count", count, here) ||
      !Unsigned(accessor, "count", accessorCount, where) ||
      !Unsigned(accessor, "componentType", componentType, where) || !Text(accessor, "type", type, where))
    return Damaged(here, "malformed");
  uint64_t components = 0;
  for (const auto& [name, n] : kComponents) components = type == name ? n : components;
  const uint64_t valueSize = components * size(componentType);
  const auto indices = sparse.find("indices");
  const auto values = sparse.find("values");
  if (count == 0 || count > accessorCount || count >= UINT32_MAX || valueSize == 0 ||
      indices == sparse.end() || !indices->is_object() || values == sparse.end() || !values->is_object() ||
      !indices->contains("bufferView") || !values->contains("bufferView"))
    return Damaged(here, "malformed");
  uint64_t indexType = 0, indexOffset = 0, valueOffset = 0;
  if (!Unsigned(*indices, "componentType", indexType, here) ||
      !Unsigned(*indices, "byteOffset", indexOffset, here) ||
      !Unsigned(*values, "byteOffset", valueOffset, here) || size(indexType) == 0 || indexType == 5126)
    return Damaged(here, "malformed");
  ViewData indexView, valueView;
  if (!View((*indices)["bufferView"], here, indexView) || !View((*values)["bufferView"], here, valueView))
    return false;
  if (indexOffset > indexView.bytes.size() ||
      count * size(indexType) > indexView.bytes.size() - indexOffset ||
      valueOffset > valueView.bytes.size() || count * valueSize > valueView.bytes.size() - valueOffset)
    return Damaged(here, std::to_string(count) + " substitutions run past the end of their views");
  return true;
}

bool DocumentReader::Image(const Json& reference, const std::string& where, GltfTextureRef& out) {
  uint32_t i = 0;
  const Json* image = Element("images", images_, reference, where, i);
  if (image == nullptr) return false;
  if (imageRefs_[i]) {
    out = *imageRefs_[i];
    return true;
  }
  const std::string here = "images[" + std::to_string(i) + "]";
  if (!Common(*image, {}, here)) return false;
  GltfTextureRef ref;
  ref.present = true;
  std::string name;
  if (!Text(*image, "name", name, here)) return false;
  const auto uri = image->find("uri");
  if (uri != image->end()) {
    if (!uri->is_string()) return Refuse(here, "uri is not a string");
    ref.fileName = uri->get<std::string>();
    if (ref.fileName.compare(0, 5, "data:") == 0) return Refuse(here, "data URI (left to assimp)");
    if (ref.fileName.empty() || !CheckText(ref.fileName, here, "uri")) return Refuse(here, "empty uri");
  } else {
    const auto view = image->find("bufferView");
    if (view == image->end()) return Refuse(here, "neither uri nor bufferView");
    std::string mimeType;
    if (!Text(*image, "mimeType", mimeType, here)) return false;
    if (mimeType.empty()) return Refuse(here, "bufferView without mimeType");
    ViewData data;
    if (!View(*view, here, data)) return false;
    ref.embedded = true;
    ref.embeddedIndex = out_.embeddedImages++;
    ref.fileName = name;
  }
  imageRefs_[i] = ref;
  out = ref;
  return true;
}

bool DocumentReader::TextureInfo(const Json& object, const char* key, const std::string& where,
                                 GltfTextureRef& out) {
  const auto info = object.find(key);
  if (info == object.end()) return true;
  const std::string here = where + "." + key;
  if (!info->is_object()) return Refuse(here, "not an object");
  if (!Common(*info, {"KHR_texture_transform"}, here) ||
      !Types(*info, {{"scale", Kind::kNumber}, {"strength", Kind::kNumber}}, here))
    return false;
  uint64_t texCoord = 0;
  if (!Unsigned(*info, "texCoord", texCoord, here)) return false;
  const auto extensions = info->find("extensions");
  const auto transformAt =
      extensions != info->end() ? extensions->find("KHR_texture_transform") : info->end();
  if (extensions != info->end() && transformAt != extensions->end()) {
    const Json& transform = *transformAt;
    const std::string transformWhere = here + ".extensions.KHR_texture_transform";
    float pair[2];
    if (!Floats(transform, "offset", pair, 2, transformWhere) ||
        !Floats(transform, "scale", pair, 2, transformWhere) ||
        !Types(transform, {{"rotation", Kind::kNumber}, {"texCoord", Kind::kUnsigned}}, transformWhere))
      return false;
  }
  const auto index = info->find("index");
  if (index == info->end()) return Refuse(here, "no index");
  uint32_t t = 0;
  const Json* texture = Element("textures", textures_, *index, here, t);
  if (texture == nullptr) return false;
  const std::string textureWhere = "textures[" + std::to_string(t) + "]";
  if (!Common(*texture, {}, textureWhere)) return false;
  if (const auto sampler = texture->find("sampler"); sampler != texture->end()) {
    uint32_t s = 0;
    const Json* found = Element("samplers", samplers_, *sampler, textureWhere, s);
    const std::string samplerWhere = "samplers[" + std::to_string(s) + "]";
    if (found == nullptr || !Common(*found, {}, samplerWhere) ||
        !Types(*found,
               {{"magFilter", Kind::kUnsigned},
                {"minFilter", Kind::kUnsigned},
                {"wrapS", Kind::kUnsigned},
                {"wrapT", Kind::kUnsigned}},
               samplerWhere))
      return false;
  }
  const auto source = texture->find("source");
  if (source == texture->end()) return true;  // a texture without an image fills no slot
  return Image(*source, textureWhere, out);
}

bool DocumentReader::Material(const Json& reference, const std::string& where, uint32_t& out) {
  uint32_t i = 0;
  const Json* material = Element("materials", materials_, reference, where, i);
  if (material == nullptr) return false;
  if (materialIndex_[i] >= 0) {
    out = static_cast<uint32_t>(materialIndex_[i]);
    return true;
  }
  const std::string here = "materials[" + std::to_string(i) + "]";
  if (!Common(*material, {"KHR_materials_unlit"}, here)) return false;
  GltfMaterial m;
  if (!Text(*material, "name", m.name, here)) return false;
  // Textures are reached in the order assimp reads them, which numbers the embedded images.
  GltfTextureRef unused;
  float metallic = 1.0f;
  if (const auto pbr = material->find("pbrMetallicRoughness"); pbr != material->end()) {
    const std::string pbrWhere = here + ".pbrMetallicRoughness";
    if (!pbr->is_object()) return Refuse(pbrWhere, "not an object");
    if (!Common(*pbr, {}, pbrWhere) || !Floats(*pbr, "baseColorFactor", m.baseColor, 4, pbrWhere) ||
        !TextureInfo(*pbr, "baseColorTexture", pbrWhere, m.baseColorTexture) ||
        !TextureInfo(*pbr, "metallicRoughnessTexture", pbrWhere, unused) ||
        !Float(*pbr, "metallicFactor", metallic, pbrWhere) ||
        !Float(*pbr, "roughnessFactor", m.roughness, pbrWhere))
      return false;
  }
  float unusedFloat = 0.0f;
  std::string alphaMode;
  if (!TextureInfo(*material, "normalTexture", here, m.normalTexture) ||
      !TextureInfo(*material, "occlusionTexture", here, unused) ||
      !TextureInfo(*material, "emissiveTexture", here, m.emissiveTexture) ||
      !Floats(*material, "emissiveFactor", m.emissive, 3, here) ||
      !Bool(*material, "doubleSided", m.doubleSided, here) ||
      !Text(*material, "alphaMode", alphaMode, here) || !Float(*material, "alphaCutoff", unusedFloat, here))
    return false;
  out = static_cast<uint32_t>(out_.materials.size());
  materialIndex_[i] = static_cast<int32_t>(out);
  out_.materials.push_back(std::move(m));
  return true;
}

bool DocumentReader::Mesh(const Json& reference, const std::string& where, int32_t& out) {
  uint32_t i = 0;
  const Json* mesh = Element("meshes", meshes_, reference, where, i);
  if (mesh == nullptr) return false;
  out = static_cast<int32_t>(i);
  if (meshRead_[i] != 0) return true;
  meshRead_[i] = 1;
  const std::string here = "meshes[" + std::to_string(i) + "]";
  if (!Common(*mesh, {}, here) || !Types(*mesh, {{"weights", Kind::kNumbers}}, here)) return false;
  const auto primitives = mesh->find("primitives");
  if (primitives == mesh->end()) return true;
  if (!primitives->is_array()) return Refuse(here, "primitives is not an array");
  std::vector<GltfPrimitive>& list = out_.meshes[i];
  list.reserve(primitives->size());
  for (size_t p = 0; p < primitives->size(); ++p) {
    const Json& primitive = (*primitives)[p];
    const std::string at = here + ".primitives[" + std::to_string(p) + "]";
    if (!primitive.is_object()) return Refuse(at, "not an object");
    if (!Common(primitive, {}, at)) return false;
    if (primitive.contains("targets")) return Refuse(at, "morph targets");
    uint64_t mode = 4;
    if (!Unsigned(primitive, "mode", mode, at)) return false;
    // Points and lines (modes 0 to 3) are read only to be counted and dropped, as the export
    // keeps triangles only; strips and fans are left to assimp.
    if (mode > 4)
      return Refuse(at, "mode " + std::to_string(mode) + " (triangle strips and fans are not read here)");
    const auto attributes = primitive.find("attributes");
    if (attributes == primitive.end() || !attributes->is_object()) return Refuse(at, "no attributes");
    GltfPrimitive built;
    bool hasPositions = false, hasNormals = false;
    unsigned texcoordSets = 0;  // bit n: TEXCOORD_n
    std::vector<GltfAccessor> others;
    for (const auto& attribute : attributes->items()) {
      const std::string& name = attribute.key();
      const std::string attributeWhere = at + ".attributes." + name;
      GltfAccessor accessor;
      if (name == "POSITION") {
        if (!Accessor(attribute.value(), attributeWhere, 3, false, built.positions)) return false;
        hasPositions = true;
      } else if (name == "NORMAL") {
        if (!Accessor(attribute.value(), attributeWhere, 3, false, built.normals)) return false;
        hasNormals = true;
      } else if (name == "TEXCOORD_0") {
        if (!Accessor(attribute.value(), attributeWhere, 2, false, accessor)) return false;
        built.uvs = accessor;
        texcoordSets |= 1u;
      } else if (name == "COLOR_0") {
        uint32_t a = 0;
        if (Element("accessors", accessors_, attribute.value(), attributeWhere, a) == nullptr) return false;
        const auto type = (*accessors_)[a].find("type");
        const bool four =
            type != (*accessors_)[a].end() && type->is_string() && type->get<std::string>() == "VEC4";
        const int components = four ? 4 : 3;
        if (!Accessor(attribute.value(), attributeWhere, components, false, accessor)) return false;
        built.colors = accessor;
      } else if (name.size() == 10 && name.compare(0, 9, "TEXCOORD_") == 0 && name[9] >= '1' &&
                 name[9] <= '7') {
        if (!Accessor(attribute.value(), attributeWhere, 2, false, accessor)) return false;
        others.push_back(accessor);
        texcoordSets |= 1u << (name[9] - '0');
      } else if (name == "TANGENT") {
        if (!Accessor(attribute.value(), attributeWhere, 4, false, accessor)) return false;
        others.push_back(accessor);
      } else {
        return Refuse(attributeWhere, "attribute not read here");
      }
    }
    if (!hasPositions) return Refuse(at, "no POSITION");
    // assimp's reader refuses sets that do not run from 0 without a gap.
    if ((texcoordSets & (texcoordSets + 1)) != 0) return Refuse(at, "texture coordinate sets with a gap");
    if (!hasNormals && mode == 4) return Refuse(at, "no NORMAL (assimp makes smooth normals for it)");
    const uint32_t vertices = built.positions.count;
    bool same = (!hasNormals || built.normals.count == vertices) &&
                (!built.uvs || built.uvs->count == vertices) &&
                (!built.colors || built.colors->count == vertices);
    for (const GltfAccessor& other : others) same = same && other.count == vertices;
    if (!same) return Refuse(at, "attributes of different counts");
    if (const auto indices = primitive.find("indices"); indices != primitive.end()) {
      GltfAccessor accessor;
      if (!Accessor(*indices, at + ".indices", 1, true, accessor)) return false;
      built.indices = accessor;
    }
    const uint32_t corners = built.indices ? built.indices->count : vertices;
    built.mode = static_cast<uint32_t>(mode);
    // The faces assimp's reader makes of the corners: triangles, points, lines, a loop, a strip.
    static const uint32_t kCornersPerFace[] = {1, 2, 1, 1, 3};
    built.faces = mode == 2 ? corners : mode == 3 ? corners - 1 : corners / kCornersPerFace[mode];
    if (corners % kCornersPerFace[mode] != 0 || (mode >= 1 && mode <= 3 && corners < 2))
      return Refuse(at,
                    std::to_string(corners) + " corners, not whole faces of mode " + std::to_string(mode));
    built.material = kDefaultMaterial;
    if (const auto material = primitive.find("material"); material != primitive.end()) {
      if (!Material(*material, at, built.material)) return false;
    }
    list.push_back(built);
  }
  return true;
}

bool DocumentReader::Camera(const Json& reference, const std::string& where, int32_t& out) {
  uint32_t i = 0;
  const Json* camera = Element("cameras", cameras_, reference, where, i);
  if (camera == nullptr) return false;
  if (cameraIndex_[i] >= 0) {
    out = cameraIndex_[i];
    return true;
  }
  const std::string here = "cameras[" + std::to_string(i) + "]";
  std::string type;
  if (!Text(*camera, "type", type, here)) return false;
  if (type != "perspective" && type != "orthographic") return Refuse(here, "type '" + type + "'");
  const auto parameters = camera->find(type);
  if (parameters == camera->end() || !parameters->is_object())
    return Refuse(here, "no " + type + " parameters");
  if (!Common(*camera, {}, here) || !Types(*parameters,
                                           {{"aspectRatio", Kind::kNumber},
                                            {"yfov", Kind::kNumber},
                                            {"zfar", Kind::kNumber},
                                            {"znear", Kind::kNumber},
                                            {"xmag", Kind::kNumber},
                                            {"ymag", Kind::kNumber}},
                                           here + "." + type))
    return false;
  out = cameraIndex_[i] = static_cast<int32_t>(out_.cameras++);
  return true;
}

bool DocumentReader::Light(const Json& reference, const std::string& where, int32_t& out, bool& hasRange,
                           float& range) {
  uint32_t i = 0;
  const Json* light = Element("lights", lights_, reference, where, i);
  if (light == nullptr) return false;
  if (lightIndex_[i] < 0) {
    const std::string here = "KHR_lights_punctual.lights[" + std::to_string(i) + "]";
    GltfLight l;
    if (!Common(*light, {}, here)) return false;
    std::string type;
    if (!Text(*light, "type", type, here)) return false;
    if (type == "directional") {
      l.type = GltfLightType::kDirectional;
    } else if (type == "point") {
      l.type = GltfLightType::kPoint;
    } else if (type == "spot") {
      l.type = GltfLightType::kSpot;
      const auto spot = light->find("spot");
      if (spot == light->end() || !spot->is_object()) return Refuse(here, "a spot light without spot");
      if (!Types(*spot, {{"innerConeAngle", Kind::kNumber}, {"outerConeAngle", Kind::kNumber}},
                 here + ".spot"))
        return false;
    } else {
      return Refuse(here, "type '" + type + "'");
    }
    float lightRange = 0.0f;
    if (!Floats(*light, "color", l.color, 3, here) || !Float(*light, "intensity", l.intensity, here) ||
        !Float(*light, "range", lightRange, here))
      return false;
    lightIndex_[i] = static_cast<int32_t>(out_.lights.size());
    lightHasRange_[i] = light->contains("range");
    lightRange_[i] = lightRange;
    out_.lights.push_back(l);
  }
  out = lightIndex_[i];
  hasRange = lightHasRange_[i];
  range = lightRange_[i];
  return true;
}

// The node's extras as assimp's metadata of it gives them to user text (NodeUserText): members
// in the file's order, "key = value" joined by "\r\n", numbers as assimp keeps them, objects and
// arrays left out, a light's range last; a string member "UserProperties" alone when the first
// member of that name is one.
bool DocumentReader::UserText(const Json& node, bool hasRange, float range, const std::string& where,
                              std::string& out) {
  out.clear();
  const auto extras = node.find("extras");
  if (extras != node.end() && extras->is_object()) {
    bool sawUserProperties = false;
    for (const auto& item : extras->items()) {
      const std::string& key = item.key();
      const Json& value = item.value();
      if (!CheckText(key, where, "an extras key")) return false;
      if (key.empty() || value.is_null()) continue;
      if (key == "UserProperties" && !sawUserProperties) {
        sawUserProperties = true;
        if (value.is_string()) {
          out = value.get<std::string>();
          return CheckText(out, where, "UserProperties");
        }
      }
    }
    for (const auto& item : extras->items()) {
      const std::string& key = item.key();
      const Json& value = item.value();
      std::string text;
      if (key.empty()) continue;
      if (value.is_string()) {
        text = value.get<std::string>();
        if (!CheckText(text, where, "an extras value")) return false;
      } else if (value.is_boolean()) {
        text = value.get<bool>() ? "true" : "false";
      } else if (value.is_number_unsigned()) {
        text = std::to_string(value.get<uint64_t>());
      } else if (value.is_number_integer()) {
        text = std::to_string(static_cast<int32_t>(value.get<int64_t>()));
      } else if (value.is_number_float()) {
        text = FormatMetadataFloat(value.get<double>());
      } else {
        continue;  // null adds nothing; objects and arrays are nested metadata
      }
      if (!out.empty()) out += "\r\n";
      out += key + " = " + text;
    }
  }
  if (hasRange) {
    if (!out.empty()) out += "\r\n";
    out += "PBR_LightRange = " + FormatMetadataFloat(range);
  }
  return true;
}

bool DocumentReader::Node(const Json& reference, const std::string& where, int depth, uint32_t& out) {
  constexpr int kMaxNodeDepth = 200;
  const Json* node = Element("nodes", nodes_, reference, where, out);
  if (node == nullptr) return false;
  const uint32_t i = out;
  if (nodeState_[i] == State::kRead) return true;
  const std::string here = "nodes[" + std::to_string(i) + "]";
  if (nodeState_[i] == State::kReading) return Refuse(here, "a node that contains itself");
  if (depth > kMaxNodeDepth) return Refuse(here, "nodes nested deeper than " + std::to_string(kMaxNodeDepth));
  nodeState_[i] = State::kReading;
  if (!Common(*node, {"KHR_lights_punctual"}, here)) return false;
  if (node->contains("skin") || node->contains("weights")) return Refuse(here, "a skin or morph weights");
  GltfNode n;
  if (!Text(*node, "name", n.name, here)) return false;
  if (n.name.empty()) n.name = NodeId(i);
  if (const auto children = node->find("children"); children != node->end()) {
    if (!children->is_array()) return Refuse(here, "children is not an array");
    n.children.reserve(children->size());
    for (const Json& child : *children) {
      uint32_t c = 0;
      if (!Node(child, here, depth + 1, c)) return false;
      n.children.push_back(c);
    }
  }
  // The transform is built as assimp builds it, product by product, so that its floats are the same.
  if (node->contains("matrix")) {
    float m[16];
    if (!Floats(*node, "matrix", m, 16, here)) return false;
    n.local = aiMatrix4x4(m[0], m[4], m[8], m[12], m[1], m[5], m[9], m[13], m[2], m[6], m[10], m[14], m[3],
                          m[7], m[11], m[15]);
  } else {
    float t[3] = {0, 0, 0}, r[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
    if (!Floats(*node, "translation", t, 3, here) || !Floats(*node, "rotation", r, 4, here) ||
        !Floats(*node, "scale", s, 3, here))
      return false;
    if (node->contains("translation")) {
      n.translation = aiVector3D(t[0], t[1], t[2]);
      aiMatrix4x4 step;
      aiMatrix4x4::Translation(*n.translation, step);
      n.local = n.local * step;
    }
    if (node->contains("rotation")) {
      const aiQuaternion q(r[3], r[0], r[1], r[2]);
      n.local = n.local * aiMatrix4x4(q.GetMatrix());
    }
    if (node->contains("scale")) {
      aiMatrix4x4 step;
      aiMatrix4x4::Scaling(aiVector3D(s[0], s[1], s[2]), step);
      n.local = n.local * step;
    }
  }
  if (const auto mesh = node->find("mesh"); mesh != node->end()) {
    if (!Mesh(*mesh, here, n.mesh)) return false;
  }
  if (const auto camera = node->find("camera"); camera != node->end()) {
    if (!Camera(*camera, here, n.camera)) return false;
  }
  bool hasRange = false;
  float range = 0.0f;
  if (const auto extensions = node->find("extensions"); extensions != node->end()) {
    const auto punctual = extensions->find("KHR_lights_punctual");
    if (punctual != extensions->end()) {
      if (!lightsUsed_) return Refuse(here, "a light of an extension the file does not list as used");
      if (!punctual->is_object() || !punctual->contains("light"))
        return Refuse(here, "a light without its index");
      if (!Light((*punctual)["light"], here, n.light, hasRange, range)) return false;
    }
  }
  if (!UserText(*node, hasRange, range, here, n.userText)) return false;
  out_.nodes[i] = std::move(n);
  nodeState_[i] = State::kRead;
  return true;
}

bool DocumentReader::Read() {
  const auto asset = root_.find("asset");
  if (asset == root_.end() || !asset->is_object()) return Refuse("asset", "missing");
  if (!Types(*asset,
             {{"version", Kind::kString},
              {"generator", Kind::kString},
              {"copyright", Kind::kString},
              {"minVersion", Kind::kString},
              {"extras", Kind::kObject}},
             "asset"))
    return false;
  const auto version = asset->find("version");
  if (version == asset->end() || !version->is_string() ||
      version->get<std::string>().compare(0, 2, "2.") != 0)
    return Refuse("asset.version", "not glTF 2");
  for (const char* key : {"extensionsUsed", "extensionsRequired"}) {
    const auto list = root_.find(key);
    if (list == root_.end()) continue;
    if (!list->is_array()) return Refuse(key, "not an array");
    for (const Json& name : *list) {
      if (!name.is_string() || kKnownExtensions.count(name.get<std::string>()) == 0)
        return Refuse(key, "extension " + name.dump() + " is not read here");
      if (std::string(key) == "extensionsUsed" && name.get<std::string>() == "KHR_lights_punctual")
        lightsUsed_ = true;
    }
  }
  for (const char* key : {"skins", "animations"}) {
    const auto list = root_.find(key);
    if (list != root_.end() && (!list->is_array() || !list->empty())) return Refuse(key, "present");
  }
  if (!OnlyExtensions(root_, {"KHR_lights_punctual"}, "(document)")) return false;
  buffers_ = TopArray("buffers");
  views_ = TopArray("bufferViews");
  accessors_ = TopArray("accessors");
  images_ = TopArray("images");
  textures_ = TopArray("textures");
  samplers_ = TopArray("samplers");
  materials_ = TopArray("materials");
  meshes_ = TopArray("meshes");
  nodes_ = TopArray("nodes");
  cameras_ = TopArray("cameras");
  if (const auto extensions = root_.find("extensions"); extensions != root_.end()) {
    const auto punctual = extensions->find("KHR_lights_punctual");
    if (punctual != extensions->end() && punctual->is_object()) {
      const auto lights = punctual->find("lights");
      if (lights != punctual->end() && lights->is_array()) lights_ = &*lights;
    }
  }
  const auto size = [](const Json* array) { return array == nullptr ? size_t{0} : array->size(); };
  bufferData_.resize(size(buffers_));
  imageRefs_.resize(size(images_));
  materialIndex_.assign(size(materials_), -1);
  meshRead_.assign(size(meshes_), 0);
  cameraIndex_.assign(size(cameras_), -1);
  lightIndex_.assign(size(lights_), -1);
  lightHasRange_.assign(size(lights_), false);
  lightRange_.assign(size(lights_), 0.0f);
  nodeState_.assign(size(nodes_), State::kUnread);
  out_.nodes.resize(size(nodes_));
  out_.meshes.resize(size(meshes_));

  uint64_t sceneIndex = 0;
  if (!Unsigned(root_, "scene", sceneIndex, "scene")) return false;
  const Json* scenes = TopArray("scenes");
  if (scenes == nullptr || sceneIndex >= scenes->size() || !(*scenes)[sceneIndex].is_object())
    return Refuse("scene", "no scene " + std::to_string(sceneIndex));
  const Json& scene = (*scenes)[sceneIndex];
  const std::string here = "scenes[" + std::to_string(sceneIndex) + "]";
  if (!Common(scene, {}, here)) return false;
  if (const auto roots = scene.find("nodes"); roots != scene.end()) {
    if (!roots->is_array()) return Refuse(here, "nodes is not an array");
    for (const Json& root : *roots) {
      uint32_t r = 0;
      if (!Node(root, here, 0, r)) return false;
      out_.roots.push_back(r);
    }
  }
  // The default material, last, for the primitives without one.
  const auto defaultMaterial = static_cast<uint32_t>(out_.materials.size());
  out_.materials.emplace_back();
  for (auto& primitives : out_.meshes) {
    for (GltfPrimitive& primitive : primitives)
      if (primitive.material == kDefaultMaterial) primitive.material = defaultMaterial;
  }
  // A texture file named like an embedded image would be taken for it by assimp.
  if (out_.embeddedImages > 0) {
    for (const GltfMaterial& m : out_.materials) {
      for (const GltfTextureRef* ref : {&m.baseColorTexture, &m.emissiveTexture, &m.normalTexture}) {
        if (ref->present && !ref->embedded) return Refuse("images", "texture files beside embedded images");
      }
    }
  }
  return true;
}

}  // namespace

bool ReadGltfDocument(const GltfContainer& container, const GltfBufferLoader& loadBuffer, GltfDocument& out,
                      GltfRefusal& refusal) {
  out = GltfDocument();
  Json root;
  if (!ParseDocument(container.json, root, refusal.reason)) return false;
  DocumentReader reader(root, container, loadBuffer, out, refusal);
  return reader.Read();
}

}  // namespace cvm::import
