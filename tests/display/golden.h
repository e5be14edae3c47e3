// Golden pictures: a whole display compared exactly with a PNG in tests/golden/. On a mismatch
// (or a missing picture) the actual picture and a difference picture are left in
// $KESTREL_TEST_OUTPUT/golden/ for a person to look at; KESTREL_UPDATE_GOLDEN=1 rewrites the
// golden picture instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "display/png/png_file.h"
#include "display/surface.h"

namespace kestrel::testing {

inline std::filesystem::path goldenOutputDir() {
  const char* out = std::getenv("KESTREL_TEST_OUTPUT");
  std::filesystem::path dir = out && *out ? out : std::filesystem::temp_directory_path();
  dir /= "golden";
  std::filesystem::create_directories(dir);
  return dir;
}

// Differing pixels red on a dimmed copy of the golden picture; sizes that differ give the
// actual picture's size with everything outside the overlap red.
inline Surface goldenDifference(const Surface& actual, const Surface* golden) {
  Surface diff(actual.width(), actual.height());
  for (std::int32_t y = 0; y < actual.height(); ++y) {
    for (std::int32_t x = 0; x < actual.width(); ++x) {
      const bool inside = golden && x < golden->width() && y < golden->height();
      const Rgb a = actual.pixel(x, y);
      if (inside && golden->pixel(x, y) == a) {
        const auto dim = [](std::uint8_t c) { return static_cast<std::uint8_t>(192 + c / 4); };
        diff.setPixel(x, y, rgb(dim(redOf(a)), dim(greenOf(a)), dim(blueOf(a))));
      } else {
        diff.setPixel(x, y, rgb(255, 0, 0));
      }
    }
  }
  return diff;
}

// Compares the surface with tests/golden/<name>.png pixel for pixel.
inline ::testing::AssertionResult matchesGolden(const Surface& actual, const std::string& name) {
  const std::filesystem::path golden = std::filesystem::path(KESTREL_GOLDEN_DIR) / (name + ".png");
  const char* update = std::getenv("KESTREL_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    auto written = writePng(actual, golden.string());
    if (!written) return ::testing::AssertionFailure() << written.error().text;
    return ::testing::AssertionSuccess() << "rewrote " << golden;
  }

  auto expected = readPng(golden.string());
  std::string problem;
  if (!expected) {
    problem = "no golden picture: " + expected.error().text;
  } else if (expected->width() != actual.width() || expected->height() != actual.height()) {
    problem = "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height()) +
              ", golden " + std::to_string(expected->width()) + "x" +
              std::to_string(expected->height());
  } else {
    std::int64_t differing = 0;
    std::int32_t firstX = -1, firstY = -1;
    for (std::int32_t y = 0; y < actual.height(); ++y)
      for (std::int32_t x = 0; x < actual.width(); ++x)
        if (actual.pixel(x, y) != expected->pixel(x, y) && differing++ == 0) {
          firstX = x;
          firstY = y;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    problem = std::to_string(differing) + " pixels differ, the first at (" +
              std::to_string(firstX) + ", " + std::to_string(firstY) + ")";
  }

  const std::filesystem::path dir = goldenOutputDir();
  const std::filesystem::path actualPath = dir / (name + ".actual.png");
  const std::filesystem::path diffPath = dir / (name + ".diff.png");
  (void)writePng(actual, actualPath.string());
  (void)writePng(goldenDifference(actual, expected ? &*expected : nullptr), diffPath.string());
  return ::testing::AssertionFailure()
         << name << ": " << problem << "; see " << actualPath << " and " << diffPath
         << " (KESTREL_UPDATE_GOLDEN=1 rewrites " << golden << ")";
}

#define EXPECT_MATCHES_GOLDEN(surface, name) \
  EXPECT_TRUE(::kestrel::testing::matchesGolden(surface, name))

inline void expectMatchesGolden(const Surface& actual, const std::string& name) {
  EXPECT_TRUE(matchesGolden(actual, name));
}

}  // namespace kestrel::testing
