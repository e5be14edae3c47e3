// Transform input assembly: fixed-point scaling of every channel mode, rounding, and the halves.
#include "capture/fft_input.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrel {
namespace {

struct SampleCase {
  const char* what;
  std::int16_t left, right;
  std::int32_t window;
  ChannelMode mode;
  std::int32_t expected;
};

TEST(FftInput, WindowedSampleScalingAndRounding) {
  // Flat-top peak: trunc(32767 * (1 + 1.933 + 1.286 + 0.388 + 0.0322)).
  const std::int32_t flatTopPeak = 152012;
  const SampleCase cases[] = {
      {"left 1000 x 65534 / 8192, rounded down", 1000, 0, 65534, ChannelMode::Left, 7999},
      {"right channel alone", 0, 1000, 65534, ChannelMode::Right, 7999},
      {"mix of two equal channels keeps the scale", 1000, 1000, 65534, ChannelMode::Sum, 7999},
      {"negative product rounds toward minus infinity", -1, 0, 1, ChannelMode::Left, -1},
      {"identical channels cancel in the difference", 1234, 1234, 65534, ChannelMode::Diff, 0},
      {"difference of opposite channels", 1000, -1000, 65534, ChannelMode::Diff, 7999},
      {"full-scale mix with the flat-top peak needs a 64-bit product", -32768, -32768, flatTopPeak,
       ChannelMode::Sum, -608048},
      {"negative window entries", 32767, 0, -91, ChannelMode::Left, -364},
  };
  for (const SampleCase& c : cases) {
    const std::int16_t frame[2] = {c.left, c.right};
    EXPECT_EQ(windowedSample(frame, c.window, c.mode), c.expected) << c.what;
  }
}

TEST(FftInput, PreviousBufferFillsTheFirstHalfAndCurrentTheSecond) {
  const std::int32_t n = 512;
  std::vector<std::int16_t> previous(2 * n), current(2 * n);
  std::vector<std::int32_t> window(2 * n);
  for (std::int32_t i = 0; i < n; ++i) {
    previous[2 * i] = static_cast<std::int16_t>(i);
    current[2 * i] = static_cast<std::int16_t>(-i);
  }
  for (std::int32_t j = 0; j < 2 * n; ++j) window[j] = 8192 + j;  // distinct per entry
  std::vector<ComplexInt> input(2 * n, ComplexInt{7, 7});
  assembleFftInput(previous.data(), current.data(), n, window.data(), ChannelMode::Left,
                   input.data());
  for (std::int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(input[i].re, windowedSample(&previous[2 * i], window[i], ChannelMode::Left)) << i;
    ASSERT_EQ(input[n + i].re, windowedSample(&current[2 * i], window[n + i], ChannelMode::Left))
        << i;
    ASSERT_EQ(input[i].im, 0);
    ASSERT_EQ(input[n + i].im, 0);
  }
}

}  // namespace
}  // namespace kestrel
