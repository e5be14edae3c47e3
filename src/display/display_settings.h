// What the displays read besides their data: the settings that decide how levels, bins and
// samples map onto pixels.
#pragma once

#include <cstdint>

namespace kestrel {

enum class Visualisation {
  Spectrograph,         // "Spectrograph"
  SpectrographAverage,  // "Spectrograph with average"
  SpectrogramH,         // "Spectrogram (H)": frequency up, time leftwards
  SpectrogramV,         // "Spectrogram (V)": frequency rightwards, time upwards
  StereoVector,         // "Stereo vector analyser "
};

// The frequency axis codes: 1 normal, 2 stretched x2, 3 stretched x3, -1 logarithmic.
inline constexpr std::int32_t kFreqLog = -1;

struct DisplaySettings {
  Visualisation visualisation = Visualisation::Spectrograph;
  std::int32_t ampScale = 2;         // as the analysis uses it
  std::int32_t freqScale = 1;        // 1, 2, 3 or kFreqLog
  std::int32_t sampleRate = 44100;   // Hz
  std::int32_t fftSize = 2048;       // bins shown = fftSize / 2
  std::int32_t levelsPerPixel = 32;  // display-level units per plot pixel row, > 0
};

// trunc(18022.4 / plot height): full scale lands a little above 91 % of the plot's height.
// A height of 0 or less keeps the old value.
std::int32_t levelsPerPixelFor(std::int32_t plotHeight, std::int32_t previous);

}  // namespace kestrel
