// Surfaces to and from PNG files (libpng), for the tools and for tests that keep pictures.
#pragma once

#include <string>

#include "base/result.h"
#include "display/surface.h"

namespace kestrel {

// Writes the surface 1:1 as an 8-bit RGB PNG. The error text names the file and the reason.
Result<bool> writePng(const Surface& surface, const std::string& path);
// Reads an 8-bit RGB or RGBA PNG into a surface (alpha ignored).
Result<Surface> readPng(const std::string& path);

}  // namespace kestrel
