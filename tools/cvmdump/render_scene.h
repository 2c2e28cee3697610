// Pictures of a decoded file as the engine gets it, for people and for comparisons in CI.
//
// The model is drawn in the file's y-up frame, taken as the engine takes it: x to the right, y
// up and z away from a viewer of the front, so that nothing is mirrored. Meshes go through
// reader/render_mesh.h and are placed at their pivots; each face group takes its material's
// diffuse colour (a fixed palette for a group without a material), shaded by one light from
// the upper left of the viewer, corner by corner from the decoded normals, face by face from
// the winding where the record has no normals. Back faces are drawn too, so a normal pointing
// away shows as a dark face. Splines are lines between their knots, lights small yellow
// diamonds, helpers small green crosses, drawn over the model.
//
// The view is orthographic and framed to the bounds of the meshes and splines (of the lights
// and helpers when there are neither), a twentieth of the picture free on each side. Rendering
// is in software with a depth buffer and two by two samples per pixel; past the projection,
// done in double precision with + - * / and sqrt only, everything is integer, so a file gives
// the same pixels on every run and every machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reader/cvm_reader.h"

namespace cvm::render {

enum class View {
  ThreeQuarter,  // from the front, the right and above: turned 45 degrees, 30 degrees down
  Front,         // looking along +z
  Top,           // looking down -y, +z up in the picture
};

// "three-quarter", "front" or "top"; nullopt for any other name.
std::optional<View> ViewNamed(const std::string& name);
// The names ViewNamed takes, for messages: "three-quarter, front, top".
extern const char* const kViewNames;

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;  // 3 bytes per pixel, rows from the top, each row left to right
};

constexpr uint32_t kMaxImageSide = 2048;
constexpr uint32_t kDefaultWidth = 640;
constexpr uint32_t kDefaultHeight = 480;

// The background every pixel without a model has.
constexpr uint8_t kBackground[3] = {44, 48, 56};

// The picture of file, width by height pixels (each 1 to kMaxImageSide; other sizes give an
// empty Image). A file with nothing to draw gives the background alone. Records as ReadCvm
// gives them; values that are not finite are left out.
Image RenderCvm(const reader::CvmFile& file, uint32_t width, uint32_t height, View view);

// The picture as a PNG file in memory: 8-bit RGB, fixed compression and filter, no time or
// text, so the same image gives the same bytes. Returns false with error set if libpng fails.
bool EncodePng(const Image& image, std::vector<uint8_t>& png, std::string& error);

// Encodes image and writes it to path atomically: on failure error names the path and the
// cause, and nothing at path has changed.
bool WritePngFile(const std::string& path, const Image& image, std::string& error);

}  // namespace cvm::render
