// The peak-level bar: 48 dB of peak-to-peak level, green up to the level, yellow above -6 dB,
// black for the rest.
#include <cmath>

#include "analysis/numeric.h"
#include "display/displays.h"

namespace kestrel {

namespace {
constexpr Rgb kBarGreen = rgb(0, 208, 96);
constexpr Rgb kBarYellow = rgb(255, 255, 0);
constexpr Rgb kBarBlack = rgb(0, 0, 0);
}  // namespace

void drawLevelBar(Surface& bar, std::int32_t peakToPeak) {
  const std::int32_t w = bar.width();
  const std::int32_t h = bar.height();
  const std::int32_t p = peakToPeak == 0 ? 1 : peakToPeak;
  // The level is held as a 32-bit float.
  const float level = static_cast<float>(20 * std::log10(static_cast<long double>(p) / 65536));
  // -48 dB maps to 0, 0 dB to W - 2.
  std::int64_t end = truncToInt64((level / 48.0L + 1) * (w - 2));
  if (end < 0) end = 0;
  if (end > w) end = w;  // only a value above 65535 could reach past the bar
  const auto end32 = static_cast<std::int32_t>(end);

  // Sections in columns 1 .. W - 3 and rows 1 .. H - 3; the panel's own edge is left alone.
  const std::int32_t top = 1;
  const std::int32_t bottom = h - 2;
  std::int32_t left = 1;
  std::int32_t right = 0;
  if (level < -6) {
    right = end32 + 1;
  } else {
    // The -6 dB mark.
    right = static_cast<std::int32_t>(truncToInt64((-6 / 48.0L + 1) * (w - 2) + 1));
  }
  bar.fillRect(left, top, right, bottom, Brush{kBarGreen});
  if (level >= -6) {
    left = right;
    right = end32 + 1;
    bar.fillRect(left, top, right, bottom, Brush{kBarYellow});
  }
  left = right;
  right = w - 2;
  bar.fillRect(left, top, right, bottom, Brush{kBarBlack});
}

}  // namespace kestrel
