// The drawing surface: fill edges, line end points and clipping, polylines, scrolling, text
// placement and the monochrome mode, on small surfaces where an off-by-one shows.
#include "display/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "display/font.h"

namespace kestrel {
namespace {

constexpr Rgb kRed = rgb(255, 0, 0);

using PixelSet = std::set<std::pair<std::int32_t, std::int32_t>>;

PixelSet inked(const Surface& s, Rgb background = kWhite) {
  PixelSet set;
  for (std::int32_t y = 0; y < s.height(); ++y)
    for (std::int32_t x = 0; x < s.width(); ++x)
      if (s.pixel(x, y) != background) set.insert({x, y});
  return set;
}

TEST(Surface, FillRectIsRightAndBottomExclusiveAndClipped) {
  struct Case {
    std::int32_t l, t, r, b;
  };
  const Case cases[] = {
      {1, 1, 4, 3},      // inside
      {-5, -7, 2, 2},    // past the top-left corner
      {4, 3, 100, 100},  // past the bottom-right corner
      {3, 0, 3, 5},      // empty: no width
      {4, 1, 2, 3},      // inverted
      {-2000000000, -2000000000, 2000000000, 2000000000},
  };
  for (const Case& c : cases) {
    Surface s(6, 5);
    s.fillRect(c.l, c.t, c.r, c.b, Brush{kRed});
    for (std::int32_t y = 0; y < 5; ++y)
      for (std::int32_t x = 0; x < 6; ++x) {
        const bool inside = x >= c.l && x < c.r && y >= c.t && y < c.b;
        EXPECT_EQ(s.pixel(x, y), inside ? kRed : kWhite)
            << "rect " << c.l << "," << c.t << "," << c.r << "," << c.b << " at " << x << "," << y;
      }
  }
}

TEST(Surface, PixelOutsideIsBlackAndSetPixelOutsideIsIgnored) {
  Surface s(3, 2);
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {-157, -5000000}}) {
    s.setPixel(x, y, kRed);
    EXPECT_EQ(s.pixel(x, y), kBlack);
  }
  EXPECT_TRUE(inked(s).empty());
  s.setPixel(2, 1, kRed);
  EXPECT_EQ(s.pixel(2, 1), kRed);
}

TEST(Surface, LinesPaintTheirStartButNotTheirEnd) {
  struct Case {
    Point from, to;
    PixelSet pixels;
  };
  const Case cases[] = {
      {{1, 1}, {4, 1}, {{1, 1}, {2, 1}, {3, 1}}},
      {{4, 1}, {1, 1}, {{4, 1}, {3, 1}, {2, 1}}},
      {{2, 0}, {2, 3}, {{2, 0}, {2, 1}, {2, 2}}},
      {{2, 3}, {2, 0}, {{2, 3}, {2, 2}, {2, 1}}},
      {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
      {{3, 0}, {0, 3}, {{3, 0}, {2, 1}, {1, 2}}},
      {{0, 0}, {6, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}}},
      {{0, 0}, {2, 6}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 5}}},
      {{2, 2}, {2, 2}, {}},
      {{0, 4}, {1, 4}, {{0, 4}}},
  };
  for (const Case& c : cases) {
    Surface s(8, 8);
    s.moveTo(c.from.x, c.from.y);
    s.lineTo(c.to.x, c.to.y, Pen{kRed});
    EXPECT_EQ(inked(s), c.pixels) << c.from.x << "," << c.from.y << " -> " << c.to.x << ","
                                  << c.to.y;
    EXPECT_EQ(s.currentPosition(), c.to);
  }
}

// A clipped line paints exactly the pixels of the whole line that lie on the surface: the same
// line drawn on a surface large enough to hold it, seen through the small one's window.
TEST(Surface, ClippedLinesPaintWhatTheWholeLinePaintsInside) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::int32_t> coordinate(-60, 80);
  constexpr std::int32_t kOffset = 100;
  for (int n = 0; n < 3000; ++n) {
    const Point a{coordinate(random), coordinate(random)};
    const Point b{coordinate(random), coordinate(random)};
    Surface small(20, 15);
    small.moveTo(a.x, a.y);
    small.lineTo(b.x, b.y, Pen{kRed});
    Surface whole(300, 300);
    whole.moveTo(a.x + kOffset, a.y + kOffset);
    whole.lineTo(b.x + kOffset, b.y + kOffset, Pen{kRed});
    for (std::int32_t y = 0; y < 15; ++y)
      for (std::int32_t x = 0; x < 20; ++x)
        ASSERT_EQ(small.pixel(x, y), whole.pixel(x + kOffset, y + kOffset))
            << a.x << "," << a.y << " -> " << b.x << "," << b.y << " at " << x << "," << y;
  }
}

