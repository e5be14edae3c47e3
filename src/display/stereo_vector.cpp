// The stereo vector display: every frame of the block as a point (left up-left, right
// up-right), joined in frame order over two guide lines.
#include <algorithm>
#include <array>
#include <cstdint>

#include "analysis/fft_sizes.h"
#include "display/displays.h"

namespace kestrel {

namespace {

constexpr Rgb kGuideColour = rgb(0, 128, 0);
constexpr Rgb kTraceColour = rgb(0, 255, 0);
// A block in which either channel clipped shows its trace red, as the spectrograph does.
constexpr Rgb kClippedColour = rgb(255, 0, 0);

}  // namespace

Point stereoPoint(std::int16_t left, std::int16_t right) {
  // Each sample divided on its own, truncating toward zero.
  const std::int32_t l = left / 128;
  const std::int32_t r = right / 128;
  return {256 - l + r, 256 - l - r};
}

void drawStereoVector(Surface& plot, const std::int16_t* current, const std::int16_t* previous,
                      std::int32_t frames, bool clipped) {
  frames = std::clamp(frames, 0, kMaxBins);

  // The previous block drew its trace from the buffer that is now the previous one: its
  // bounding box is all there is to erase.
  std::int32_t minX = 32767, minY = 32767, maxX = -32768, maxY = -32768;
  for (std::int32_t k = 0; k < frames; ++k) {
    const Point p = stereoPoint(previous[2 * k], previous[2 * k + 1]);
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  minX = std::max(minX, 0);
  minY = std::max(minY, 0);

  std::array<Point, kMaxBins> trace;
  for (std::int32_t k = 0; k < frames; ++k)
    trace[k] = stereoPoint(current[2 * k], current[2 * k + 1]);

  plot.fillRect(minX, minY, maxX + 1, maxY + 1, Brush{kBlack});

  // The left and right axes, meeting at silence (256, 256); redrawn every block so they always
  // lie under the trace.
  const Pen guide{kGuideColour, 0};
  plot.moveTo(0, 0);
  plot.lineTo(256, 256, guide);
  plot.lineTo(512, 0, guide);

  plot.polyline(trace.data(), static_cast<std::size_t>(frames),
                Pen{clipped ? kClippedColour : kTraceColour, 0});
}

}  // namespace kestrel
