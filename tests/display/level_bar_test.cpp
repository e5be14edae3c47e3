// The peak-level bar's sections and the clip lamp colours.
#include <gtest/gtest.h>

#include <cstdint>

#include "display/displays.h"

namespace kestrel {
namespace {

constexpr Rgb kGreen = rgb(0, 208, 96);
constexpr Rgb kYellow = rgb(255, 255, 0);
constexpr Rgb kPanel = rgb(1, 2, 3);  // the panel's own edge, which the bar leaves alone

// Sections as inclusive column ranges; first > last means the section is absent.
struct BarCase {
  std::int32_t p;
  std::int32_t greenFirst, greenLast, yellowFirst, yellowLast, blackFirst, blackLast;
};

Rgb expectedAt(const BarCase& c, std::int32_t x) {
  if (x >= c.greenFirst && x <= c.greenLast) return kGreen;
  if (x >= c.yellowFirst && x <= c.yellowLast) return kYellow;
  if (x >= c.blackFirst && x <= c.blackLast) return kBlack;
  return kPanel;
}

// The design bar is 291 x 9: sections in columns 1 .. 288 and rows 1 .. 6; -6 dB at column 253.
TEST(LevelBar, SectionsOnTheDesignBar) {
  const BarCase cases[] = {
      {0, 1, 0, 1, 0, 1, 288},  // silence is treated as p = 1: all black
      {1, 1, 0, 1, 0, 1, 288},
      {16384, 1, 216, 1, 0, 217, 288},  // -12.04 dB
      {32768, 1, 252, 1, 0, 253, 288},  // -6.02 dB
      {32845, 1, 252, 1, 0, 253, 288},  // just below -6 dB
      {32846, 1, 252, 1, 0, 253, 288},  // just above: the yellow section is still empty
      {48000, 1, 252, 253, 272, 273, 288},
      {65535, 1, 252, 253, 288, 1, 0},  // full scale: yellow up to column W - 3
  };
  for (const BarCase& c : cases) {
    Surface bar(291, 9, kPanel);
    drawLevelBar(bar, c.p);
    for (std::int32_t y = 0; y < 9; ++y)
      for (std::int32_t x = 0; x < 291; ++x) {
        const Rgb expected = y >= 1 && y <= 6 ? expectedAt(c, x) : kPanel;
        ASSERT_EQ(bar.pixel(x, y), expected) << "p " << c.p << " at " << x << "," << y;
      }
  }
}

TEST(LevelBar, RedrawingReplacesTheLastLevel) {
  Surface bar(291, 9, kPanel);
  drawLevelBar(bar, 65535);
  drawLevelBar(bar, 16384);
  EXPECT_EQ(bar.pixel(216, 3), kGreen);
  EXPECT_EQ(bar.pixel(217, 3), kBlack);
  EXPECT_EQ(bar.pixel(288, 3), kBlack);
}

TEST(LevelBar, TinyBarsStaySafe) {
  for (std::int32_t w : {0, 1, 2, 3}) {
    Surface bar(w, 3, kPanel);
    drawLevelBar(bar, 65535);
    for (std::int32_t x = 0; x < w; ++x) EXPECT_EQ(bar.pixel(x, 1), kPanel) << w;
  }
}

TEST(ClipIndicator, LitIsLightRedAndUnlitIsTheFaceColour) {
  EXPECT_EQ(clipIndicatorColour(true), rgb(255, 96, 96));
  EXPECT_EQ(clipIndicatorColour(false), kButtonFace);
  EXPECT_NE(kButtonFace, rgb(255, 96, 96));
}

}  // namespace
}  // namespace kestrel
