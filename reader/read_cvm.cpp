#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "reader/read_sections.h"

namespace cvm::reader {

bool ReadCvm(const uint8_t* data, size_t size, CvmFile& file, ReadError& error) {
  file = CvmFile{};
  error = ReadError{};
  ByteCursor c;
  c.data = data;
  c.size = data == nullptr ? 0 : size;
  c.error = &error;

  if (!ReadHeader(c, file.header)) return false;
  if (!ReadMaterialSection(c, file.textures, file.materials)) return false;

  // The header's counts were checked against the file size, so these vectors stay bounded.
  file.meshes.resize(file.header.meshCount);
  for (size_t i = 0; i < file.meshes.size(); ++i) {
    c.context = "mesh " + std::to_string(i);
    if (!ReadMeshRecord(c, file.materials.size(), file.meshes[i])) return false;
  }
  file.lights.resize(file.header.lightCount);
  for (size_t i = 0; i < file.lights.size(); ++i) {
    c.context = "light " + std::to_string(i);
    if (!ReadLightRecord(c, file.lights[i])) return false;
  }
  file.helpers.resize(file.header.helperCount);
  for (size_t i = 0; i < file.helpers.size(); ++i) {
    c.context = "helper " + std::to_string(i);
    if (!ReadHelperRecord(c, file.helpers[i])) return false;
  }
  file.splines.resize(file.header.splineCount);
  for (size_t i = 0; i < file.splines.size(); ++i) {
    c.context = "spline record " + std::to_string(i);
    if (!ReadSplineRecord(c, file.splines[i])) return false;
  }

  c.context.clear();
  if (Remaining(c) != 0) {
    return Fail(c, c.offset,
                std::to_string(Remaining(c)) + " bytes after the last record; the file must end there");
  }
  return true;
}

bool ReadCvmFile(const std::string& path, CvmFile& file, ReadError& error) {
  auto ioError = [&](const std::string& what) {
    error = ReadError{};
    error.kind = ReadErrorKind::Io;
    error.message = what;
    return false;
  };
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) return ioError(std::string("cannot open: ") + std::strerror(errno));

  std::vector<uint8_t> bytes;
  uint8_t chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
    // A device or pipe that never ends must not take all memory.
    if (bytes.size() + got > kMaxCvmFileBytes) {
      std::fclose(stream);
      return ioError("cannot read: the input is larger than " + std::to_string(kMaxCvmFileBytes) +
                     " bytes, the most this reader takes");
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  const bool failed = std::ferror(stream) != 0;
  const int readErrno = errno;
  std::fclose(stream);
  if (failed) return ioError(std::string("cannot read: ") + std::strerror(readErrno));
  return ReadCvm(bytes.data(), bytes.size(), file, error);
}

std::string FormatReadError(const ReadError& error) {
  if (error.kind == ReadErrorKind::Io) return error.message;
  return "offset " + std::to_string(error.offset) + ": " + error.message;
}

}  // namespace cvm::reader
