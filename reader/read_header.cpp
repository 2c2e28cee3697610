#include <string>

#include "reader/read_sections.h"

namespace cvm::reader {

bool ReadHeader(ByteCursor& c, CvmHeader& header) {
  c.context.clear();
  if (!Need(c, 20, "header")) return false;
  c.context = "header";
  ReadF32(c, "scale", header.scale);

  // Each count is checked together with the ones before it, so the error points at the first
  // count that makes the file too short for its records. A zero count is never to blame: a
  // file too short for its material counts is reported where those counts should be.
  struct CountField {
    const char* what;
    uint32_t* value;
    uint64_t minRecord;
  };
  const CountField counts[] = {{"mesh", &header.meshCount, kMinMeshRecord},
                               {"light", &header.lightCount, kMinLightRecord},
                               {"helper", &header.helperCount, kMinHelperRecord},
                               {"spline", &header.splineCount, kMinSplineRecord}};
  uint64_t needed = kMaterialSectionCounts;
  const uint64_t available = c.size - 20;
  for (const CountField& field : counts) {
    const size_t countOffset = c.offset;
    ReadU32(c, field.what, *field.value);
    needed += *field.value * field.minRecord;
    if (*field.value != 0 && needed > available) {
      return Fail(c, countOffset,
                  std::string(field.what) + " count " + std::to_string(*field.value) +
                      ": the records need at least " + std::to_string(needed) + " bytes after the header, " +
                      std::to_string(available) + " remain");
    }
  }
  return true;
}

}  // namespace cvm::reader