// Coordinates far outside (a level of millions, the ends of the 32-bit range) are clipped
// analytically: each column of an x-major line holds one pixel within half a pixel of the ideal
// line, and nothing else is painted.
TEST(Surface, FarOutsideLinesStayOnTheIdealLine) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    Point from, to;
  };
  const Case cases[] = {
      {{-5000000, -3000001}, {5000000, 3000017}},
      {{kMin, kMin}, {kMax, kMax}},
      {{kMax, kMin + 5}, {kMin, kMax - 9}},
      {{kMin, kMin}, {kMax, kMin + 1}},  // one row of change, far above
      {{kMin, -3}, {kMax, 20}},
      {{-157, 3}, {30, 9}},
      {{0, -5000000}, {15, 5000000}},
      {{3, 5000000}, {12, -5000000}},
  };
  for (const Case& c : cases) {
    Surface s(16, 16);
    s.moveTo(c.from.x, c.from.y);
    s.lineTo(c.to.x, c.to.y, Pen{kRed});
    const long double dx = static_cast<long double>(c.to.x) - c.from.x;
    const long double dy = static_cast<long double>(c.to.y) - c.from.y;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    for (std::int32_t major = 0; major < 16; ++major) {
      const long double ideal =
          xMajor ? c.from.y + (major - static_cast<long double>(c.from.x)) * dy / dx
                 : c.from.x + (major - static_cast<long double>(c.from.y)) * dx / dy;
      int count = 0;
      for (std::int32_t minor = 0; minor < 16; ++minor) {
        const Rgb p = xMajor ? s.pixel(major, minor) : s.pixel(minor, major);
        if (p != kRed) continue;
        ++count;
        EXPECT_LE(std::fabs(minor - ideal), 0.5L + 1e-9L) << c.from.x << "," << c.from.y;
      }
      const bool visible = ideal > -0.5L && ideal < 15.5L;
      EXPECT_EQ(count, visible ? 1 : 0) << c.from.x << "," << c.from.y << " major " << major;
    }
  }
  // A vertical line through millions of rows fills its column, and one far off paints nothing.
  Surface s(4, 4);
  s.moveTo(2, -5000000);
  s.lineTo(2, 5000000, Pen{kRed});
  s.moveTo(-157, -5000000);
  s.lineTo(-157, 5000000, Pen{kRed});
  s.moveTo(-5000000, 9);
  s.lineTo(5000000, 9, Pen{kRed});
  EXPECT_EQ(inked(s), (PixelSet{{2, 0}, {2, 1}, {2, 2}, {2, 3}}));
}

TEST(Surface, PolylinesJoinAndLeaveTheLastPointUnpainted) {
  const Point points[] = {{1, 1}, {5, 1}, {5, 4}, {2, 4}};
  const PixelSet expected = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1},
                             {5, 2}, {5, 3}, {5, 4}, {4, 4}, {3, 4}};
  Surface a(8, 6);
  a.moveTo(7, 5);
  a.polyline(points, 4, Pen{kRed});
  EXPECT_EQ(inked(a), expected);
  EXPECT_EQ(a.currentPosition(), (Point{7, 5}));

  Surface b(8, 6);
  b.moveTo(1, 1);
  b.polylineTo(points + 1, 3, Pen{kRed});
  EXPECT_EQ(inked(b), expected);
  EXPECT_EQ(b.currentPosition(), (Point{2, 4}));

  Surface c(8, 6);
  c.polyline(points, 1, Pen{kRed});
  c.polyline(points, 0, Pen{kRed});
  EXPECT_TRUE(inked(c).empty());
}

TEST(Surface, ScrollShiftsAndFillsTheUncoveredStripWithTheBackground) {
  constexpr Rgb kBackground = rgb(0, 0, 9);
  const std::pair<std::int32_t, std::int32_t> shifts[] = {
      {-1, 0}, {1, 0}, {0, 1}, {0, -2}, {2, -1}, {-3, 2}, {4, 0}, {0, -3}, {-2000000000, 0}};
  for (auto [dx, dy] : shifts) {
    Surface s(4, 3, kBackground);
    for (std::int32_t y = 0; y < 3; ++y)
      for (std::int32_t x = 0; x < 4; ++x)
        s.setPixel(x, y, rgb(1, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)));
    s.scroll(dx, dy);
    for (std::int32_t y = 0; y < 3; ++y)
      for (std::int32_t x = 0; x < 4; ++x) {
        const std::int64_t sx = std::int64_t{x} - dx, sy = std::int64_t{y} - dy;
        const bool uncovered = sx < 0 || sx >= 4 || sy < 0 || sy >= 3;
        const Rgb expected =
            uncovered ? kBackground
                      : rgb(1, static_cast<std::uint8_t>(sx), static_cast<std::uint8_t>(sy));
        EXPECT_EQ(s.pixel(x, y), expected) << dx << "," << dy << " at " << x << "," << y;
      }
  }
}

