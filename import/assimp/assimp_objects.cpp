#include "import/assimp_objects.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace cvm::import {
namespace {

// A frame with origin at position, -Z along direction and Y as close to up as it can be.
aiMatrix4x4 FrameLookingAlong(const aiVector3D& position, aiVector3D direction, aiVector3D up) {
  if (direction.SquareLength() == 0.0f) direction = {0.0f, 0.0f, -1.0f};
  const aiVector3D z = -direction.Normalize();
  aiVector3D x = up ^ z;
  if (x.SquareLength() < 1e-12f) {
    // Up is parallel to the direction: any perpendicular will do.
    x = (std::fabs(z.x) < 0.9f ? aiVector3D(1.0f, 0.0f, 0.0f) : aiVector3D(0.0f, 1.0f, 0.0f)) ^ z;
  }
  x.Normalize();
  const aiVector3D y = z ^ x;
  return aiMatrix4x4(x.x, y.x, z.x, position.x, x.y, y.y, z.y, position.y, x.z, y.z, z.z, position.z, 0, 0, 0,
                     1);
}

std::string MetadataValue(const aiMetadataEntry& entry) {
  switch (entry.mType) {
    case AI_BOOL:
      return *static_cast<const bool*>(entry.mData) ? "true" : "false";
    case AI_INT32:
      return std::to_string(*static_cast<const int32_t*>(entry.mData));
    case AI_UINT64:
      return std::to_string(*static_cast<const uint64_t*>(entry.mData));
    case AI_FLOAT:
      return FormatMetadataFloat(*static_cast<const float*>(entry.mData));
    case AI_DOUBLE:
      return FormatMetadataFloat(*static_cast<const double*>(entry.mData));
    case AI_AISTRING:
      return static_cast<const aiString*>(entry.mData)->C_Str();
    case AI_AIVECTOR3D: {
      const auto& v = *static_cast<const aiVector3D*>(entry.mData);
      return FormatMetadataFloat(v.x) + " " + FormatMetadataFloat(v.y) + " " + FormatMetadataFloat(v.z);
    }
    default:
      return std::string();
  }
}

}  // namespace

std::string FormatMetadataFloat(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

standin::LightModel ConvertLight(const aiLight& light, bool& wasApproximated) {
  standin::LightModel out;
  switch (light.mType) {
    case aiLightSource_SPOT:
      out.lightType = kFreeSpotLight;
      break;
    case aiLightSource_DIRECTIONAL:
      out.lightType = kDirectionalLight;
      break;
    default:
      out.lightType = kOmniLight;
      break;
  }
  wasApproximated = light.mType == aiLightSource_AMBIENT || light.mType == aiLightSource_AREA;
  const aiColor3D& c = light.mColorDiffuse;
  const float strongest = std::max({c.r, c.g, c.b});
  if (strongest > 1.0f) {
    out.color = {c.r / strongest, c.g / strongest, c.b / strongest};
    out.intensity = strongest;
  } else {
    out.color = {c.r, c.g, c.b};
    out.intensity = 1.0f;
  }
  return out;
}

aiMatrix4x4 LightFrame(const aiLight& light) {
  const bool hasDirection = light.mType == aiLightSource_SPOT || light.mType == aiLightSource_DIRECTIONAL ||
                            light.mType == aiLightSource_AREA;
  return FrameLookingAlong(light.mPosition, hasDirection ? light.mDirection : aiVector3D(0, 0, -1),
                           light.mUp);
}

aiMatrix4x4 CameraFrame(const aiCamera& camera) {
  return FrameLookingAlong(camera.mPosition, camera.mLookAt, camera.mUp);
}

std::string NodeUserText(const aiNode& node) {
  const aiMetadata* metadata = node.mMetaData;
  if (metadata == nullptr) return std::string();
  aiString userProperties;
  if (metadata->Get("UserProperties", userProperties)) return userProperties.C_Str();
  std::string text;
  for (unsigned i = 0; i < metadata->mNumProperties; ++i) {
    const aiMetadataEntry& entry = metadata->mValues[i];
    if (entry.mType == AI_AIMETADATA || entry.mType >= AI_META_MAX || entry.mData == nullptr) continue;
    if (!text.empty()) text += "\r\n";
    text += std::string(metadata->mKeys[i].C_Str()) + " = " + MetadataValue(entry);
  }
  return text;
}

}  // namespace cvm::import
