// Window tables: the telling entries, symmetry, and the flat-top's negative ends.
#include "analysis/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrel {
namespace {

std::vector<std::int32_t> table(WindowFunction window, std::int32_t fftSize) {
  std::vector<std::int32_t> entries(static_cast<std::size_t>(fftSize));
  fillWindowTable(window, fftSize, entries.data());
  return entries;
}

struct Telling {
  WindowFunction window;
  std::int32_t at0, atQuarter, atHalf, atThreeQuarters;
  std::int32_t negativeEntries[3];  // for 1024, 2048, 4096
};

// 32767 times the formula at 0, pi/2, pi and 3pi/2, truncated: Hanning 1 - cos x; Kaiser-Bessel
// 0.00095, 0.756, 2.48705; flat-top -0.0028, -0.2538, 4.6392. The Hanning peak is 65534 because
// the cosine of the double nearest pi is exactly -1; its quarter points differ because the
// cosine there is a tiny positive and a tiny negative number.
const Telling kTelling[] = {
    {WindowFunction::Hanning, 0, 32766, 65534, 32767, {0, 0, 0}},
    {WindowFunction::KaiserBessel, 31, 24771, 81493, 24771, {0, 0, 0}},
    {WindowFunction::FlatTop, -91, -8316, 152012, -8316, {577, 1153, 2307}},
};

TEST(WindowTable, TellingEntriesSymmetryAndNegativeCounts) {
  const std::int32_t sizes[] = {1024, 2048, 4096};
  for (const Telling& t : kTelling) {
    for (std::size_t s = 0; s < 3; ++s) {
      const std::int32_t n = sizes[s];
      SCOPED_TRACE(::testing::Message() << "window " << static_cast<int>(t.window) << ", N " << n);
      const std::vector<std::int32_t> w = table(t.window, n);
      const auto at = [&](std::int32_t i) { return w[static_cast<std::size_t>(i)]; };
      EXPECT_EQ(at(0), t.at0);
      EXPECT_EQ(at(n / 4), t.atQuarter);
      EXPECT_EQ(at(n / 2), t.atHalf);
      EXPECT_EQ(at(3 * n / 4), t.atThreeQuarters);
      EXPECT_EQ(*std::max_element(w.begin(), w.end()), t.atHalf);
      EXPECT_EQ(std::count_if(w.begin(), w.end(), [](std::int32_t v) { return v < 0; }),
                t.negativeEntries[s]);
      for (std::int32_t i = 1; i < n / 2; ++i) {
        if (t.window == WindowFunction::Hanning && i == n / 4) continue;
        ASSERT_EQ(at(n - i), at(i)) << "entry " << i;
      }
    }
  }
}

}  // namespace
}  // namespace kestrel