struct Box {
  std::int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box inkBox(const Surface& s) {
  Box b;
  for (auto [x, y] : inked(s)) {
    b.left = std::min(b.left, x);
    b.right = std::max(b.right, x);
    b.top = std::min(b.top, y);
    b.bottom = std::max(b.bottom, y);
  }
  return b;
}

// A text's box is its advances wide (the last column is spacing) and 13 rows tall; capitals
// and digits take rows 3 .. 10 of it.
TEST(Surface, TextIsPlacedByItsRightEdgeOrItsCentreAndTop) {
  struct Case {
    const char* text;
    TextAlign align;
  };
  const Case cases[] = {{"0", TextAlign::RightTop},      {"-130", TextAlign::RightTop},
                        {"dBFS", TextAlign::RightTop},   {"0kHz", TextAlign::CentreTop},
                        {"22kHz", TextAlign::CentreTop}, {"8", TextAlign::CentreTop}};
  for (const Case& c : cases) {
    Surface s(60, 30);
    s.textOut(30, 5, c.text, c.align);
    const std::int32_t width = font::textWidth(c.text);
    const std::int32_t left = c.align == TextAlign::RightTop ? 30 - width : 30 - width / 2;
    const Box box = inkBox(s);
    EXPECT_EQ(box.left, left) << c.text;
    EXPECT_EQ(box.right, left + width - 2) << c.text;
    EXPECT_EQ(box.top, 5 + font::kCapTop) << c.text;
    EXPECT_EQ(box.bottom, 5 + font::kBaseline) << c.text;
  }
  Surface s(60, 30);
  s.textOut(30, 5, "gy", TextAlign::RightTop);
  EXPECT_EQ(inkBox(s).bottom, 5 + font::kLineHeight - 1);  // descenders use the last rows
}

TEST(Surface, TextIsClippedAtEveryEdge) {
  Surface s(10, 10);
  s.textOut(3, -8, "40k", TextAlign::RightTop);    // only the lowest rows show
  s.textOut(12, 6, "-130", TextAlign::CentreTop);  // partly right of the surface
  s.textOut(-2000000000, 2, "dBFS", TextAlign::RightTop);
  s.textOut(5, 2000000000, "dBFS", TextAlign::CentreTop);
  const Box box = inkBox(s);
  EXPECT_GE(box.left, 0);
  EXPECT_LE(box.right, 9);
  EXPECT_EQ(box.top, 0);  // "40k"'s baseline row -8 + 10 = 2 and the rows above it
  EXPECT_EQ(box.bottom, 9);
}

TEST(Surface, EveryPrintableCharacterHasAGlyphInsideTheLine) {
  for (char c = 32; c <= 126; ++c) {
    const font::Glyph& g = font::glyphFor(c);
    EXPECT_EQ(g.advance, g.width + 1) << c;
    EXPECT_GE(g.width, 1) << c;
    EXPECT_LE(g.width, 7) << c;
    bool ink = false;
    for (std::uint16_t row : g.rows) {
      EXPECT_EQ(row >> g.width, 0) << c;
      ink = ink || row != 0;
    }
    EXPECT_EQ(ink, c != ' ') << c;
  }
  EXPECT_EQ(font::glyphFor('\n').rows, font::glyphFor('?').rows);
}

TEST(Surface, MonochromeTurnsEveryColourButWhiteBlack) {
  Surface s(4, 1);
  s.setPixel(0, 0, kRed);
  s.setPixel(1, 0, rgb(254, 255, 255));
  s.setMonochrome(true);
  s.setPixel(2, 0, rgb(0, 208, 96));
  s.setPixel(3, 0, kWhite);
  EXPECT_EQ(s.pixel(0, 0), kBlack);
  EXPECT_EQ(s.pixel(1, 0), kBlack);
  EXPECT_EQ(s.pixel(2, 0), kBlack);
  EXPECT_EQ(s.pixel(3, 0), kWhite);
  s.setMonochrome(false);
  s.setPixel(0, 0, kRed);
  EXPECT_EQ(s.pixel(0, 0), kRed);
}

TEST(Surface, RepaintFillsWithTheBackground) {
  Surface s(3, 3, kBlack);
  s.fillRect(0, 0, 3, 3, Brush{kRed});
  s.setBackground(rgb(0, 0, 1));
  s.repaint();
  EXPECT_EQ(inked(s, rgb(0, 0, 1)), PixelSet{});
}

}  // namespace
}  // namespace kestrel
