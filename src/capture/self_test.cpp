// The 1-2 kHz test sweep written into a capture buffer.
#include "capture/self_test.h"

#include <cmath>

#include "analysis/numeric.h"

namespace kestrel {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kAmplitude = 32766.75;  // peaks one step short of full scale
}  // namespace

std::int16_t selfTestSample(std::int32_t m, std::int32_t sampleRate) {
  // The remainder keeps the sign of m: the five warm-up blocks after a reset sit just before
  // the start of the sweep, a little below 1 kHz.
  const std::int32_t n = m % (20 * sampleRate);
  // 2 pi (25 t^2 + 1000 t) with t = n / sampleRate, in this order of operations.
  const double phase =
      ((static_cast<double>(n) * 25 / sampleRate + 1000) * n * kTwoPi) / (sampleRate * 1.0);
  const std::int64_t v = truncToInt64((std::sin(phase) + 1.0) * kAmplitude) - 32767;
  return static_cast<std::int16_t>(v);
}

void writeSelfTest(std::int16_t* frames, std::int32_t fftSize, std::int32_t avgCount,
                   std::int32_t sampleRate) {
  // The block's first running index: avgCount * fftSize / 2. The product wraps in 32 bits after
  // 2^30 frames of one capture (hours), and the sweep then jumps to another point of its period.
  const std::int32_t first = wrapMul32(avgCount, fftSize) / 2;
  for (std::int32_t i = 0; i < fftSize / 2; ++i) {
    const std::int16_t v = selfTestSample(first + i, sampleRate);
    frames[2 * i + 1] = v;
    frames[2 * i] = v;
  }
}

}  // namespace kestrel
