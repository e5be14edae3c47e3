// One complex sample of the fixed-point transform: real part, then imaginary part.
#pragma once

#include <cstdint>

namespace kestrel {

struct ComplexInt {
  std::int32_t re;
  std::int32_t im;
  friend bool operator==(const ComplexInt&, const ComplexInt&) = default;
};

}  // namespace kestrel
