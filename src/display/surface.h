// Our drawing surface: a raster of 32-bit pixels (0xffRRGGBB, row-major, the layout Qt shows
// as QImage::Format_RGB32 without copying) with the few operations the displays need. Every
// operation clips to the surface first and returns early when nothing is left, so coordinates
// far outside it are safe and cheap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel {

using Rgb = std::uint32_t;  // 0xffRRGGBB

constexpr Rgb rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return 0xff000000u | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | std::uint32_t{b};
}
constexpr std::uint8_t redOf(Rgb c) {
  return static_cast<std::uint8_t>(c >> 16);
}
constexpr std::uint8_t greenOf(Rgb c) {
  return static_cast<std::uint8_t>(c >> 8);
}
constexpr std::uint8_t blueOf(Rgb c) {
  return static_cast<std::uint8_t>(c);
}

inline constexpr Rgb kWhite = rgb(255, 255, 255);
inline constexpr Rgb kBlack = rgb(0, 0, 0);

// Plain values: nothing to create, select, restore or delete.
struct Pen {
  Rgb colour = kBlack;
  int width = 0;  // 0: the thinnest, one-pixel line
};
struct Brush {
  Rgb colour = kWhite;
};

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Where text goes relative to the point given to textOut.
enum class TextAlign {
  RightTop,   // the text's right edge at x, its top at y
  CentreTop,  // the text's horizontal centre at x, its top at y
};

class Surface {
 public:
  Surface(std::int32_t width, std::int32_t height, Rgb background = kWhite);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  const std::uint32_t* pixels() const { return pixels_.data(); }
  std::uint32_t* pixels() { return pixels_.data(); }
  std::size_t bytesPerLine() const { return static_cast<std::size_t>(width_) * 4; }

  // The pixel at (x, y); kBlack outside the surface.
  Rgb pixel(std::int32_t x, std::int32_t y) const;

  // The colour that a repaint fills with and that a scroll uncovers.
  Rgb background() const { return background_; }
  void setBackground(Rgb colour) { background_ = colour; }
  // The whole surface to its background colour (a panel's repaint).
  void repaint();

  // In monochrome mode every colour drawn becomes black, except white, which stays white;
  // switching it on turns the present contents black on white the same way.
  void setMonochrome(bool on);
  bool monochrome() const { return monochrome_; }

  // Left and top inclusive, right and bottom exclusive.
  void fillRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                Brush brush);
  void setPixel(std::int32_t x, std::int32_t y, Rgb colour);

  // A line from the current position to (x, y); the end point is not painted and becomes the
  // current position.
  void moveTo(std::int32_t x, std::int32_t y);
  void lineTo(std::int32_t x, std::int32_t y, Pen pen);
  Point currentPosition() const { return position_; }
  // Connected segments through the points; the last end point is not painted. The current
  // position is not used and not changed.
  void polyline(const Point* points, std::size_t count, Pen pen);
  // Connected segments from the current position through the points; ends at the last one.
  void polylineTo(const Point* points, std::size_t count, Pen pen);

  // Shifts the contents by (dx, dy); the strip uncovered is filled with the background.
  void scroll(std::int32_t dx, std::int32_t dy);

  // Text in the built-in font, placed by the alignment.
  void textOut(std::int32_t x, std::int32_t y, std::string_view text, TextAlign align,
               Rgb colour = kBlack);

 private:
  Rgb ink(Rgb colour) const;
  void drawLine(Point from, Point to, Rgb colour);

  std::int32_t width_;
  std::int32_t height_;
  std::vector<std::uint32_t> pixels_;
  Rgb background_;
  bool monochrome_ = false;
  Point position_{};
};

}  // namespace kestrel
