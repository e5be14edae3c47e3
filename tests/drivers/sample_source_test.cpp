// The signals of the simulated devices: exact values where the signal is defined exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "capture/drivers/simulated/sample_source.h"

namespace kestrel::sim {
namespace {

// Renders frames in calls of the given sizes, to show that the position carries over.
std::vector<std::int16_t> renderInPieces(SampleSource& source, std::vector<std::int32_t> pieces,
                                         std::int32_t sampleRate) {
  std::int32_t total = 0;
  for (std::int32_t n : pieces) total += n;
  std::vector<std::int16_t> out(2 * static_cast<std::size_t>(total), 0x5555);
  std::int16_t* at = out.data();
  for (std::int32_t n : pieces) {
    source.render(at, n, sampleRate);
    at += 2 * n;
  }
  return out;
}

TEST(SampleSource, SilenceOverwritesWithZeros) {
  const auto samples = renderInPieces(*silence(), {7, 300}, 48000);
  EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 0; }));
}

TEST(SampleSource, SquareIsFullScaleHalfAndHalf) {
  // 1 kHz at 48 kHz: 24 frames at +32767, then 24 at -32768, on both channels.
  const auto samples = renderInPieces(*square(1000), {5, 100, 139}, 48000);
  for (std::size_t k = 0; k < samples.size() / 2; ++k) {
    const std::int16_t expected = (k % 48) < 24 ? 32767 : -32768;
    ASSERT_EQ(samples[2 * k], expected) << "frame " << k;
    ASSERT_EQ(samples[2 * k + 1], expected) << "frame " << k;
  }
}

TEST(SampleSource, SineHasItsFrequencyAmplitudeAndPhase) {
  // 1 kHz at 48 kHz repeats every 48 frames; the crest of amplitude 10000 falls on frame 12.
  const auto samples = renderInPieces(*sine(1000, 10000), {13, 400}, 48000);
  EXPECT_EQ(samples[0], 0);
  EXPECT_EQ(samples[2 * 12], 10000);
  EXPECT_EQ(samples[2 * 24], 0);
  EXPECT_EQ(samples[2 * 36], -10000);
  for (std::size_t k = 0; k + 48 < samples.size() / 2; ++k) {
    ASSERT_EQ(samples[2 * k], samples[2 * k + 1]) << "frame " << k;
    ASSERT_EQ(samples[2 * (k + 48)], samples[2 * k]) << "frame " << k;
  }
  EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 10000);
  EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -10000);

  // A quarter-period phase starts at the crest; values round to nearest.
  const auto shifted = renderInPieces(*sine(1000, 10000, std::numbers::pi / 2), {2}, 48000);
  EXPECT_EQ(shifted[0], 10000);
  EXPECT_EQ(shifted[2], 9914);  // 10000 cos(2 pi / 48) = 9914.45
}

TEST(SampleSource, SinesAddUpAndClip) {
  const auto samples =
      renderInPieces(*sines({{1000, 20000}, {1000, 20000}, {3000, 0.75}}), {48}, 48000);
  EXPECT_EQ(samples[2 * 12], 32767);   // 40000 clipped
  EXPECT_EQ(samples[2 * 36], -32768);  // -40000 clipped
  EXPECT_EQ(samples[2 * 4], 20001);    // 40000 sin(30 deg) + 0.75 sin(90 deg), rounded
}

TEST(SampleSource, NoiseIsBoundedAndReproducibleFromItsSeed) {
  const auto a = renderInPieces(*noise(7, 1000), {5000, 5000}, 48000);
  const auto b = renderInPieces(*noise(7, 1000), {10000}, 48000);
  const auto c = renderInPieces(*noise(8, 1000), {10000}, 48000);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(*std::max_element(a.begin(), a.end()), 1000);
  EXPECT_EQ(*std::min_element(a.begin(), a.end()), -1000);
  bool channelsDiffer = false;
  for (std::size_t k = 0; k < a.size(); k += 2) channelsDiffer |= a[k] != a[k + 1];
  EXPECT_TRUE(channelsDiffer);
}

TEST(SampleSource, CounterNumbersFramesAndWraps) {
  const auto samples = renderInPieces(*counter(), {1, 40000, 30000}, 8000);
  for (std::uint32_t k : {0u, 1u, 32767u, 32768u, 65535u, 65536u, 70000u}) {
    const auto left = static_cast<std::int16_t>(static_cast<std::uint16_t>(k));
    EXPECT_EQ(samples[2 * k], left) << "frame " << k;
    EXPECT_EQ(samples[2 * k + 1], static_cast<std::int16_t>(~left)) << "frame " << k;
  }
  EXPECT_EQ(samples[2 * 32768], -32768);
  EXPECT_EQ(samples[2 * 65536 + 1], -1);
}

TEST(SampleSource, StereoTakesEachChannelFromItsOwnSource) {
  // More frames than its internal chunk, in uneven calls.
  const auto samples = renderInPieces(*stereo(counter(), square(1000)), {3, 700, 1}, 48000);
  for (std::size_t k = 0; k < samples.size() / 2; ++k) {
    ASSERT_EQ(samples[2 * k], static_cast<std::int16_t>(k)) << "frame " << k;
    ASSERT_EQ(samples[2 * k + 1], (k % 48) < 24 ? 32767 : -32768) << "frame " << k;
  }
}

}  // namespace
}  // namespace kestrel::sim
