// Golden pictures of the rulers at the design window size, as the controls show them.
#include <gtest/gtest.h>

#include "display/displays.h"
#include "golden.h"

namespace kestrel {
namespace {

// The top-left width x height part of a ruler's surface: what its control shows.
Surface visiblePart(const Surface& s, std::int32_t width, std::int32_t height) {
  Surface part(width, height);
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) part.setPixel(x, y, s.pixel(x, y));
  return part;
}

struct AmplitudeCase {
  const char* name;
  std::int32_t ampScale;
};

TEST(RulerGolden, AmplitudeRulerAtTheDesignHeight) {
  const AmplitudeCase cases[] = {{"amplitude-ruler-x1-linear", 1}, {"amplitude-ruler-100db", 100}};
  for (const AmplitudeCase& c : cases) {
    DisplaySettings s;
    s.ampScale = c.ampScale;
    s.levelsPerPixel = 46;
    Surface ruler(kAmplitudeRulerWidth, kAmplitudeRulerHeight);
    drawAmplitudeRuler(ruler, kAmplitudeRulerWidth, 387, s);
    testing::expectMatchesGolden(visiblePart(ruler, kAmplitudeRulerWidth, 387), c.name);
  }
}

struct FrequencyCase {
  const char* name;
  std::int32_t freqScale;
};

TEST(RulerGolden, FrequencyRulerAtTheDesignWidth) {
  const FrequencyCase cases[] = {{"frequency-ruler-normal", 1}, {"frequency-ruler-log", kFreqLog}};
  for (const FrequencyCase& c : cases) {
    DisplaySettings s;
    s.freqScale = c.freqScale;
    Surface ruler(kFrequencyRulerWidth, kFrequencyRulerHeight);
    drawFrequencyRuler(ruler, 988, kFrequencyRulerHeight, 40, s);
    testing::expectMatchesGolden(visiblePart(ruler, 988, kFrequencyRulerHeight), c.name);
  }
}

}  // namespace
}  // namespace kestrel
