// Display levels: power per bin, optional A-weighting, the long-time RMS average and the
// mapping of amplitudes onto the chosen scale. Rounding steps are fixed to the bit.
#include "analysis/levels.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "analysis/numeric.h"
#include "analysis/settings.h"

namespace kestrel {

namespace {

// Squares of the A-weighting pole frequencies, squared in double (or float) as constants.
constexpr double kPole1077Sq = 107.7 * 107.7;
constexpr double kPole7379Sq = 737.9 * 737.9;
constexpr double kPole206Sq = 20.6 * 20.6;
constexpr float kPole12200Sq = 12200.0f * 12200.0f;
static_assert(kPole1077Sq == 11599.29);
static_assert(kPole7379Sq == 544496.4099999999);
static_assert(kPole206Sq == 424.36000000000007);
static_assert(kPole12200Sq == 148840000.0f);

// True when adding value to sum would leave the signed 64-bit range.
bool addOverflows(std::int64_t sum, std::int64_t value) {
  return value > 0 ? sum > std::numeric_limits<std::int64_t>::max() - value
                   : sum < std::numeric_limits<std::int64_t>::min() - value;
}

// Power of one bin: sum of the two squares, divided by 16 rounding down. Real transform output
// keeps the sum far below 2^63; the unsigned sum only keeps a pathological input defined.
std::int64_t binPower(const ComplexInt& bin) {
  const auto re = static_cast<std::int64_t>(bin.re);
  const auto im = static_cast<std::int64_t>(bin.im);
  const std::uint64_t sum =
      static_cast<std::uint64_t>(re * re) + static_cast<std::uint64_t>(im * im);
  return static_cast<std::int64_t>(sum) >> 4;
}

// sqrt(power) / fftSize as an amplitude: the root of the double in extended precision, and
// only the quotient rounded to float.
float amplitudeOfPower(double power, std::int32_t fftSize) {
  const long double root = std::sqrt(static_cast<long double>(power));
  return static_cast<float>(root / fftSize);
}

}  // namespace

void LongTimeAverage::resetAverage() {
  avgAccum.fill(0);
  avgCount = -5;
}

float aWeighting(float frequency) {
  // +2.0 dB, from the power function at run time in extended precision.
  static const long double plus2dB = std::pow(10.0L, 0.1L);
  const long double f = frequency;
  const long double numerator = plus2dB * 12200.0f * 12200.0f * f * f * f * f;
  const long double f2 = f * f;
  // The product of the two low-pole factors is rounded to double before its root.
  const double lowPoles = static_cast<double>((f2 + kPole1077Sq) * (f2 + kPole7379Sq));
  const long double r = std::sqrt(static_cast<long double>(lowPoles));
  const long double denominator = r * (f2 + kPole206Sq) * (f2 + kPole12200Sq);
  // The gain is handed on in single precision.
  return static_cast<float>(numerator / denominator);
}

std::int32_t amplitudeToLevel(float amplitude, std::int32_t ampScale) {
  float a = amplitude;
  if (isLogScale(ampScale)) {
    // Raising everything below 0.0001 (silence and NaN included) keeps the logarithm finite;
    // 0.0001 is about -164 dB, below both logarithmic floors.
    if (!(a >= 0.0001)) a = 0.0001f;
    const float relative = a * 6.103515625e-05f;  // / 16384, exact in float
    const double relativeD = relative;
    const long double level =
        std::log10(static_cast<long double>(relativeD)) * 20 * 16384 / ampScale + 16384;
    const std::int64_t truncated = truncToInt64(level);
    return truncated < 0 ? 0 : low32(truncated);
  }
  if (ampScale == kAmpSqrt) {
    if (!(a >= 0)) a = 0;
    const double aD = a;
    const long double root = std::sqrt(static_cast<long double>(aD));
    return low32(truncToInt64(root * 128));
  }
  return low32(truncToInt64(static_cast<long double>(ampScale) * a));
}

void computeLevels(const fft& engine, const ComplexInt* fftInput, ComplexInt* fftOutput,
                   const LevelSettings& settings, LongTimeAverage& average, std::int32_t* binLevels,
                   std::int32_t* avgLevels) {
  const std::int32_t fftSize = engine.size();
  const std::int32_t bins = fftSize / 2;
  assert(bins <= kMaxBins);

  engine.transform(fftInput, fftOutput);
  const bool weighted = settings.weighting == kWeightingA;

  // Every bin's power first: whether this block may join the average depends on all of them.
  std::array<std::int64_t, kMaxBins> power;
  for (std::int32_t i = 0; i < bins; ++i) {
    std::int64_t p = binPower(fftOutput[i]);
    if (weighted) {
      const long double frequencyExt = static_cast<long double>(i) * settings.sampleRate / fftSize;
      const float frequency = static_cast<float>(frequencyExt);  // the gain takes a float
      const float g = aWeighting(frequency);
      // (P * g) * g in extended precision, then truncated back to an integer power.
      const long double weightedPower = (static_cast<long double>(p) * g) * g;
      p = truncToInt64(weightedPower);
    }
    power[static_cast<std::size_t>(i)] = p;
  }

  // A full accumulator or block count restarts the average instead of wrapping: this block
  // then counts as the first warm-up block after a reset.
  bool restart = average.avgCount == std::numeric_limits<std::int32_t>::max();
  if (!restart && average.avgCount + 1 >= 1) {
    for (std::int32_t i = 0; i < bins && !restart; ++i) {
      const auto bin = static_cast<std::size_t>(i);
      restart = addOverflows(average.avgAccum[bin], power[bin] / 256);
    }
  }
  if (restart) average.resetAverage();
  ++average.avgCount;
  const std::int32_t avgCount = average.avgCount;

  for (std::int32_t i = 0; i < bins; ++i) {
    const auto bin = static_cast<std::size_t>(i);
    float avg = 0.0f;
    if (avgCount >= 1) {
      average.avgAccum[bin] += power[bin] / 256;
      // The mean power is rounded to double before its root.
      const double meanPower =
          static_cast<double>(static_cast<long double>(average.avgAccum[bin]) * 256.0L / avgCount);
      avg = amplitudeOfPower(meanPower, fftSize);
    }
    const float cur = amplitudeOfPower(static_cast<double>(power[bin]), fftSize);
    binLevels[i] = amplitudeToLevel(cur, settings.ampScale);
    avgLevels[i] = amplitudeToLevel(avg, settings.ampScale);
  }
}

}  // namespace kestrel
