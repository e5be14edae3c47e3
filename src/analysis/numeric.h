// Small exact-arithmetic helpers shared by the fixed-point and floating-point paths.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kestrel {

// Float-to-integer conversion as the analyser does it everywhere: truncate toward zero into a
// 64-bit integer. A value outside the 64-bit range saturates and NaN gives 0, so no input can
// reach the undefined conversion; none of the analyser's own values comes near those limits.
inline std::int64_t truncToInt64(long double value) {
  if (std::isnan(value)) return 0;
  constexpr long double kTwo63 = 9223372036854775808.0L;
  if (value >= kTwo63) return std::numeric_limits<std::int64_t>::max();
  if (value < -kTwo63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

// The low 32 bits of a 64-bit value, read as two's complement (well defined since C++20).
inline std::int32_t low32(std::int64_t value) {
  return static_cast<std::int32_t>(value);
}

// 32-bit two's-complement addition and subtraction: wrap-around, never signed overflow.
inline std::int32_t wrapAdd32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapSub32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapMul32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace kestrel
