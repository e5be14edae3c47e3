// The self-test sweep: its fixed points, its range, and the 32-bit wrap of its block clock.
#include "capture/self_test.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace kestrel {
namespace {

TEST(SelfTest, StartOfTheSweepIsMinusOneAtEveryRate) {
  for (std::int32_t rate : {8000, 16000, 22050, 24000, 32000, 44100, 48000}) {
    EXPECT_EQ(selfTestSample(0, rate), -1) << rate;
  }
}

TEST(SelfTest, ValueDependsOnTimeAloneNotOnTheRate) {
  // A quarter of a second into the sweep.
  EXPECT_EQ(selfTestSample(44100 / 4, 44100), selfTestSample(8000 / 4, 8000));
  EXPECT_EQ(selfTestSample(48000 / 4, 48000), selfTestSample(16000 / 4, 16000));
}

TEST(SelfTest, WholePeriodStaysOneStepShortOfFullScale) {
  const std::int32_t rate = 8000;
  std::int32_t lowest = 0, highest = 0;
  for (std::int32_t m = -5 * 2048; m < 20 * rate; ++m) {
    const std::int32_t v = selfTestSample(m, rate);
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_EQ(lowest, -32767);
  EXPECT_EQ(highest, 32766);
}

TEST(SelfTest, PeriodRepeatsAfterTwentySeconds) {
  const std::int32_t rate = 22050;
  for (std::int32_t m : {1, 100, 12345}) {
    EXPECT_EQ(selfTestSample(m, rate), selfTestSample(m + 20 * rate, rate)) << m;
  }
}

TEST(SelfTest, BlockWritesBothChannelsFromTheBlockClock) {
  std::array<std::int16_t, 2 * 1024> frames{};
  const std::int32_t fftSize = 2048, avgCount = 7, rate = 44100;
  writeSelfTest(frames.data(), fftSize, avgCount, rate);
  for (std::int32_t i = 0; i < fftSize / 2; ++i) {
    const std::int16_t expected = selfTestSample(avgCount * fftSize / 2 + i, rate);
    ASSERT_EQ(frames[2 * i], expected) << i;
    ASSERT_EQ(frames[2 * i + 1], expected) << i;
  }
}

TEST(SelfTest, WarmUpBlocksSitJustBeforeTheSweep) {
  // avgCount -5 with 1024-frame blocks: the first block starts at index -5120.
  std::array<std::int16_t, 2 * 1024> frames{};
  writeSelfTest(frames.data(), 2048, -5, 44100);
  EXPECT_EQ(frames[0], selfTestSample(-5120, 44100));
  EXPECT_NE(frames[0], selfTestSample(5120, 44100));
}

TEST(SelfTest, BlockClockWrapsInThirtyTwoBits) {
  // 2^20 blocks of 2048: the product 2^31 wraps to -2^31, so the block starts at -2^30.
  std::array<std::int16_t, 2 * 1024> frames{};
  writeSelfTest(frames.data(), 2048, 1 << 20, 48000);
  const std::int32_t first = -(1 << 30);
  for (std::int32_t i : {0, 1, 1023}) {
    EXPECT_EQ(frames[2 * i], selfTestSample(first + i, 48000)) << i;
  }
}

}  // namespace
}  // namespace kestrel
