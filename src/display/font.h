// The built-in bitmap font: printable ASCII in a 13-pixel line, like a small interface font, so
// that labels look the same everywhere and tests can assert their pixels.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrel::font {

// Text drawn with its top at y occupies rows y .. y + 12: capitals and digits in rows y + 3 ..
// y + 10 (the baseline), descenders down to y + 12.
inline constexpr std::int32_t kLineHeight = 13;
inline constexpr std::int32_t kCapTop = 3;
inline constexpr std::int32_t kBaseline = 10;

struct Glyph {
  std::int32_t width = 0;                         // inked columns
  std::int32_t advance = 0;                       // width plus one column of spacing
  std::array<std::uint16_t, kLineHeight> rows{};  // bit c set: column c is inked
};

// The glyph of a printable character; anything else draws as '?'.
const Glyph& glyphFor(char c);
// The sum of the advances: what right and centre alignment measure.
std::int32_t textWidth(std::string_view text);

}  // namespace kestrel::font
