// The drawing surface: clipped fills, lines, pixels, scrolling and text on a plain raster.
#include "display/surface.h"

#include <algorithm>
#include <cstring>

#include "display/font.h"

namespace kestrel {

namespace {

// Products of two 33-bit coordinate differences need more than 64 bits.
__extension__ using Int128 = __int128;

// Ceiling of a / b for b > 0.
Int128 ceilDiv(Int128 a, Int128 b) {
  Int128 q = a / b;
  if (q * b < a) ++q;
  return q;
}

}  // namespace

Surface::Surface(std::int32_t width, std::int32_t height, Rgb background)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), background),
      background_(background) {}

Rgb Surface::pixel(std::int32_t x, std::int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kBlack;
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)];
}

Rgb Surface::ink(Rgb colour) const {
  if (!monochrome_) return colour;
  return colour == kWhite ? kWhite : kBlack;
}

void Surface::repaint() {
  std::fill(pixels_.begin(), pixels_.end(), ink(background_));
}

void Surface::setMonochrome(bool on) {
  monochrome_ = on;
  if (!on) return;
  for (auto& p : pixels_) p = ink(p);
}

void Surface::fillRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                       Brush brush) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  if (left >= right || top >= bottom) return;
  const Rgb c = ink(brush.colour);
  for (std::int32_t y = top; y < bottom; ++y) {
    auto* row = pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    std::fill(row + left, row + right, c);
  }
}

void Surface::setPixel(std::int32_t x, std::int32_t y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
          static_cast<std::size_t>(x)] = ink(colour);
}

void Surface::moveTo(std::int32_t x, std::int32_t y) {
  position_ = {x, y};
}

void Surface::lineTo(std::int32_t x, std::int32_t y, Pen pen) {
  drawLine(position_, {x, y}, pen.colour);
  position_ = {x, y};
}

void Surface::polyline(const Point* points, std::size_t count, Pen pen) {
  for (std::size_t i = 1; i < count; ++i) drawLine(points[i - 1], points[i], pen.colour);
}

void Surface::polylineTo(const Point* points, std::size_t count, Pen pen) {
  for (std::size_t i = 0; i < count; ++i) lineTo(points[i].x, points[i].y, pen);
}

// One Bresenham-style line with its end point left out. Step i along the major axis (i = 0 is
// the start, i = n the unpainted end) paints the minor offset round(i * minor / major), halves
// away from the start. Clipping restricts the range of i analytically to the steps whose pixel
// lies inside the surface, so a clipped line paints exactly the pixels the whole line would
// paint there, and the cost depends only on the visible part.
void Surface::drawLine(Point from, Point to, Rgb colour) {
  const std::int64_t dx = std::int64_t{to.x} - from.x;
  const std::int64_t dy = std::int64_t{to.y} - from.y;
  if (dx == 0 && dy == 0) return;
  const Rgb c = ink(colour);

  if (dy == 0) {  // horizontal: the pixels from..to, end excluded
    if (from.y < 0 || from.y >= height_) return;
    std::int64_t a = from.x, b = to.x;  // [a, b) or (b, a]
    std::int64_t lo = dx > 0 ? a : b + 1;
    std::int64_t hi = dx > 0 ? b : a + 1;
    lo = std::max<std::int64_t>(lo, 0);
    hi = std::min<std::int64_t>(hi, width_);
    if (lo >= hi) return;
    auto* row =
        pixels_.data() + static_cast<std::size_t>(from.y) * static_cast<std::size_t>(width_);
    std::fill(row + lo, row + hi, c);
    return;
  }
  if (dx == 0) {  // vertical
    if (from.x < 0 || from.x >= width_) return;
    std::int64_t lo = dy > 0 ? from.y : std::int64_t{to.y} + 1;
    std::int64_t hi = dy > 0 ? to.y : std::int64_t{from.y} + 1;
    lo = std::max<std::int64_t>(lo, 0);
    hi = std::min<std::int64_t>(hi, height_);
    for (std::int64_t y = lo; y < hi; ++y)
      pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
              static_cast<std::size_t>(from.x)] = c;
    return;
  }

  const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  const std::int64_t major0 = xMajor ? from.x : from.y;
  const std::int64_t minor0 = xMajor ? from.y : from.x;
  const std::int64_t dMajor = xMajor ? dx : dy;
  const std::int64_t dMinor = xMajor ? dy : dx;
  const std::int64_t majorSize = xMajor ? width_ : height_;
  const std::int64_t minorSize = xMajor ? height_ : width_;
  const std::int64_t sMajor = dMajor > 0 ? 1 : -1;
  const std::int64_t sMinor = dMinor > 0 ? 1 : -1;
  const std::int64_t aMajor = dMajor * sMajor;  // n steps, 1 .. 2^32
  const std::int64_t aMinor = dMinor * sMinor;  // 1 .. aMajor

  // Steps whose major coordinate lies inside the surface.
  std::int64_t iLo = 0, iHi = aMajor;  // [iLo, iHi)
  if (sMajor > 0) {
    iLo = std::max(iLo, -major0);
    iHi = std::min(iHi, majorSize - major0);
  } else {
    iLo = std::max(iLo, major0 - majorSize + 1);
    iHi = std::min(iHi, major0 + 1);
  }
  if (iLo >= iHi) return;

  // offset(i) = floor((2 i aMinor + aMajor) / (2 aMajor)), non-decreasing in i. Keep the steps
  // whose offset lies in [offLo, offHi], the offsets that put the minor coordinate inside.
  const std::int64_t offLo = sMinor > 0 ? -minor0 : minor0 - (minorSize - 1);
  const std::int64_t offHi = sMinor > 0 ? minorSize - 1 - minor0 : minor0;
  if (offHi < 0 || offLo > offHi) return;
  const Int128 twoMajor = Int128{2} * aMajor;
  const Int128 twoMinor = Int128{2} * aMinor;
  // The first i with offset(i) >= k.
  auto firstStepReaching = [&](std::int64_t k) -> Int128 {
    return ceilDiv(twoMajor * k - aMajor, twoMinor);
  };
  const Int128 first = std::max<Int128>(iLo, offLo > 0 ? firstStepReaching(offLo) : 0);
  const Int128 last = std::min<Int128>(iHi, firstStepReaching(offHi + 1));
  if (first >= last) return;
  // Both now lie in [iLo, iHi].
  iLo = static_cast<std::int64_t>(first);
  iHi = static_cast<std::int64_t>(last);

  // Walk the visible steps with the remainder of the offset's division.
  const Int128 num = Int128{2} * iLo * aMinor + aMajor;
  std::int64_t offset = static_cast<std::int64_t>(num / twoMajor);
  std::int64_t rem = static_cast<std::int64_t>(num % twoMajor);
  const std::int64_t twoMajor64 = 2 * aMajor;
  const std::int64_t twoMinor64 = 2 * aMinor;
  std::int64_t major = major0 + sMajor * iLo;
  for (std::int64_t i = iLo; i < iHi; ++i) {
    const std::int64_t minor = minor0 + sMinor * offset;
    const std::int64_t x = xMajor ? major : minor;
    const std::int64_t y = xMajor ? minor : major;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = c;
    major += sMajor;
    rem += twoMinor64;
    if (rem >= twoMajor64) {
      rem -= twoMajor64;
      ++offset;
    }
  }
}

