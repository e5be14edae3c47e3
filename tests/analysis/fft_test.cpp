// The fixed-point transform: its tables, exact results on simple inputs, and agreement with a
// double-precision DFT on random data.
#include "analysis/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace kestrel {
namespace {

class FftBySize : public ::testing::TestWithParam<std::int32_t> {};

INSTANTIATE_TEST_SUITE_P(AnalyserLengths, FftBySize, ::testing::Values(10, 11, 12));

TEST_P(FftBySize, ScalarsAndQuarterPointTableEntries) {
  const fft engine(GetParam());
  const std::int32_t n = engine.size();
  EXPECT_EQ(n, 1 << GetParam());
  EXPECT_EQ(engine.unity(), 1048576);
  EXPECT_EQ(engine.shift(), 20);

  // The float-rounded step lies just past the quarter points, hence 1048575 there.
  struct Entry {
    std::int32_t index, cos, sin;
  };
  const Entry entries[] = {
      {0, 1048576, 0}, {n / 4, 0, 1048575}, {n / 2, -1048575, 0}, {3 * n / 4, 0, -1048575}};
  for (const Entry& e : entries) {
    EXPECT_EQ(engine.cosTable()[e.index], e.cos) << "entry " << e.index;
    EXPECT_EQ(engine.sinTable()[e.index], e.sin) << "entry " << e.index;
  }
}

TEST_P(FftBySize, ConstantAndImpulseInputsAreExact) {
  const fft engine(GetParam());
  const auto n = static_cast<std::size_t>(engine.size());
  std::vector<ComplexInt> out(n);

  const std::vector<ComplexInt> constant(n, ComplexInt{1000, 0});
  engine.transform(constant.data(), out.data());
  EXPECT_EQ(out[0], (ComplexInt{1000 * engine.size(), 0}));
  for (std::size_t k = 1; k < n; ++k) ASSERT_EQ(out[k], (ComplexInt{0, 0})) << "bin " << k;

  std::vector<ComplexInt> impulse(n, ComplexInt{0, 0});
  impulse[0] = {1000, 0};
  engine.transform(impulse.data(), out.data());
  for (std::size_t k = 0; k < n; ++k) ASSERT_EQ(out[k], (ComplexInt{1000, 0})) << "bin " << k;
}

// An impulse at index 1 reads the twiddle tables straight out: bin k below N/2 holds the
// scaled cosine and sine of k, rounded down, and bin k + N/2 its negation.
TEST(Fft, ImpulseAtIndexOneGivesTheRoundedTwiddles) {
  const fft engine(10);
  std::vector<ComplexInt> in(1024, ComplexInt{0, 0});
  in[1] = {1000000, 0};
  const std::vector<ComplexInt> before = in;
  std::vector<ComplexInt> out(1024);
  engine.transform(in.data(), out.data());

  EXPECT_EQ(in, before);  // the input is only read
  EXPECT_EQ(out[0], (ComplexInt{1000000, 0}));
  EXPECT_EQ(out[256], (ComplexInt{0, 999999}));
  EXPECT_EQ(out[512], (ComplexInt{-1000000, 0}));
  EXPECT_EQ(out[768], (ComplexInt{0, -999999}));
  for (std::int32_t k = 0; k < 512; ++k) {
    const auto rounded = [](std::int32_t table) {
      return static_cast<std::int32_t>((std::int64_t{1000000} * table) >> 20);
    };
    const ComplexInt low{rounded(engine.cosTable()[k]), rounded(engine.sinTable()[k])};
    ASSERT_EQ(out[static_cast<std::size_t>(k)], low) << "bin " << k;
    ASSERT_EQ(out[static_cast<std::size_t>(k + 512)], (ComplexInt{-low.re, -low.im}))
        << "bin " << k + 512;
  }
}

// A complex exponential e^(-2 pi i n / N) lands in bin 1 (the twiddles have a positive
// exponent), its conjugate in bin N - 1; every other bin stays more than 100 dB down.
TEST_P(FftBySize, ExponentialLandsInOneBin) {
  const fft engine(GetParam());
  const std::int32_t n = engine.size();
  for (const int sign : {-1, +1}) {
    std::vector<ComplexInt> in(static_cast<std::size_t>(n));
    for (std::int32_t j = 0; j < n; ++j) {
      const double angle = sign * 2.0 * std::numbers::pi * j / n;
      in[static_cast<std::size_t>(j)] = {
          static_cast<std::int32_t>(std::lround(100000 * std::cos(angle))),
          static_cast<std::int32_t>(std::lround(100000 * std::sin(angle)))};
    }
    std::vector<ComplexInt> out(static_cast<std::size_t>(n));
    engine.transform(in.data(), out.data());
    const std::int32_t peakBin = sign < 0 ? 1 : n - 1;
    const auto magnitude = [&](std::int32_t k) {
      const ComplexInt& c = out[static_cast<std::size_t>(k)];
      return std::hypot(static_cast<double>(c.re), static_cast<double>(c.im));
    };
    EXPECT_NEAR(magnitude(peakBin), 100000.0 * n, 1e-4 * 100000.0 * n);
    for (std::int32_t k = 0; k < n; ++k) {
      if (k == peakBin) continue;
      ASSERT_LT(magnitude(k), magnitude(peakBin) * 1e-5) << "bin " << k;
    }
  }
}

// Against X[k] = sum x[n] e^(+2 pi i n k / N) in double precision. Error sources of the fixed
// point, bounded in the L2 norm over all bins:
//  - twiddles: each is off by under 2^-20 per part (truncation) plus under 1e-7 rad (the float
//    step), so |dW| < 1.5e-6; over log2(N) stages of norm sqrt(2) this adds at most
//    log2(N) * 1.5e-6 * |X|;
//  - rounding down of u and v: under sqrt(2) per butterfly output, i.e. sqrt(2N) per stage,
//    grown by sqrt(2) for each later stage, at most sqrt(2N) * sqrt(N) / (sqrt(2) - 1) < 3.5 N.
// A wrong twiddle sign or a wrong permutation gives an error of the order of |X| itself.
TEST_P(FftBySize, AgreesWithDoublePrecisionDft) {
  const fft engine(GetParam());
  const std::int32_t n = engine.size();
  std::mt19937 random(20240611u + static_cast<unsigned>(n));
  std::uniform_int_distribution<std::int32_t> part(-65536, 65536);

  std::vector<std::complex<double>> twiddle(static_cast<std::size_t>(n));
  for (std::int32_t t = 0; t < n; ++t) {
    twiddle[static_cast<std::size_t>(t)] = std::polar(1.0, 2.0 * std::numbers::pi * t / n);
  }

  for (int trial = 0; trial < 2; ++trial) {
    std::vector<ComplexInt> in(static_cast<std::size_t>(n));
    for (ComplexInt& c : in) c = {part(random), part(random)};
    std::vector<ComplexInt> out(static_cast<std::size_t>(n));
    engine.transform(in.data(), out.data());

    double errorSq = 0.0;
    double referenceSq = 0.0;
    for (std::int32_t k = 0; k < n; ++k) {
      std::complex<double> sum = 0.0;
      for (std::int32_t j = 0; j < n; ++j) {
        const ComplexInt& x = in[static_cast<std::size_t>(j)];
        sum += std::complex<double>(x.re, x.im) *
               twiddle[static_cast<std::size_t>((static_cast<std::int64_t>(j) * k) % n)];
      }
      const ComplexInt& y = out[static_cast<std::size_t>(k)];
      errorSq += std::norm(std::complex<double>(y.re, y.im) - sum);
      referenceSq += std::norm(sum);
    }
    const double bound = GetParam() * 1.5e-6 * std::sqrt(referenceSq) + 3.5 * n;
    EXPECT_LT(std::sqrt(errorSq), bound) << "trial " << trial;
  }
}

}  // namespace
}  // namespace kestrel
