// assimp lights, cameras and node metadata as host objects and user text.
#pragma once

#include <assimp/scene.h>

#include <string>

#include "standin/scene_model.h"

namespace cvm::import {

// Host light type codes (the modelling application's own): omni, target spot, directional,
// free spot, target direct. Sources have no targets, so 1 and 4 are never made.
constexpr int32_t kOmniLight = 0;
constexpr int32_t kDirectionalLight = 2;
constexpr int32_t kFreeSpotLight = 3;

// A source light as a host light: point, ambient, area and undefined lights are omni lights,
// spots free spots, directional lights directional. The source's colour carries its strength:
// a colour whose largest component m exceeds 1 becomes colour / m with intensity m, any other
// colour is kept with intensity 1. Sets wasApproximated for ambient and area lights.
standin::LightModel ConvertLight(const aiLight& light, bool& wasApproximated);

// The light's own frame inside its node, in source axes: origin at the light's position, -Z
// along its direction and Y along its up vector (the host's lights shine down their -Z).
aiMatrix4x4 LightFrame(const aiLight& light);

// The same for a camera: -Z along its look-at direction, Y up.
aiMatrix4x4 CameraFrame(const aiCamera& camera);

// The node's metadata as user text: "key = value" lines joined by "\r\n" (the host's own line
// ends), in the metadata's order. When the metadata holds "UserProperties" (the modelling
// application's own user-defined text, kept by FBX files) that text alone is used. Values of
// vector type are written "x y z"; nested metadata (glTF extensions) is left out; empty for a
// node without metadata.
std::string NodeUserText(const aiNode& node);

// A floating-point metadata value as user text writes it: "%.9g", enough to read back a float.
std::string FormatMetadataFloat(double value);

}  // namespace cvm::import
