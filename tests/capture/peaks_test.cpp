// Peak-to-peak and clip detection over the previous and the current buffer.
#include "capture/peaks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kestrel {
namespace {

constexpr std::int32_t kFrames = 256;

struct Buffers {
  std::vector<std::int16_t> previous = std::vector<std::int16_t>(2 * kFrames);
  std::vector<std::int16_t> current = std::vector<std::int16_t>(2 * kFrames);
  PeakScan scan() const { return scanPeaks(previous.data(), current.data(), kFrames); }
};

TEST(Peaks, SilenceHasNoPeakAndNoClip) {
  const PeakScan scan = Buffers{}.scan();
  EXPECT_EQ(scan.peakLeft(), 0);
  EXPECT_EQ(scan.peakRight(), 0);
  EXPECT_FALSE(scan.clipLeft);
  EXPECT_FALSE(scan.clipRight);
}

TEST(Peaks, FullScaleSquareClipsWithTheWholeRange) {
  Buffers b;
  for (std::int32_t j = 0; j < kFrames; ++j) {
    const std::int16_t v = j % 2 ? std::int16_t{-32768} : std::int16_t{32767};
    b.previous[2 * j] = b.previous[2 * j + 1] = v;
    b.current[2 * j] = b.current[2 * j + 1] = v;
  }
  const PeakScan scan = b.scan();
  EXPECT_EQ(scan.peakLeft(), 65535);
  EXPECT_EQ(scan.peakRight(), 65535);
  EXPECT_TRUE(scan.clipLeft);
  EXPECT_TRUE(scan.clipRight);
}

TEST(Peaks, OneClipValueAnywhereInEitherBufferSetsItsChannelOnly) {
  struct Case {
    bool inPrevious;
    int channel;
    std::int16_t value;
  };
  for (const Case c : {Case{true, 0, -32768}, Case{false, 1, 32767}, Case{true, 1, 32767},
                       Case{false, 0, -32768}}) {
    Buffers b;
    (c.inPrevious ? b.previous : b.current)[2 * 100 + c.channel] = c.value;
    const PeakScan scan = b.scan();
    EXPECT_EQ(scan.clipLeft, c.channel == 0);
    EXPECT_EQ(scan.clipRight, c.channel == 1);
    EXPECT_EQ(c.channel == 0 ? scan.peakLeft() : scan.peakRight(), c.value < 0 ? 32768 : 32767);
  }
}

TEST(Peaks, NearFullScaleIsNotAClip) {
  Buffers b;
  b.previous[0] = 32766;
  b.current[2] = -32767;
  const PeakScan scan = b.scan();
  EXPECT_EQ(scan.peakLeft(), 65533);
  EXPECT_FALSE(scan.clipLeft);
}

}  // namespace
}  // namespace kestrel
