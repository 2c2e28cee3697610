// Reader of Corvane Model (.cvm) files: decodes a whole file into the plain records of
// format/records.h and checks everything a reader can check. Depends on the C++ standard
// library only.
//
//   cvm::reader::CvmFile file;
//   cvm::reader::ReadError error;
//   if (!cvm::reader::ReadCvmFile("box.cvm", file, error))
//     std::fprintf(stderr, "box.cvm: %s\n", cvm::reader::FormatReadError(error).c_str());
//
// Axes: every position, pivot, axis and knot is kept exactly as stored, in the file's y-up
// frame: {x, y, z} are the three floats in file order, that is host x, host z, host y.
// `FileToHostAxes` swaps them back into the modelling host's z-up frame. Encoded normals are
// the exception: their two angle bytes are measured in host axes, and `DecodeNormal` returns
// a host-axes direction. Colours and texture coordinates are never reordered.
//
// References to nothing keep their all-ones value: 0xFFFFFFFF for texture references,
// 0xFFFF for a face group's material index (`kNoTexture`, `kNoMaterial`).
//
// reader/render_mesh.h turns a mesh record into the vertex and index buffers an engine draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/records.h"

namespace cvm::reader {

// The decoded records.
using format::Color16;
using format::CvmEngineSettings;
using format::CvmFaceGroup;
using format::CvmFile;
using format::CvmFrameAnimation;
using format::CvmHeader;
using format::CvmHelper;
using format::CvmLight;
using format::CvmMaterial;
using format::CvmMesh;
using format::CvmSpline;
using format::CvmSplineObject;
using format::CvmTexture;
using format::CvmUvAnimation;
using format::EncodedNormal;
using format::kNoMaterial;
using format::kNoTexture;
using format::kTextureRefSlots;
using format::Triangle;
using format::Vec2;
using format::Vec3;

enum class ReadErrorKind {
  Format,  // the bytes are not a valid file; offset says where
  Io,      // the file could not be opened or read; offset is 0
  Memory,  // memory ran out while reading or decoding; offset is 0
};

struct ReadError {
  uint64_t offset = 0;  // byte offset of the offending field
  std::string message;  // what is wrong and in which record, e.g. "mesh 0: position index 7
                        // out of range (3 positions)"
  ReadErrorKind kind = ReadErrorKind::Format;
};

// Decodes the `size` bytes at `data` (which may be null when size is 0) into `file`. Returns
// true on success. Returns false with `error` set for any input that is not a complete, valid
// file: truncation, a count larger than the bytes left could hold (checked before anything is
// allocated), a string without its 0 byte, an index or reference out of range, a flag other
// than 0/1, a record index not equal to its position, group face counts that do not add up to
// the face count, or bytes after the last spline record. Never reads outside the buffer; memory
// use is bounded by a small multiple of `size`; when even that cannot be had, the result is a
// Memory error, not an exception. `file` is overwritten; on failure it holds whatever was
// decoded before the error.
bool ReadCvm(const uint8_t* data, size_t size, CvmFile& file, ReadError& error);

// The largest input ReadCvmFile takes (1 GiB): a device or pipe that never ends is refused
// instead of filling memory.
constexpr size_t kMaxCvmFileBytes = size_t{1} << 30;

// Reads the whole file at `path` and decodes it with ReadCvm. A regular file is read with one
// read into a buffer of its size, so the bytes take the file's size once; other inputs (a pipe,
// a device) are read in growing blocks. An open or read failure, or an input larger than
// kMaxCvmFileBytes (a regular file is refused before anything is read), gives an Io error
// naming the cause.
bool ReadCvmFile(const std::string& path, CvmFile& file, ReadError& error);

// "offset N: message" for a format error, the bare message for an I/O or memory error.
std::string FormatReadError(const ReadError& error);

// Swaps y and z: turns a stored position, axis or knot into the host's z-up frame, and back.
inline Vec3 FileToHostAxes(const Vec3& v) {
  return {v.x, v.z, v.y};
}

// Unit direction, in host axes, of an encoded normal: polar counts steps of 360/255 degrees
// away from +z, azimuth (a signed byte) steps from +x toward +y. The encoder truncates each
// angle toward zero, so each decoded angle may lie up to one step (about 1.41 degrees) short
// of the original. Polar 128 is the encoder's marker for straight down and decodes to (0,0,-1).
Vec3 DecodeNormal(uint8_t polar, uint8_t azimuth);

}  // namespace cvm::reader
