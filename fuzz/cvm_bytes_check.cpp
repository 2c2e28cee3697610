#include <exception>
#include <sstream>
#include <string>

#include "format/record_writer.h"
#include "fuzz/input_checks.h"
#include "reader/cvm_reader.h"
#include "tools/cvmdump/cvm_json.h"
#include "tools/cvmdump/summary.h"

namespace cvm::fuzz {
namespace {

using namespace cvm::reader;

// What ReadCvm promises about any file it accepts.
std::string Inconsistency(const CvmFile& file) {
  if (file.meshes.size() != file.header.meshCount || file.lights.size() != file.header.lightCount ||
      file.helpers.size() != file.header.helperCount || file.splines.size() != file.header.splineCount) {
    return "record counts differ from the header";
  }
  for (size_t i = 0; i < file.textures.size(); ++i) {
    if (file.textures[i].index != i) return "texture index differs from its position";
    if (file.textures[i].name.empty()) return "texture with an empty name";
  }
  for (size_t i = 0; i < file.materials.size(); ++i) {
    if (file.materials[i].index != i) return "material index differs from its position";
    for (uint32_t ref : file.materials[i].textureRefs) {
      if (ref != kNoTexture && ref >= file.textures.size()) return "texture reference out of range";
    }
  }
  for (const CvmMesh& mesh : file.meshes) {
    const auto inRange = [&mesh](const std::vector<uint32_t>& indices, size_t count, bool present) {
      if (indices.size() != (present ? mesh.cornerCount : 0)) return false;
      for (uint32_t i : indices)
        if (i >= count) return false;
      return true;
    };
    if (!inRange(mesh.positionIndices, mesh.positions.size(), true)) return "position indices";
    if (!inRange(mesh.uvIndices, mesh.uvs.size(), mesh.hasUvs)) return "texture-coordinate indices";
    if (!inRange(mesh.normalIndices, mesh.normals.size(), mesh.hasNormals)) return "normal indices";
    if (!mesh.colors.empty() && mesh.colors.size() != mesh.cornerCount) return "colour count";
    if (static_cast<uint64_t>(mesh.faceCount) * 3 != mesh.cornerCount) return "face count";
    uint64_t faces = 0;
    for (const CvmFaceGroup& group : mesh.groups) {
      if (group.materialIndex != kNoMaterial && group.materialIndex >= file.materials.size()) {
        return "group material out of range";
      }
      faces += group.faces.size();
      for (const auto& face : group.faces)
        for (uint32_t corner : face)
          if (corner >= mesh.cornerCount) return "face corner out of range";
    }
    if (faces != mesh.faceCount) return "groups do not add up to the face count";
  }
  for (const CvmLight& light : file.lights) {
    if (light.typeCode > 4) return "light type code above 4";
  }
  // An empty user text is written as an absent one, so a present text is never empty.
  const auto emptyText = [](const std::optional<std::string>& text) { return text && text->empty(); };
  for (const CvmLight& light : file.lights)
    if (emptyText(light.userText)) return "light with a present but empty user text";
  for (const CvmHelper& helper : file.helpers)
    if (emptyText(helper.userText)) return "helper with a present but empty user text";
  for (const CvmSplineObject& spline : file.splines)
    if (emptyText(spline.userText)) return "spline record with a present but empty user text";
  return std::string();
}

// The decoding checks; `file` is left holding the decoded file when they pass.
std::string CheckDecoding(const uint8_t* data, size_t size, CvmFile& file, bool& accepted) {
  ReadError error;
  accepted = ReadCvm(data, size, file, error);
  if (!accepted) {
    if (error.kind != ReadErrorKind::Format)
      return "refused with an error that is not about the bytes: " + error.message;
    if (error.message.empty()) return "refused without a message";
    if (error.offset > size) return "error offset past the end: " + FormatReadError(error);
    return std::string();
  }
  const std::string wrong = Inconsistency(file);
  if (!wrong.empty()) return "accepted an inconsistent file: " + wrong;
  if (format::EncodeCvm(file) != std::vector<uint8_t>(data, data + size)) {
    return "accepted bytes that do not encode back to themselves";
  }
  return std::string();
}

}  // namespace

std::string CheckCvmDecoding(const uint8_t* data, size_t size) {
  CvmFile file;
  bool accepted = false;
  return CheckDecoding(data, size, file, accepted);
}

std::string CheckCvmBytes(const uint8_t* data, size_t size) {
  CvmFile file;
  bool accepted = false;
  const std::string problem = CheckDecoding(data, size, file, accepted);
  if (!problem.empty() || !accepted) return problem;
  // cvmdump prints whatever the reader accepts; neither form may fail on odd names or values.
  try {
    std::ostringstream streamed;
    WriteCvmJson(file, streamed);
    if (streamed.str() != CvmToJson(file).dump(2)) return "cvmdump --json streamed other text than the tree";
    (void)FormatSummary(file);
  } catch (const std::exception& e) {
    return std::string("cvmdump's output of an accepted file threw: ") + e.what();
  }
  return std::string();
}

}  // namespace cvm::fuzz
