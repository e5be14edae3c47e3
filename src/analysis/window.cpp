// Window tables: cosine-sum windows, periodic over the FFT length, 32767 per unit.
#include "analysis/window.h"

#include <cmath>

#include "analysis/numeric.h"

namespace kestrel {

namespace {

// Multiples of pi as double constants: each harmonic's angle is n * K / fftSize, never a
// multiple of the first angle, so the tables come out the same in double and extended.
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;
constexpr double kSixPi = 18.84955592153876;
constexpr double kEightPi = 25.132741228718345;

double cosAt(std::int32_t n, double multipleOfPi, std::int32_t fftSize) {
  const double angle = n * multipleOfPi / fftSize;
  return std::cos(angle);
}

// The window formula at entry n, terms summed left to right as written.
double windowValue(WindowFunction window, std::int32_t n, std::int32_t fftSize) {
  switch (window) {
    case WindowFunction::KaiserBessel:
      return ((1.0 - 1.24 * cosAt(n, kTwoPi, fftSize)) + 0.244 * cosAt(n, kFourPi, fftSize)) -
             0.00305 * cosAt(n, kSixPi, fftSize);
    case WindowFunction::FlatTop:
      return (((1.0 - 1.933 * cosAt(n, kTwoPi, fftSize)) + 1.286 * cosAt(n, kFourPi, fftSize)) -
              0.388 * cosAt(n, kSixPi, fftSize)) +
             0.0322 * cosAt(n, kEightPi, fftSize);
    case WindowFunction::Hanning:
      break;
  }
  return 1.0 - cosAt(n, kTwoPi, fftSize);
}

}  // namespace

void fillWindowTable(WindowFunction window, std::int32_t fftSize, std::int32_t* table) {
  for (std::int32_t n = 0; n < fftSize; ++n) {
    table[n] = low32(truncToInt64(windowValue(window, n, fftSize) * 32767));
  }
}

}  // namespace kestrel
