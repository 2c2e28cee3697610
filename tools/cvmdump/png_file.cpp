#include <png.h>

#include <csetjmp>
#include <exception>
#include <vector>

#include "output/atomic_file_target.h"
#include "tools/cvmdump/render_scene.h"

namespace cvm::render {
namespace {

// What libpng's callbacks need: the bytes so far and the first problem.
struct PngOutput {
  std::vector<uint8_t>* bytes = nullptr;
  std::string error;
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* out = static_cast<PngOutput*>(png_get_error_ptr(png));
  if (out->error.empty()) out->error = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
  try {
    out->bytes->insert(out->bytes->end(), data, data + size);
  } catch (const std::exception& e) {
    png_error(png, e.what());
  }
}

void OnPngFlush(png_structp) {}

// Runs libpng on rows; kept free of objects with destructors, which its longjmp would skip.
bool RunPng(const Image& image, png_bytep* rows, PngOutput& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, OnPngError, OnPngWarning);
  if (png == nullptr) {
    out.error = "cannot start libpng";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info == nullptr ? nullptr : &info);
    if (out.error.empty()) out.error = "cannot start libpng";
    return false;
  }
  png_set_write_fn(png, &out, OnPngWrite, OnPngFlush);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // One filter and one compression level, not libpng's choices, which may change between its
  // versions: the bytes follow from the pixels alone.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool EncodePng(const Image& image, std::vector<uint8_t>& png, std::string& error) {
  png.clear();
  if (image.width == 0 || image.height == 0 || image.rgb.size() != size_t{image.width} * image.height * 3) {
    error = "no picture to encode";
    return false;
  }
  std::vector<png_bytep> rows(image.height);
  for (uint32_t y = 0; y < image.height; ++y)
    rows[y] = const_cast<png_bytep>(image.rgb.data() + size_t{y} * image.width * 3);
  PngOutput out;
  out.bytes = &png;
  if (RunPng(image, rows.data(), out)) return true;
  png.clear();
  error = "cannot encode the PNG: " + out.error;
  return false;
}

bool WritePngFile(const std::string& path, const Image& image, std::string& error) {
  std::vector<uint8_t> png;
  if (!EncodePng(image, png, error)) {
    error = path + ": " + error;
    return false;
  }
  return WriteBytesAtomically(path, png.data(), png.size(), error);
}

}  // namespace cvm::render
