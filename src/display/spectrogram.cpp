// The two scrolling colour spectrograms: one new column (H) or row (V) of bin colours per block.
#include <algorithm>
#include <cstdint>

#include "display/displays.h"

namespace kestrel {

namespace {

// A level shifted right and capped to one colour component.
std::uint8_t component(std::int32_t level, int shift) {
  return static_cast<std::uint8_t>(std::clamp(level >> shift, 0, 255));
}

}  // namespace

// Blue saturates first (1020), then red (4080), then green (8160): black, blue, violet, pink,
// white.
Rgb horizontalColour(std::int32_t level) {
  return rgb(component(level, 4), component(level, 5), component(level, 2));
}

// Twice as sensitive in red and blue as the horizontal map.
Rgb verticalColour(std::int32_t level) {
  return rgb(component(level, 3), component(level, 5), component(level, 1));
}

void drawSpectrogramColumn(Surface& plot, const std::int32_t* binLevels, std::int32_t n) {
  const std::int32_t width = plot.width();
  const std::int32_t height = plot.height();
  // A panel lower than n shows the lowest bins only.
  const std::int32_t rows = std::min(n, height);
  plot.scroll(-1, 0);
  // Column width - 1, uncovered by the scroll, is left to the background.
  for (std::int32_t i = 0; i < rows; ++i) {
    plot.setPixel(width - 2, (height - 1) - i, horizontalColour(binLevels[i]));
  }
}

void drawSpectrogramRow(Surface& plot, const std::int32_t* binLevels, std::int32_t n) {
  const std::int32_t width = plot.width();
  const std::int32_t height = plot.height();
  // Columns from n on, on a panel wider than n, keep the background.
  const std::int32_t cols = std::min(n, width);
  plot.scroll(0, -1);
  // Row height - 1, uncovered by the scroll, is left to the background.
  for (std::int32_t i = 0; i < cols; ++i) {
    plot.setPixel(i, height - 2, verticalColour(binLevels[i]));
  }
}

}  // namespace kestrel