void Surface::scroll(std::int32_t dx, std::int32_t dy) {
  if (dx == 0 && dy == 0) return;
  const Rgb bg = ink(background_);
  const std::int64_t w = width_, h = height_;
  if (dx <= -w || dx >= w || dy <= -h || dy >= h) {
    std::fill(pixels_.begin(), pixels_.end(), bg);
    return;
  }
  const std::size_t stride = static_cast<std::size_t>(width_);
  const std::size_t spanWidth = static_cast<std::size_t>(w - (dx < 0 ? -dx : dx));
  const std::int64_t srcX = dx < 0 ? -dx : 0;
  const std::int64_t dstX = dx > 0 ? dx : 0;
  // Rows in the order that never overwrites a row still to be read.
  auto moveRow = [&](std::int64_t y) {
    const std::int64_t srcY = y - dy;
    auto* dst = pixels_.data() + static_cast<std::size_t>(y) * stride;
    if (srcY < 0 || srcY >= h) {
      std::fill(dst, dst + stride, bg);
      return;
    }
    const auto* src = pixels_.data() + static_cast<std::size_t>(srcY) * stride;
    std::memmove(dst + dstX, src + srcX, spanWidth * sizeof(std::uint32_t));
    std::fill(dst, dst + dstX, bg);
    std::fill(dst + dstX + static_cast<std::int64_t>(spanWidth), dst + stride, bg);
  };
  if (dy > 0) {
    for (std::int64_t y = h - 1; y >= 0; --y) moveRow(y);
  } else {
    for (std::int64_t y = 0; y < h; ++y) moveRow(y);
  }
}

void Surface::textOut(std::int32_t x, std::int32_t y, std::string_view text, TextAlign align,
                      Rgb colour) {
  const std::int64_t width = font::textWidth(text);
  std::int64_t left = align == TextAlign::RightTop ? x - width : x - width / 2;
  const Rgb c = ink(colour);
  if (std::int64_t{y} + font::kLineHeight <= 0 || y >= height_) return;
  for (char ch : text) {
    const font::Glyph& g = font::glyphFor(ch);
    if (left >= width_) break;
    if (left + g.width > 0) {
      for (std::int32_t row = 0; row < font::kLineHeight; ++row) {
        const std::int64_t py = std::int64_t{y} + row;
        if (py < 0 || py >= height_) continue;
        const std::uint16_t bits = g.rows[static_cast<std::size_t>(row)];
        if (bits == 0) continue;
        for (std::int32_t col = 0; col < g.width; ++col) {
          const std::int64_t px = left + col;
          if ((bits >> col & 1u) == 0 || px < 0 || px >= width_) continue;
          pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_) +
                  static_cast<std::size_t>(px)] = c;
        }
      }
    }
    left += g.advance;
  }
}

}  // namespace kestrel
