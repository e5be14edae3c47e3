// Surfaces to and from PNG files through libpng's simplified interface.
#include "display/png/png_file.h"

#include <png.h>

#include <cstdint>
#include <vector>

namespace kestrel {

Result<bool> writePng(const Surface& surface, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(surface.width());
  image.height = static_cast<png_uint_32>(surface.height());
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(static_cast<std::size_t>(surface.width()) *
                              static_cast<std::size_t>(surface.height()) * 3);
  const std::uint32_t* src = surface.pixels();
  for (std::size_t i = 0; i < bytes.size() / 3; ++i) {
    bytes[3 * i] = redOf(src[i]);
    bytes[3 * i + 1] = greenOf(src[i]);
    bytes[3 * i + 2] = blueOf(src[i]);
  }
  if (png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) == 0) {
    Error error{1, "cannot write " + path + ": " + image.message};
    png_image_free(&image);
    return error;
  }
  return true;
}

Result<Surface> readPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
    return Error{1, "cannot read " + path + ": " + image.message};
  image.format = PNG_FORMAT_RGB;
  // Alpha is dropped against black; our own pictures have none.
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  png_color black{0, 0, 0};
  if (png_image_finish_read(&image, &black, bytes.data(), 0, nullptr) == 0) {
    Error error{1, "cannot read " + path + ": " + image.message};
    png_image_free(&image);
    return error;
  }
  Surface surface(static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height));
  std::uint32_t* dst = surface.pixels();
  for (std::size_t i = 0; i < bytes.size() / 3; ++i)
    dst[i] = rgb(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
  return surface;
}

}  // namespace kestrel
