// The spectrograph (level against frequency, optionally over the long-time average) and the
// per-block display step that picks the chosen visualisation.
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "analysis/fft_sizes.h"
#include "analysis/numeric.h"
#include "display/displays.h"

namespace kestrel {

namespace {

constexpr std::int32_t kStrip = 64;  // bins erased and redrawn together
constexpr Rgb kTraceColour = kBlack;
constexpr Rgb kClippedColour = rgb(255, 0, 0);
constexpr Rgb kAverageColour = rgb(128, 128, 128);

// 2n points: the current block, then the average.
using PlotPoints = std::array<Point, 2 * static_cast<std::size_t>(kMaxBins)>;

}  // namespace

std::int32_t binToX(std::int32_t bin, const DisplaySettings& settings) {
  if (settings.freqScale != kFreqLog) return bin * settings.freqScale;
  // Bins 0..2 would give ln of 0 or of a tiny value; they share the left edge.
  if (bin < 3) return 0;
  // 128 ln(f / 20 Hz), evaluated left to right as the scale has always been: a bin below 20 Hz
  // lies left of the panel.
  double ratio = static_cast<double>(settings.sampleRate) / static_cast<double>(settings.fftSize);
  ratio = ratio * static_cast<double>(bin);
  ratio = ratio * 0.05;
  const double x = 128.0 * std::log(ratio);
  return low32(truncToInt64(x));
}

void mapLevelsToPoints(const std::int32_t* levels, Point* points, std::int32_t first,
                       std::int32_t height, const DisplaySettings& settings) {
  assert(settings.levelsPerPixel > 0);
  const std::int32_t n = settings.fftSize / 2;
  // No clamping: a level above the top gives a negative y and the surface clips the line.
  for (std::int32_t i = 0; i < n; ++i) {
    points[first + i] = {binToX(i, settings), (height - 1) - levels[i] / settings.levelsPerPixel};
  }
}

void drawSpectrograph(Surface& plot, const Point* points, std::int32_t n, const Rgb colours[2],
                      std::int32_t traces) {
  const std::int32_t height = plot.height();
  const Pen pens[2] = {{colours[0], 0}, {colours[1], 0}};
  for (std::int32_t s = 0; s < n; s += kStrip) {
    // The current block's points give the strip's edges; both traces share their x positions.
    plot.fillRect(points[s].x, 0, points[s + kStrip - 1].x + 3, height, Brush{kWhite});
    // The average first, the current block over it.
    for (std::int32_t t = traces - 1; t >= 0; --t) {
      const Point* trace = points + t * n;
      if (s == 0) {
        plot.polyline(trace, kStrip, pens[t]);
      } else {
        // From the previous strip's last point, so the joining segment is drawn as well.
        plot.polyline(trace + s - 1, kStrip + 1, pens[t]);
      }
    }
  }
}

void displayStep(Surface& plot, const PlotInputs& inputs, const DisplaySettings& settings) {
  const std::int32_t n = settings.fftSize / 2;
  // The block sizes the analyser offers are whole strips and fit the fixed capacity; anything
  // else would overrun the point array, so it draws nothing.
  if (n <= 0 || n > kMaxBins || n % kStrip != 0) return;
  const bool clipped = inputs.clipLeft || inputs.clipRight;

  switch (settings.visualisation) {
    case Visualisation::Spectrograph:
    case Visualisation::SpectrographAverage: {
      const bool average = settings.visualisation == Visualisation::SpectrographAverage;
      PlotPoints plotPoints;
      mapLevelsToPoints(inputs.binLevels, plotPoints.data(), 0, plot.height(), settings);
      if (average) {
        mapLevelsToPoints(inputs.avgLevels, plotPoints.data(), n, plot.height(), settings);
      }
      const Rgb colours[2] = {clipped ? kClippedColour : kTraceColour, kAverageColour};
      drawSpectrograph(plot, plotPoints.data(), n, colours, average ? 2 : 1);
      break;
    }
    case Visualisation::SpectrogramH:
      drawSpectrogramColumn(plot, inputs.binLevels, n);
      break;
    case Visualisation::SpectrogramV:
      drawSpectrogramRow(plot, inputs.binLevels, n);
      break;
    case Visualisation::StereoVector:
      drawStereoVector(plot, inputs.current, inputs.previous, n, clipped);
      break;
  }
}

}  // namespace kestrel
