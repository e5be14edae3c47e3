// Everything the analyser draws, as functions of their inputs and a surface: no hidden state,
// so the window, the tools and the tests get the same pixels.
#pragma once

#include <cstdint>
#include <string>

#include "display/display_settings.h"
#include "display/surface.h"

namespace kestrel {

// --- rulers (black on white, drawn into surfaces of their design sizes of which a control
// shows the top-left width x height part)
inline constexpr std::int32_t kAmplitudeRulerWidth = 40;
inline constexpr std::int32_t kAmplitudeRulerHeight = 1200;
inline constexpr std::int32_t kFrequencyRulerWidth = 2600;
inline constexpr std::int32_t kFrequencyRulerHeight = 33;

// The vertical scale left of the plot; width x height is the ruler control's present size.
void drawAmplitudeRuler(Surface& ruler, std::int32_t width, std::int32_t height,
                        const DisplaySettings& settings);
// The horizontal scale under the plot; x0 is the amplitude ruler's width (the plot's left edge
// relative to this ruler). Returns the bandwidth label's text.
std::string drawFrequencyRuler(Surface& ruler, std::int32_t width, std::int32_t height,
                               std::int32_t x0, const DisplaySettings& settings);
// "(Approx %iHz bandwidth per FFT-bin)" for the settings.
std::string bandwidthLabel(std::int32_t sampleRate, std::int32_t fftSize);

// --- the plot
// What one block hands to the display step.
struct PlotInputs {
  const std::int32_t* binLevels = nullptr;  // n = fftSize / 2 levels
  const std::int32_t* avgLevels = nullptr;
  const std::int16_t* previous = nullptr;  // n interleaved stereo frames each
  const std::int16_t* current = nullptr;
  bool clipLeft = false;
  bool clipRight = false;
};

// The per-block display step: draws the chosen visualisation onto the plot surface.
void displayStep(Surface& plot, const PlotInputs& inputs, const DisplaySettings& settings);

// The spectrograph's parts, for tests and the benchmark.
// x of bin i on the frequency scale.
std::int32_t binToX(std::int32_t bin, const DisplaySettings& settings);
// points[first + i] for i = 0 .. n-1: (x of bin i, (height - 1) - level / levelsPerPixel).
void mapLevelsToPoints(const std::int32_t* levels, Point* points, std::int32_t first,
                       std::int32_t height, const DisplaySettings& settings);
// Draws 1 or 2 traces (the average under the current block) in strips of 64 bins.
void drawSpectrograph(Surface& plot, const Point* points, std::int32_t n, const Rgb colours[2],
                      std::int32_t traces);

// --- spectrograms
Rgb horizontalColour(std::int32_t level);
Rgb verticalColour(std::int32_t level);
void drawSpectrogramColumn(Surface& plot, const std::int32_t* binLevels, std::int32_t n);
void drawSpectrogramRow(Surface& plot, const std::int32_t* binLevels, std::int32_t n);

// --- stereo vector
Point stereoPoint(std::int16_t left, std::int16_t right);
void drawStereoVector(Surface& plot, const std::int16_t* current, const std::int16_t* previous,
                      std::int32_t frames, bool clipped);

// --- level meters
// One peak-level bar from a peak-to-peak value p (0 .. 65535) onto the bar's surface.
void drawLevelBar(Surface& bar, std::int32_t peakToPeak);
inline constexpr Rgb kClipLit = rgb(255, 96, 96);
// The colour of an unlit clip lamp: the controls' own face colour.
inline constexpr Rgb kButtonFace = rgb(239, 239, 239);
constexpr Rgb clipIndicatorColour(bool clipped) {
  return clipped ? kClipLit : kButtonFace;
}

}  // namespace kestrel
