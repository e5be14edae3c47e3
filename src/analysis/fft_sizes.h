// The FFT length and what follows from it: bits, frames per capture buffer, transform size.
#pragma once

#include <cstdint>

namespace kestrel {

// Fixed capacities: twice what the longest FFT (4096) needs.
inline constexpr std::int32_t kMaxFftSize = 8192;    // window table entries, fftInput values
inline constexpr std::int32_t kMaxBins = 4096;       // avgAccum, binLevels, avgLevels entries
inline constexpr std::int32_t kBufferFrames = 4096;  // stereo frames per capture buffer
inline constexpr std::int32_t kBufferBytes = kBufferFrames * 4;  // 16384

inline constexpr std::int32_t kDefaultFftBits = 11;
inline constexpr std::int32_t kDefaultSampleRate = 44100;

struct FftSizes {
  std::int32_t fftBits = kDefaultFftBits;
  std::int32_t blockFrames = 1024;  // stereo frames per block = bins displayed = fftSize / 2
  std::int32_t fftSize = 2048;      // 2^fftBits
};

// blockFrames := 2^(fftBits - 1), fftSize := 2 * blockFrames.
constexpr FftSizes deriveBlockSizes(std::int32_t fftBits) {
  FftSizes sizes;
  sizes.fftBits = fftBits;
  sizes.blockFrames = std::int32_t{1} << (fftBits - 1);
  sizes.fftSize = 2 * sizes.blockFrames;
  return sizes;
}

// True for the lengths the analyser offers: 1024, 2048, 4096.
constexpr bool isSupportedFftBits(std::int32_t fftBits) {
  return fftBits >= 10 && fftBits <= 12;
}

}  // namespace kestrel
