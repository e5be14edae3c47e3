// The coded analysis settings that the commands change and every block reads.
#pragma once

#include <cstdint>

#include "analysis/fft_sizes.h"
#include "analysis/window.h"

namespace kestrel {

// The analysed signal; the values are the codes the program has always used.
enum class ChannelMode : std::int32_t { Left = 1, Right = 2, Sum = 3, Diff = 4 };

// Amplitude scale codes: 1..32 a linear gain, -2 square-root compressed, above 40 logarithmic
// with the value as the displayed range in dB.
inline constexpr std::int32_t kAmpSqrt = -2;
inline constexpr std::int32_t kAmp100dB = 100;
inline constexpr std::int32_t kAmp135dB = 135;
constexpr bool isLogScale(std::int32_t ampScale) {
  return ampScale > 40;
}

// Weighting codes: 0 none, 65 (the character code of 'A') A-weighting.
inline constexpr std::int32_t kWeightingNone = 0;
inline constexpr std::int32_t kWeightingA = 65;

struct AnalysisSettings {
  std::int32_t sampleRate = kDefaultSampleRate;  // Hz
  ChannelMode channelMode = ChannelMode::Sum;
  std::int32_t ampScale = 2;
  std::int32_t weighting = kWeightingNone;
  WindowFunction window = WindowFunction::Hanning;
};

}  // namespace kestrel
