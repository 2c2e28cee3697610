#include <string>

#include "reader/read_sections.h"

namespace cvm::reader {
namespace {

bool ReadUserText(ByteCursor& c, std::optional<std::string>& out) {
  bool present = false;
  if (!ReadFlag(c, 2, "user-text flag", present)) return false;
  if (!present) return true;
  const size_t textOffset = c.offset;
  std::string text;
  if (!ReadString(c, "user text", text)) return false;
  // An empty text is written as flag 0, so a present text is never empty.
  if (text.empty()) return Fail(c, textOffset, "user-text flag is 1 but the text is empty");
  out = std::move(text);
  return true;
}

}  // namespace

bool ReadLightRecord(ByteCursor& c, CvmLight& light) {
  if (!ReadString(c, "name", light.name)) return false;
  const size_t typeOffset = c.offset;
  if (!ReadU16(c, "type code", light.typeCode)) return false;
  if (light.typeCode > 4) {
    return Fail(c, typeOffset, "type code " + std::to_string(light.typeCode) + " is not 0 to 4");
  }
  return ReadVec3(c, "position", light.position) && ReadVec3(c, "X axis", light.axisX) &&
         ReadVec3(c, "Y axis", light.axisY) && ReadVec3(c, "negated Z axis", light.axisZNegated) &&
         ReadVec3(c, "colour", light.color) && ReadF32(c, "intensity", light.intensity) &&
         ReadUserText(c, light.userText);
}

bool ReadHelperRecord(ByteCursor& c, CvmHelper& helper) {
  return ReadString(c, "name", helper.name) && ReadVec3(c, "position", helper.position) &&
         ReadVec3(c, "X axis", helper.axisX) && ReadVec3(c, "Z axis", helper.axisZ) &&
         ReadVec3(c, "Y axis", helper.axisY) && ReadUserText(c, helper.userText);
}

bool ReadSplineRecord(ByteCursor& c, CvmSplineObject& spline) {
  if (!ReadString(c, "name", spline.name) || !ReadVec3(c, "position", spline.position)) return false;
  const size_t countOffset = c.offset;
  uint16_t splineCount = 0;
  // A spline entry is at least its knot count and closed flag.
  if (!ReadU16(c, "spline count", splineCount) || !CheckCount(c, countOffset, splineCount, 3, "spline")) {
    return false;
  }
  spline.splines.resize(splineCount);
  for (size_t s = 0; s < spline.splines.size(); ++s) {
    CvmSpline& entry = spline.splines[s];
    const std::string name = "spline " + std::to_string(s);
    const size_t knotCountOffset = c.offset;
    uint16_t knotCount = 0;
    if (!ReadU16(c, (name + " knot count").c_str(), knotCount) ||
        !ReadFlag(c, 1, (name + " closed flag").c_str(), entry.closed) ||
        !CheckCount(c, knotCountOffset, knotCount, 12, (name + " knot").c_str())) {
      return false;
    }
    entry.knots.resize(knotCount);
    for (Vec3& knot : entry.knots) ReadVec3(c, "knot", knot);
  }
  return ReadUserText(c, spline.userText);
}

}  // namespace cvm::reader
