// The fixed-point transform: tables built once per length, then a plain radix-2 butterfly
// network whose integer rounding is part of the analyser's results.
#include "analysis/fft.h"

#include <cassert>
#include <cmath>

#include "analysis/numeric.h"

namespace kestrel {

fft::fft(std::int32_t log2Size)
    : log2Size_(log2Size),
      log2SizeLess1_(log2Size - 1),
      size_(std::int32_t{1} << log2Size),
      bitReverse_(std::make_unique<std::int32_t[]>(static_cast<std::size_t>(size_))),
      cosTable_(std::make_unique<std::int32_t[]>(static_cast<std::size_t>(size_))),
      sinTable_(std::make_unique<std::int32_t[]>(static_cast<std::size_t>(size_))),
      unity_(std::int32_t{1} << 20),
      shift_(20) {
  assert(log2Size >= 1 && log2Size <= 30);

  for (std::int32_t i = 0; i < size_; ++i) {
    std::int32_t reversed = 0;
    std::int32_t rest = i;
    for (std::int32_t bit = 0; bit < log2Size_; ++bit) {
      reversed = 2 * reversed + (rest & 1);
      rest >>= 1;
    }
    bitReverse_[i] = reversed;
  }

  // The step is rounded to float on purpose: it comes out a little above 2*pi/size, which is
  // why the quarter-point entries hold 1048575 rather than 1048576.
  const float step = static_cast<float>(6.283185307179586 / size_);
  for (std::int32_t i = 0; i < size_; ++i) {
    const double angle = i * static_cast<double>(step);  // exact: i < 2^24, step has 24 bits
    cosTable_[i] = low32(truncToInt64(std::cos(angle) * unity_));
    sinTable_[i] = low32(truncToInt64(std::sin(angle) * unity_));
  }
}

namespace {

// One butterfly: b is turned by the twiddle (c, sn), then a := a + wb and b := a - wb.
inline void butterfly(ComplexInt& a, ComplexInt& b, std::int64_t c, std::int64_t sn,
                      std::int32_t shift) {
  // Products of a 2^20-scaled twiddle and a 32-bit value stay below 2^52, so the 64-bit sums
  // are exact; >> on a negative value rounds toward minus infinity.
  const std::int32_t u = low32((c * b.re - sn * b.im) >> shift);
  const std::int32_t v = low32((sn * b.re + c * b.im) >> shift);
  const ComplexInt top = a;
  a = {wrapAdd32(top.re, u), wrapAdd32(top.im, v)};
  b = {wrapSub32(top.re, u), wrapSub32(top.im, v)};
}

}  // namespace

void fft::transform(const ComplexInt* in, ComplexInt* out) const {
  assert(in != out);
  for (std::int32_t i = 0; i < size_; ++i) out[i] = in[bitReverse_[i]];

  // The butterflies of one stage touch disjoint pairs, so their order does not change the
  // result; the longer of the two loops goes inside.
  for (std::int32_t stage = 0; stage < log2Size_; ++stage) {
    const std::int32_t half = std::int32_t{1} << stage;
    const std::int32_t groups = std::int32_t{1} << (log2SizeLess1_ - stage);
    if (groups >= half) {
      for (std::int32_t j = 0; j < half; ++j) {
        const std::int64_t c = cosTable_[j * groups];
        const std::int64_t sn = sinTable_[j * groups];
        for (std::int32_t k = 0; k < groups; ++k) {
          const std::int32_t a = 2 * k * half + j;
          butterfly(out[a], out[a + half], c, sn, shift_);
        }
      }
    } else {
      for (std::int32_t k = 0; k < groups; ++k) {
        ComplexInt* group = out + 2 * k * half;
        for (std::int32_t j = 0; j < half; ++j) {
          butterfly(group[j], group[j + half], cosTable_[j * groups], sinTable_[j * groups],
                    shift_);
        }
      }
    }
  }
}

}  // namespace kestrel
