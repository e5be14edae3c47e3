// The scrolling spectrograms: both colour maps, one new column or row per block, the line the
// scroll uncovers, and panels smaller or larger than the number of bins.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "display/displays.h"

namespace kestrel {
namespace {

// The panel's background, distinct from every map colour used below.
constexpr Rgb kPanel = rgb(1, 2, 3);

TEST(SpectrogramTest, ColourMapsShiftAndCapEachComponent) {
  struct Case {
    Rgb (*map)(std::int32_t);
    const char* name;
    std::int32_t level;
    Rgb colour;
  };
  const Case cases[] = {
      {horizontalColour, "horizontal", 0, rgb(0, 0, 0)},
      {horizontalColour, "horizontal", 512, rgb(32, 16, 128)},
      {horizontalColour, "horizontal", 1020, rgb(63, 31, 255)},  // blue saturates first
      {horizontalColour, "horizontal", 2048, rgb(128, 64, 255)},
      {horizontalColour, "horizontal", 4080, rgb(255, 127, 255)},  // then red
      {horizontalColour, "horizontal", 6000, rgb(255, 187, 255)},
      {horizontalColour, "horizontal", 8159, rgb(255, 254, 255)},
      {horizontalColour, "horizontal", 8160, rgb(255, 255, 255)},  // then green: white
      {horizontalColour, "horizontal", 2'000'000'000, rgb(255, 255, 255)},
      {verticalColour, "vertical", 0, rgb(0, 0, 0)},
      {verticalColour, "vertical", 100, rgb(12, 3, 50)},
      {verticalColour, "vertical", 512, rgb(64, 16, 255)},
      {verticalColour, "vertical", 2040, rgb(255, 63, 255)},
      {verticalColour, "vertical", 8159, rgb(255, 254, 255)},
      {verticalColour, "vertical", 8160, rgb(255, 255, 255)},
      {verticalColour, "vertical", 2'000'000'000, rgb(255, 255, 255)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.map(c.level), c.colour) << c.name << " " << c.level;
}

// Levels whose colours tell the bins and blocks apart: bin i of block b.
std::vector<std::int32_t> blockLevels(std::int32_t n, std::int32_t b) {
  std::vector<std::int32_t> levels(n);
  for (std::int32_t i = 0; i < n; ++i) levels[i] = 64 * (i + 1) + 8 * b;
  return levels;
}

TEST(SpectrogramTest, ColumnsScrollLeftOnePixelPerBlock) {
  struct Case {
    std::int32_t width, height, n;
  };
  const Case cases[] = {
      {6, 5, 8},   // lower than n: only the lowest bins show
      {7, 12, 8},  // higher than n: the rows above keep the background
      {4, 8, 8},
  };
  for (const Case& c : cases) {
    Surface plot(c.width, c.height, kPanel);
    constexpr std::int32_t kBlocks = 3;
    for (std::int32_t b = 0; b < kBlocks; ++b) {
      drawSpectrogramColumn(plot, blockLevels(c.n, b).data(), c.n);
    }
    for (std::int32_t x = 0; x < c.width; ++x) {
      // Block b lies in column W - 2 - (kBlocks - 1 - b); the last column is never painted.
      const std::int32_t b = x - (c.width - 2) + (kBlocks - 1);
      const bool painted = x < c.width - 1 && b >= 0;
      for (std::int32_t y = 0; y < c.height; ++y) {
        const std::int32_t bin = c.height - 1 - y;
        const Rgb expected =
            painted && bin < c.n ? horizontalColour(blockLevels(c.n, b)[bin]) : kPanel;
        ASSERT_EQ(plot.pixel(x, y), expected) << c.width << "x" << c.height << " with " << c.n
                                              << " bins, at (" << x << ", " << y << ")";
      }
    }
  }
}

TEST(SpectrogramTest, RowsScrollUpOnePixelPerBlock) {
  struct Case {
    std::int32_t width, height, n;
  };
  const Case cases[] = {
      {5, 6, 8},   // narrower than n: only the lowest bins show
      {12, 7, 8},  // wider than n: the columns from n on keep the background
      {8, 4, 8},
  };
  for (const Case& c : cases) {
    Surface plot(c.width, c.height, kPanel);
    constexpr std::int32_t kBlocks = 3;
    for (std::int32_t b = 0; b < kBlocks; ++b) {
      drawSpectrogramRow(plot, blockLevels(c.n, b).data(), c.n);
    }
    for (std::int32_t y = 0; y < c.height; ++y) {
      // Block b lies in row H - 2 - (kBlocks - 1 - b); the last row is never painted.
      const std::int32_t b = y - (c.height - 2) + (kBlocks - 1);
      const bool painted = y < c.height - 1 && b >= 0;
      for (std::int32_t x = 0; x < c.width; ++x) {
        const Rgb expected = painted && x < c.n ? verticalColour(blockLevels(c.n, b)[x]) : kPanel;
        ASSERT_EQ(plot.pixel(x, y), expected) << c.width << "x" << c.height << " with " << c.n
                                              << " bins, at (" << x << ", " << y << ")";
      }
    }
  }
}

}  // namespace
}  // namespace kestrel
