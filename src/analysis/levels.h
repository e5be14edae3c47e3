// Display levels: transform output to per-bin integer levels on the chosen amplitude scale,
// with A-weighting and the long-time RMS average.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/complex_int.h"
#include "analysis/fft.h"
#include "analysis/fft_sizes.h"

namespace kestrel {

// The long-time power average. avgCount is also the self-test's block clock.
struct LongTimeAverage {
  std::array<std::int64_t, kMaxBins>
      avgAccum{};              // per bin: sum of power / 256 over averaged blocks
  std::int32_t avgCount = -5;  // blocks since reset; averaged while >= 1

  // All accumulators to 0, avgCount to -5: the next five blocks stay out of the average.
  void resetAverage();
};

struct LevelSettings {
  std::int32_t ampScale = 2;
  std::int32_t weighting = 0;
  std::int32_t sampleRate = 44100;
};

// A-weighting amplitude gain for a frequency in Hz.
float aWeighting(float frequency);

// level(a): an amplitude to a display level on the scale ampScale.
std::int32_t amplitudeToLevel(float amplitude, std::int32_t ampScale);

// Transforms fftInput with engine into fftOutput, raises average.avgCount, and writes
// binLevels and avgLevels for bins 0 .. engine.size()/2 - 1 (at most kMaxBins). Allocates
// nothing.
//
// The accumulators never wrap: when adding this block's power / 256 would overflow any bin's
// accumulator, or avgCount is at its largest, the average restarts as resetAverage does and
// this block counts as the first of the five warm-up blocks: avgCount becomes -4, nothing is
// accumulated and every avgLevels entry is 0.
void computeLevels(const fft& engine, const ComplexInt* fftInput, ComplexInt* fftOutput,
                   const LevelSettings& settings, LongTimeAverage& average, std::int32_t* binLevels,
                   std::int32_t* avgLevels);

}  // namespace kestrel
