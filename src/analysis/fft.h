// The analyser's transform engine: a radix-2 decimation-in-time complex FFT on 32-bit integers,
// twiddles scaled by 2^20, no scaling between stages. Results are fixed to the bit.
#pragma once

#include <cstdint>
#include <memory>

#include "analysis/complex_int.h"

namespace kestrel {

// The name is the one the rest of the program knows it by.
class fft {  // NOLINT(readability-identifier-naming)
 public:
  // log2Size >= 1; the analyser uses 10, 11 and 12. Builds the three tables once.
  explicit fft(std::int32_t log2Size);

  fft(const fft&) = delete;
  fft& operator=(const fft&) = delete;

  // out := transform of in; both hold size() values and must be distinct arrays. in is only
  // read. Allocates nothing.
  void transform(const ComplexInt* in, ComplexInt* out) const;

  std::int32_t log2Size() const { return log2Size_; }
  std::int32_t size() const { return size_; }
  std::int32_t unity() const { return unity_; }
  std::int32_t shift() const { return shift_; }
  const std::int32_t* bitReverse() const { return bitReverse_.get(); }
  const std::int32_t* cosTable() const { return cosTable_.get(); }
  const std::int32_t* sinTable() const { return sinTable_.get(); }

 private:
  std::int32_t log2Size_;                       // base-2 logarithm of the length
  std::int32_t log2SizeLess1_;                  // log2Size - 1
  std::int32_t size_;                           // N = 2^log2Size
  std::unique_ptr<std::int32_t[]> bitReverse_;  // i with its low log2Size bits reversed
  std::unique_ptr<std::int32_t[]> cosTable_;    // trunc(cos(i * step) * unity)
  std::unique_ptr<std::int32_t[]> sinTable_;    // trunc(sin(i * step) * unity)
  std::int32_t unity_;                          // 1.0 in the tables: 2^20
  std::int32_t shift_;                          // right shift after every twiddle product: 20
};

}  // namespace kestrel
