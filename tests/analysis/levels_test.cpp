// Display levels: the A-weighting gain, the amplitude scales, and computeLevels on silence, a
// full-scale cosine, the warm-up of the long-time average and its overflow guard.
#include "analysis/levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "analysis/analysis_state.h"
#include "analysis/numeric.h"
#include "analysis/settings.h"

namespace kestrel {
namespace {

constexpr std::int32_t kAllScales[] = {1, 2, 4, 8, 16, 32, kAmpSqrt, kAmp100dB, kAmp135dB};

TEST(AWeighting, GainAtReferenceFrequencies) {
  EXPECT_EQ(aWeighting(0.0f), 0.0f);
  const float at1k = aWeighting(1000.0f);
  EXPECT_GT(at1k, 1.0f);  // a hair above 0 dB: the +2.0 dB and the 12200 Hz corner
  EXPECT_LT(at1k, 1.0001f);

  struct Point {
    float frequency;
    double decibels;  // to one decimal
  };
  const Point points[] = {{100, -19.1}, {2000, 1.2}, {2500, 1.27}, {10000, -2.5}, {20000, -9.3}};
  for (const Point& p : points) {
    EXPECT_NEAR(20 * std::log10(aWeighting(p.frequency)), p.decibels, 0.05) << p.frequency;
  }
  EXPECT_GT(aWeighting(2500.0f), aWeighting(2000.0f));
  EXPECT_GT(aWeighting(2500.0f), aWeighting(3000.0f));
}

TEST(AmplitudeToLevel, ScalesFloorsAndNaN) {
  struct Case {
    float amplitude;
    std::int32_t ampScale, level;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {16384.0f, kAmp100dB, 16384},
      {16384.0f, kAmp135dB, 16384},  // 0 dB
      {1638.4f, kAmp100dB, 13107},
      {1638.4f, kAmp135dB, 13956},  // -20 dB: 163.84, 121.36 / dB
      {163.84f, kAmp100dB, 9830},
      {0.16f, kAmp100dB, 0},
      {0.17f, kAmp100dB, 52},  // floor near 16384e-5
      {0.0029f, kAmp135dB, 0},
      {0.0031f, kAmp135dB, 65},  // floor near 0.003
      {0.0f, kAmp100dB, 0},
      {0.0f, kAmp135dB, 0},
      {nan, kAmp135dB, 0},
      {16384.0f, kAmpSqrt, 16384},
      {0.0f, kAmpSqrt, 0},
      {nan, kAmpSqrt, 0},
      {1.75f, 2, 3},
      {16384.0f, 32, 524288},
      {0.99f, 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(amplitudeToLevel(c.amplitude, c.ampScale), c.level)
        << c.amplitude << " on scale " << c.ampScale;
  }
}

// Runs computeLevels the way the block handler does, with fixed-size working arrays.
class ComputeLevelsTest : public ::testing::Test {
 protected:
  static constexpr std::int32_t kBins = 1024;  // N = 2048, the default length

  // Sample s weighted as the pipeline does for one channel: (window * s) >> 13.
  std::vector<ComplexInt> windowed(const std::vector<std::int32_t>& samples) const {
    std::vector<ComplexInt> input(samples.size());
    for (std::size_t j = 0; j < samples.size(); ++j) {
      const std::int64_t product = std::int64_t{state.windowTable()[j]} * samples[j];
      input[j] = {low32(product >> 13), 0};
    }
    return input;
  }

  // A full-scale cosine (amplitude 32767) at the centre of bin 256.
  std::vector<ComplexInt> fullScaleCosine() const {
    std::vector<std::int32_t> samples(2 * kBins);
    for (std::size_t j = 0; j < samples.size(); ++j) {
      const double phase = 2.0 * std::numbers::pi * 256.0 * static_cast<double>(j) / (2 * kBins);
      samples[j] = low32(truncToInt64(32767 * std::cos(phase)));
    }
    return windowed(samples);
  }

  void run(const std::vector<ComplexInt>& input, std::int32_t ampScale,
           std::int32_t weighting = kWeightingNone) {
    binLevels.fill(-1);
    avgLevels.fill(-1);
    computeLevels(state.fftEngine(), input.data(), fftOutput.data(),
                  LevelSettings{ampScale, weighting, kDefaultSampleRate}, state.average,
                  binLevels.data(), avgLevels.data());
  }

  bool allZero(const std::array<std::int32_t, kMaxBins>& levels) const {
    for (std::int32_t i = 0; i < kBins; ++i) {
      if (levels[static_cast<std::size_t>(i)] != 0) return false;
    }
    return true;
  }

  AnalysisState state;
  std::array<ComplexInt, kMaxFftSize> fftOutput{};
  std::array<std::int32_t, kMaxBins> binLevels{};
  std::array<std::int32_t, kMaxBins> avgLevels{};
};

TEST_F(ComputeLevelsTest, SilenceIsLevelZeroOnEveryScale) {
  const std::vector<ComplexInt> silence(2 * kBins, ComplexInt{0, 0});
  for (const std::int32_t scale : kAllScales) {
    state.resetAverage();
    for (int block = 1; block <= 6; ++block) run(silence, scale);
    EXPECT_EQ(state.average.avgCount, 1);
    EXPECT_TRUE(allZero(binLevels)) << "scale " << scale;
    EXPECT_TRUE(allZero(avgLevels)) << "scale " << scale;
  }
}

// cur is a little below 16384; a neighbour bin gets half of it with the Hanning window.
TEST_F(ComputeLevelsTest, FullScaleCosineOnEveryScale) {
  struct Expected {
    std::int32_t ampScale, peak, neighbour;
  };
  const Expected expected[] = {
      {1, 16382, 8191},         {2, 32764, 16382},         {4, 65529, 32765},
      {8, 131059, 65530},       {16, 262119, 131061},      {32, 524239, 262122},
      {kAmpSqrt, 16383, 11584}, {kAmp100dB, 16383, 15397}, {kAmp135dB, 16383, 15653},
  };
  const std::vector<ComplexInt> cosine = fullScaleCosine();
  for (const Expected& e : expected) {
    run(cosine, e.ampScale);
    EXPECT_EQ(binLevels[256], e.peak) << "scale " << e.ampScale;
    EXPECT_EQ(binLevels[255], e.neighbour) << "scale " << e.ampScale;
    EXPECT_EQ(binLevels[257], e.neighbour) << "scale " << e.ampScale;
  }
}

TEST_F(ComputeLevelsTest, AverageWarmsUpForFiveBlocksThenAveragesPower) {
  const std::vector<ComplexInt> cosine = fullScaleCosine();
  for (std::int32_t block = 1; block <= 5; ++block) {
    run(cosine, 1);
    EXPECT_EQ(state.average.avgCount, block - 5);
    EXPECT_EQ(binLevels[256], 16382);
    EXPECT_TRUE(allZero(avgLevels)) << "block " << block;
    EXPECT_EQ(state.average.avgAccum[256], 0);
  }

  run(cosine, 1);  // the sixth block is the first one averaged
  EXPECT_EQ(state.average.avgCount, 1);
  for (const std::size_t bin : {std::size_t{255}, std::size_t{256}, std::size_t{257}}) {
    const std::int64_t re = fftOutput[bin].re;
    const std::int64_t im = fftOutput[bin].im;
    EXPECT_EQ(state.average.avgAccum[bin], ((re * re + im * im) >> 4) / 256) << "bin " << bin;
  }
  EXPECT_EQ(avgLevels[256], 16382);
  for (std::size_t i = 0; i < kBins; ++i) ASSERT_LE(avgLevels[i], binLevels[i]) << "bin " << i;

  // A silent seventh block halves the mean power: the amplitude falls by sqrt(2).
  run(std::vector<ComplexInt>(2 * kBins, ComplexInt{0, 0}), 1);
  EXPECT_EQ(state.average.avgCount, 2);
  EXPECT_EQ(binLevels[256], 0);
  EXPECT_EQ(avgLevels[256], 11584);

  // The scale applies only when levels are formed: a third of the power, -4.77 dB, shows on
  // the logarithmic scale as soon as it is chosen.
  run(std::vector<ComplexInt>(2 * kBins, ComplexInt{0, 0}), kAmp100dB);
  EXPECT_EQ(state.average.avgCount, 3);
  EXPECT_EQ(avgLevels[256], 15602);
}

TEST_F(ComputeLevelsTest, AWeightingSilencesBinZero) {
  const std::vector<ComplexInt> constant = windowed(std::vector<std::int32_t>(2 * kBins, 10000));
  run(constant, 1);
  ASSERT_GT(binLevels[0], 0);  // unweighted, the constant lands in bin 0

  for (const std::int32_t scale : kAllScales) {
    state.resetAverage();
    for (int block = 1; block <= 6; ++block) run(constant, scale, kWeightingA);
    EXPECT_EQ(binLevels[0], 0) << "scale " << scale;
    EXPECT_EQ(avgLevels[0], 0) << "scale " << scale;
    EXPECT_EQ(state.average.avgAccum[0], 0) << "scale " << scale;
    EXPECT_GT(state.average.avgAccum[1], 0) << "scale " << scale;
  }
}

// The accumulators never wrap: a block that would overflow one, or a block count at its
// largest, restarts the average and counts as the first warm-up block.
TEST_F(ComputeLevelsTest, OverflowRestartsTheAverage) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const std::vector<ComplexInt> cosine = fullScaleCosine();
  for (int block = 1; block <= 6; ++block) run(cosine, 1);
  const std::int64_t share = state.average.avgAccum[256];  // this block's power / 256
  ASSERT_GT(share, 0);

  struct Case {
    std::int32_t avgCount;
    std::int64_t accumulator;
    bool restarts;
  };
  const Case cases[] = {
      {10, kMax - share, false},  // fills the accumulator exactly
      {10, kMax - share + 1, true},
      {std::numeric_limits<std::int32_t>::max() - 1, 0, false},
      {std::numeric_limits<std::int32_t>::max(), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "avgCount " << c.avgCount << ", accumulator " << c.accumulator);
    state.resetAverage();
    state.average.avgCount = c.avgCount;
    state.average.avgAccum[256] = c.accumulator;
    state.average.avgAccum[kMaxBins - 1] = 7;  // beyond the bins in use: only a reset clears it
    run(cosine, 1);

    EXPECT_EQ(binLevels[256], 16382);
    if (c.restarts) {
      EXPECT_EQ(state.average.avgCount, -4);
      EXPECT_EQ(state.average.avgAccum[256], 0);
      EXPECT_EQ(state.average.avgAccum[kMaxBins - 1], 0);
      EXPECT_TRUE(allZero(avgLevels));
    } else {
      EXPECT_EQ(state.average.avgCount, c.avgCount + 1);
      EXPECT_EQ(state.average.avgAccum[256], c.accumulator + share);
      EXPECT_EQ(state.average.avgAccum[kMaxBins - 1], 7);
    }
  }
}

}  // namespace
}  // namespace kestrel
