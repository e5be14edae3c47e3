// The stereo vector display: where a frame lands, the erase of the previous trace's bounding
// box, the guides under the trace, and the red trace of a clipped block.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "display/displays.h"

namespace kestrel {
namespace {

constexpr Rgb kGuide = rgb(0, 128, 0);
constexpr Rgb kTrace = rgb(0, 255, 0);
constexpr Rgb kRed = rgb(255, 0, 0);
// What the panel showed before the block.
constexpr Rgb kUntouched = rgb(10, 20, 30);
constexpr std::int32_t kW = 520, kH = 400;

using Frames = std::vector<std::int16_t>;  // interleaved left, right

Frames silence(std::int32_t frames) {
  return Frames(2 * frames, 0);
}

TEST(StereoVectorTest, FramesMapOntoTheDiagonals) {
  struct Case {
    std::int16_t left, right;
    Point point;
  };
  const Case cases[] = {
      {0, 0, {256, 256}},       // silence: where the guides meet
      {127, -127, {256, 256}},  // each sample divided on its own, toward zero
      {-129, 0, {257, 257}},        {1280, 0, {246, 246}},  // left: up and to the left
      {0, 1280, {266, 246}},                                // right: up and to the right
      {1280, 1280, {256, 236}},                             // mono: straight up
      {1280, -1280, {236, 256}},                            // opposite phase: sideways
      {32767, 32767, {256, -254}},  {-32768, -32768, {256, 768}},
      {32767, -32768, {-255, 257}}, {-32768, 32767, {767, 257}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stereoPoint(c.left, c.right), c.point) << "left " << c.left << ", right " << c.right;
  }
}

// After silence, only the single pixel at the origin is erased, and the guides run from the
// top-left corner to the origin and up to (512, 0), whose end point is not painted.
TEST(StereoVectorTest, SilenceErasesOnePixelAndDrawsTheGuides) {
  Surface plot(kW, kH, kUntouched);
  const Frames quiet = silence(64);

  drawStereoVector(plot, quiet.data(), quiet.data(), 64, false);

  for (std::int32_t y = 0; y < kH; ++y) {
    for (std::int32_t x = 0; x < kW; ++x) {
      const bool onGuide = (x == y && x <= 256) || (x >= 256 && x < 512 && y == 512 - x);
      ASSERT_EQ(plot.pixel(x, y), onGuide ? kGuide : kUntouched) << "at (" << x << ", " << y << ")";
    }
  }
}

TEST(StereoVectorTest, MonoDrawsAVerticalLineUpwardsFromTheOrigin) {
  constexpr std::int32_t kFrames = 64;
  Frames mono(2 * kFrames);
  for (std::int32_t k = 0; k < kFrames; ++k) {
    mono[2 * k] = mono[2 * k + 1] = static_cast<std::int16_t>(128 * k);  // y = 256 - 2k
  }
  Surface plot(kW, kH, kBlack);
  const Frames quiet = silence(kFrames);

  drawStereoVector(plot, mono.data(), quiet.data(), kFrames, false);

  // From the origin up to the last point, (256, 130), which is not painted.
  for (std::int32_t y = 120; y < 270; ++y) {
    EXPECT_EQ(plot.pixel(256, y), y > 130 && y <= 256 ? kTrace : kBlack) << "row " << y;
    EXPECT_NE(plot.pixel(255, y), kTrace) << "row " << y;
    EXPECT_NE(plot.pixel(257, y), kTrace) << "row " << y;
  }
}

// The erase covers the bounding box of the previous buffer's points, edges included, and
// nothing else; one reaching past the panel is cut at its edges.
TEST(StereoVectorTest, ErasesTheBoundingBoxOfThePreviousTrace) {
  struct Case {
    const char* what;
    Frames previous;
    std::int32_t left, top, right, bottom;  // inclusive
  };
  const Case cases[] = {
      {"a box round the origin", {1280, 0, -1280, 0, 0, 1280}, 246, 246, 266, 266},
      {"full scale, beyond three edges", {32767, -32768, -32768, 32767, 0, 0}, 0, 256, kW - 1, 257},
      {"above the top", {32767, 32767, 0, 0}, 256, 0, 256, 256},
  };
  for (const Case& c : cases) {
    Surface plot(kW, kH, kUntouched);
    const std::int32_t frames = static_cast<std::int32_t>(c.previous.size() / 2);
    const Frames quiet = silence(frames);

    drawStereoVector(plot, quiet.data(), c.previous.data(), frames, false);

    for (std::int32_t y = 0; y < kH; ++y) {
      for (std::int32_t x = 0; x < kW; ++x) {
        const bool onGuide = (x == y && x <= 256) || (x >= 256 && x < 512 && y == 512 - x);
        if (onGuide) continue;
        const bool inBox = x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
        ASSERT_EQ(plot.pixel(x, y), inBox ? kBlack : kUntouched)
            << c.what << ", at (" << x << ", " << y << ")";
      }
    }
  }
}

TEST(StereoVectorTest, TraceLiesOverTheGuides) {
  constexpr std::int32_t kFrames = 32;
  Frames leftOnly(2 * kFrames, 0);
  for (std::int32_t k = 0; k < kFrames; ++k) {
    leftOnly[2 * k] = static_cast<std::int16_t>(128 * k);  // along the left guide: (256-k, 256-k)
  }
  Surface plot(kW, kH, kBlack);
  const Frames quiet = silence(kFrames);

  drawStereoVector(plot, leftOnly.data(), quiet.data(), kFrames, false);

  for (std::int32_t k = 0; k < kFrames - 1; ++k) {
    EXPECT_EQ(plot.pixel(256 - k, 256 - k), kTrace) << "step " << k;
  }
  EXPECT_EQ(plot.pixel(256 - kFrames, 256 - kFrames), kGuide);
  EXPECT_EQ(plot.pixel(257, 255), kGuide);
}

// A block in which either channel clipped draws its trace red over the unchanged guides; the
// next block erases it with the previous buffer's box and draws green again.
TEST(StereoVectorTest, ClippedBlockDrawsItsTraceRed) {
  constexpr std::int32_t kFrames = 64;
  Frames mono(2 * kFrames);
  for (std::int32_t k = 0; k < kFrames; ++k) {
    mono[2 * k] = mono[2 * k + 1] = static_cast<std::int16_t>(128 * k);
  }
  const Frames quiet = silence(kFrames);
  Surface plot(kW, kH, kBlack);

  drawStereoVector(plot, mono.data(), quiet.data(), kFrames, true);
  EXPECT_EQ(plot.pixel(256, 200), kRed);
  EXPECT_EQ(plot.pixel(256, 256), kRed);
  EXPECT_EQ(plot.pixel(100, 100), kGuide);
  EXPECT_EQ(plot.pixel(400, 112), kGuide);

  drawStereoVector(plot, mono.data(), mono.data(), kFrames, false);
  for (std::int32_t y = 0; y < kH; ++y) {
    for (std::int32_t x = 0; x < kW; ++x) ASSERT_NE(plot.pixel(x, y), kRed) << x << ", " << y;
  }
  EXPECT_EQ(plot.pixel(256, 200), kTrace);
}

}  // namespace
}  // namespace kestrel
