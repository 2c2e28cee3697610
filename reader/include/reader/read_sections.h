// The per-section readers behind ReadCvm. Each reads its part of the file at the cursor into
// the given structs, checking every field, and returns false with the cursor's error set at the
// first problem. They rely on the earlier sections having been read (counts, material and
// texture totals) and never allocate more elements than the bytes left could encode.
#pragma once

#include <cstdint>

#include "reader/byte_cursor.h"
#include "reader/cvm_reader.h"

namespace cvm::reader {

// The smallest encoding of each record, used to reject counts the remaining bytes cannot hold.
inline constexpr uint64_t kMinTextureRecord = 1 + 4;                                    // empty name, index
inline constexpr uint64_t kMinMaterialRecord = 1 + 4 + 4 + 40 + 4 * 6 + 2 * 4 + 7 * 4;  // 109
inline constexpr uint64_t kMinMeshRecord = 12 + 4 + 4 + 2 + 2 + 4 + 4 + 4;              // 36
inline constexpr uint64_t kMinLightRecord = 1 + 2 + 4 * 12 + 12 + 4 + 2;                // 69
inline constexpr uint64_t kMinHelperRecord = 1 + 4 * 12 + 2;                            // 51
inline constexpr uint64_t kMinSplineRecord = 1 + 12 + 2 + 2;                            // 17
inline constexpr uint64_t kMaterialSectionCounts = 8;

// The 20-byte header; rejects record counts whose records cannot fit in the rest of the file.
bool ReadHeader(ByteCursor& c, CvmHeader& header);

// Material and texture counts, texture records and material records.
bool ReadMaterialSection(ByteCursor& c, std::vector<CvmTexture>& textures,
                         std::vector<CvmMaterial>& materials);

// One mesh record; group material indices are checked against `materialCount`.
bool ReadMeshRecord(ByteCursor& c, uint64_t materialCount, CvmMesh& mesh);

bool ReadLightRecord(ByteCursor& c, CvmLight& light);
bool ReadHelperRecord(ByteCursor& c, CvmHelper& helper);
bool ReadSplineRecord(ByteCursor& c, CvmSplineObject& spline);

}  // namespace cvm::reader
