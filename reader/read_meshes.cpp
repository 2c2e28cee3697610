#include <string>

#include "reader/read_sections.h"

namespace cvm::reader {
namespace {

// The corner indices come before the value count they refer to, so they are read first and
// checked by CheckIndices once the count is known.
bool ReadIndices(ByteCursor& c, uint32_t count, const char* what, std::vector<uint32_t>& out) {
  if (!Need(c, static_cast<uint64_t>(count) * 4, what)) return false;
  out.resize(count);
  const uint8_t* p = c.data + c.offset;
  for (uint32_t i = 0; i < count; ++i) out[i] = LoadU32(p + 4 * static_cast<size_t>(i));
  c.offset += static_cast<size_t>(count) * 4;
  return true;
}

// Every index must address one of `valueCount` values; the error points at the index itself.
bool CheckIndices(ByteCursor& c, size_t indicesOffset, const std::vector<uint32_t>& indices,
                  uint32_t valueCount, const char* what, const char* values) {
  for (size_t i = 0; i < indices.size(); ++i) {
    if (indices[i] >= valueCount) {
      return Fail(c, indicesOffset + 4 * i,
                  std::string(what) + " " + std::to_string(indices[i]) + " out of range (" +
                      std::to_string(valueCount) + " " + values + ")");
    }
  }
  return true;
}

bool ReadPositions(ByteCursor& c, CvmMesh& mesh) {
  const size_t indicesOffset = c.offset;
  if (!ReadIndices(c, mesh.cornerCount, "position indices", mesh.positionIndices)) return false;
  const size_t countOffset = c.offset;
  uint32_t count = 0;
  if (!ReadU32(c, "position count", count) || !CheckCount(c, countOffset, count, 12, "position")) {
    return false;
  }
  mesh.positions.resize(count);
  for (Vec3& position : mesh.positions) ReadVec3(c, "position", position);
  return CheckIndices(c, indicesOffset, mesh.positionIndices, count, "position index", "positions");
}

bool ReadUvs(ByteCursor& c, CvmMesh& mesh) {
  if (!ReadFlag(c, 2, "texture-coordinate flag", mesh.hasUvs)) return false;
  if (!mesh.hasUvs) return true;
  const size_t indicesOffset = c.offset;
  if (!ReadIndices(c, mesh.cornerCount, "texture-coordinate indices", mesh.uvIndices)) return false;
  const size_t countOffset = c.offset;
  uint32_t count = 0;
  if (!ReadU32(c, "texture-coordinate count", count) ||
      !CheckCount(c, countOffset, count, 8, "texture-coordinate")) {
    return false;
  }
  mesh.uvs.resize(count);
  for (Vec2& uv : mesh.uvs) {
    ReadF32(c, "texture coordinate", uv.u);
    ReadF32(c, "texture coordinate", uv.v);
  }
  return CheckIndices(c, indicesOffset, mesh.uvIndices, count, "texture-coordinate index",
                      "texture coordinates");
}

bool ReadNormals(ByteCursor& c, CvmMesh& mesh) {
  if (!ReadFlag(c, 2, "normal flag", mesh.hasNormals)) return false;
  if (!mesh.hasNormals) return true;
  const size_t indicesOffset = c.offset;
  if (!ReadIndices(c, mesh.cornerCount, "normal indices", mesh.normalIndices)) return false;
  const size_t countOffset = c.offset;
  uint32_t count = 0;
  if (!ReadU32(c, "normal count", count) || !CheckCount(c, countOffset, count, 2, "normal")) return false;
  mesh.normals.resize(count);
  for (EncodedNormal& normal : mesh.normals) {
    ReadU8(c, "normal", normal.polar);
    ReadU8(c, "normal", normal.azimuth);
  }
  return CheckIndices(c, indicesOffset, mesh.normalIndices, count, "normal index", "normals");
}

bool ReadColors(ByteCursor& c, CvmMesh& mesh) {
  const size_t countOffset = c.offset;
  uint32_t count = 0;
  if (!ReadU32(c, "colour count", count)) return false;
  // Colours are per corner or absent; no other count is meaningful.
  if (count != 0 && count != mesh.cornerCount) {
    return Fail(c, countOffset,
                "colour count " + std::to_string(count) + " is neither 0 nor the corner count " +
                    std::to_string(mesh.cornerCount));
  }
  if (!CheckCount(c, countOffset, count, 6, "colour")) return false;
  mesh.colors.resize(count);
  for (Color16& color : mesh.colors) ReadColor16(c, "colour", color);
  return true;
}

bool ReadFaceGroups(ByteCursor& c, uint64_t materialCount, CvmMesh& mesh) {
  const size_t faceCountOffset = c.offset;
  if (!ReadU32(c, "face count", mesh.faceCount)) return false;
  if (static_cast<uint64_t>(mesh.faceCount) * 3 != mesh.cornerCount) {
    return Fail(c, faceCountOffset,
                "face count " + std::to_string(mesh.faceCount) + " does not match the corner count " +
                    std::to_string(mesh.cornerCount) + " (3 corners per face)");
  }
  const size_t groupCountOffset = c.offset;
  uint32_t groupCount = 0;
  // A group is at least its material index and face count.
  if (!ReadU32(c, "group count", groupCount) || !CheckCount(c, groupCountOffset, groupCount, 6, "group")) {
    return false;
  }
  mesh.groups.resize(groupCount);
  uint64_t facesSoFar = 0;
  for (size_t g = 0; g < mesh.groups.size(); ++g) {
    CvmFaceGroup& group = mesh.groups[g];
    const std::string groupName = "group " + std::to_string(g);
    const size_t materialOffset = c.offset;
    if (!ReadU16(c, (groupName + " material index").c_str(), group.materialIndex)) return false;
    if (group.materialIndex != kNoMaterial && group.materialIndex >= materialCount) {
      return Fail(c, materialOffset,
                  groupName + ": material index " + std::to_string(group.materialIndex) + " out of range (" +
                      std::to_string(materialCount) + " materials)");
    }
    const size_t countOffset = c.offset;
    uint32_t faces = 0;
    if (!ReadU32(c, (groupName + " face count").c_str(), faces)) return false;
    facesSoFar += faces;
    if (facesSoFar > mesh.faceCount) {
      return Fail(c, countOffset,
                  groupName + ": face count " + std::to_string(faces) + " brings the groups to " +
                      std::to_string(facesSoFar) + " faces, more than the mesh's " +
                      std::to_string(mesh.faceCount));
    }
    const size_t facesOffset = c.offset;
    if (!CheckCount(c, countOffset, faces, 12, (groupName + " face").c_str())) return false;
    group.faces.resize(faces);
    const uint8_t* p = c.data + c.offset;
    for (size_t f = 0; f < group.faces.size(); ++f) {
      for (size_t k = 0; k < 3; ++k) {
        const size_t fieldOffset = 12 * f + 4 * k;
        const uint32_t serial = LoadU32(p + fieldOffset);
        if (serial >= mesh.cornerCount) {
          return Fail(c, facesOffset + fieldOffset,
                      groupName + ": face " + std::to_string(f) + ": corner " + std::to_string(serial) +
                          " out of range (" + std::to_string(mesh.cornerCount) + " corners)");
        }
        group.faces[f][k] = serial;
      }
    }
    c.offset += 12 * group.faces.size();
  }
  if (facesSoFar != mesh.faceCount) {
    return Fail(c, groupCountOffset,
                "the groups hold " + std::to_string(facesSoFar) + " faces, the mesh has " +
                    std::to_string(mesh.faceCount));
  }
  return true;
}

}  // namespace

bool ReadMeshRecord(ByteCursor& c, uint64_t materialCount, CvmMesh& mesh) {
  if (!ReadVec3(c, "pivot", mesh.pivot)) return false;
  const size_t cornerCountOffset = c.offset;
  if (!ReadU32(c, "corner count", mesh.cornerCount)) return false;
  if (!CheckCount(c, cornerCountOffset, mesh.cornerCount, 4, "corner")) return false;
  return ReadPositions(c, mesh) && ReadUvs(c, mesh) && ReadNormals(c, mesh) && ReadColors(c, mesh) &&
         ReadFaceGroups(c, materialCount, mesh);
}

}  // namespace cvm::reader
