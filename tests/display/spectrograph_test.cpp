// The spectrograph's mapping of bins and levels onto the plot, its strip-wise erase and redraw,
// its colours, and the display step's choice of visualisation.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "display/displays.h"

namespace kestrel {
namespace {

constexpr Rgb kRed = rgb(255, 0, 0);
constexpr Rgb kGrey = rgb(128, 128, 128);
constexpr Rgb kBrightGreen = rgb(0, 255, 0);
// What the panel showed before the block: lets a test see what the block did not touch.
constexpr Rgb kUntouched = rgb(10, 20, 30);

DisplaySettings settingsFor(std::int32_t freqScale, std::int32_t sampleRate, std::int32_t fftSize,
                            std::int32_t levelsPerPixel = 46) {
  DisplaySettings s;
  s.freqScale = freqScale;
  s.sampleRate = sampleRate;
  s.fftSize = fftSize;
  s.levelsPerPixel = levelsPerPixel;
  return s;
}

TEST(SpectrographTest, BinsLieOnTheFrequencyScale) {
  struct Case {
    std::int32_t freqScale, sampleRate, fftSize, bin, x;
  };
  const Case cases[] = {
      {1, 44100, 2048, 0, 0},
      {1, 44100, 2048, 1023, 1023},
      {2, 44100, 2048, 5, 10},
      {3, 44100, 2048, 1023, 3069},  // far right of the panel: clipped when drawn
      // Logarithmic, 128 ln(f / 20 Hz): the lowest bins share the left edge.
      {kFreqLog, 44100, 2048, 0, 0},
      {kFreqLog, 44100, 2048, 1, 0},
      {kFreqLog, 44100, 2048, 2, 0},
      {kFreqLog, 44100, 2048, 5, 215},
      {kFreqLog, 44100, 2048, 46, 499},
      {kFreqLog, 44100, 2048, 1023, 896},
      {kFreqLog, 40960, 2048, 3, 140},    // 60 Hz: 128 ln 3
      {kFreqLog, 40960, 2048, 10, 294},   // 200 Hz: a decade, 294.7
      {kFreqLog, 48000, 1024, 511, 907},  // 23.95 kHz
      // Below 20 Hz a bin lies left of the panel, truncated toward zero.
      {kFreqLog, 8000, 4096, 3, -157},  // 5.86 Hz: -157.14
      {kFreqLog, 8000, 4096, 10, -3},   // 19.5 Hz: -3.04
  };
  for (const Case& c : cases) {
    EXPECT_EQ(binToX(c.bin, settingsFor(c.freqScale, c.sampleRate, c.fftSize)), c.x)
        << "scale " << c.freqScale << " at " << c.sampleRate << " Hz, FFT " << c.fftSize << ", bin "
        << c.bin;
  }
}

TEST(SpectrographTest, LevelsBecomeRowsWithoutClamping) {
  struct Case {
    std::int32_t level, y;
  };
  // 10 rows at 46 levels per pixel: level 0 on the bottom row, y = 9 - level / 46.
  const Case cases[] = {
      {0, 9}, {45, 9}, {46, 8}, {414, 0}, {459, 0}, {460, -1}, {50'000'000, 9 - 1'086'956},
  };
  const DisplaySettings settings = settingsFor(2, 44100, 2 * std::size(cases));
  std::vector<std::int32_t> levels;
  for (const Case& c : cases) levels.push_back(c.level);
  const std::int32_t n = settings.fftSize / 2;
  std::vector<Point> points(2 * n, Point{-1, -1});

  mapLevelsToPoints(levels.data(), points.data(), n, 10, settings);

  for (std::int32_t i = 0; i < n; ++i) {
    EXPECT_EQ(points[i], (Point{-1, -1})) << "the first half is not written, point " << i;
    EXPECT_EQ(points[n + i], (Point{2 * i, cases[i].y})) << "level " << cases[i].level;
  }
}

// Each strip of 64 bins is erased from its first point's x to its last point's x + 3 (exclusive),
// over the whole height; the trace ends unpainted at the last point.
TEST(SpectrographTest, EachStripErasesFromItsFirstPointToThreePastItsLast) {
  constexpr std::int32_t kN = 128, kH = 6, kW = 220, kRow = 2;
  std::vector<Point> points(kN);
  // A gap between the strips shows that each strip erases only its own columns.
  for (std::int32_t i = 0; i < 64; ++i) points[i] = {i, kRow};
  for (std::int32_t i = 64; i < kN; ++i) points[i] = {100 + (i - 64), kRow};
  Surface plot(kW, kH, kUntouched);
  const Rgb colours[2] = {kBlack, kGrey};

  drawSpectrograph(plot, points.data(), kN, colours, 1);

  for (std::int32_t x = 0; x < kW; ++x) {
    const bool erased = x < 66 || (x >= 100 && x < 166);
    // The line runs from x 0 to 163, the joining segment between the strips included; 163 is
    // its unpainted end point.
    const bool onLine = x < 163;
    for (std::int32_t y = 0; y < kH; ++y) {
      const Rgb expected = (y == kRow && onLine) ? kBlack : erased ? kWhite : kUntouched;
      ASSERT_EQ(plot.pixel(x, y), expected) << "at (" << x << ", " << y << ")";
    }
  }
}

// Through the display step: the erased area ends at the last bin's x + 3 on every scale.
TEST(SpectrographTest, NothingRightOfTheLastBinIsErased) {
  struct Case {
    std::int32_t freqScale, fftSize, width, erasedUpTo;
  };
  const Case cases[] = {
      {1, 1024, 600, 513},          // 512 bins on a wider panel: 514 .. 599 keep their picture
      {2, 256, 300, 256},           // 128 bins, two pixels each
      {3, 256, 400, 383},           // three pixels each: the strips meet without a gap
      {kFreqLog, 1024, 1000, 909},  // 48 kHz: the last bin at x 907
  };
  for (const Case& c : cases) {
    constexpr std::int32_t kH = 5;
    Surface plot(c.width, kH, kUntouched);
    DisplaySettings settings = settingsFor(c.freqScale, 48000, c.fftSize, 1000);
    const std::vector<std::int32_t> levels(c.fftSize / 2, 0);
    PlotInputs inputs;
    inputs.binLevels = levels.data();
    inputs.avgLevels = levels.data();

    displayStep(plot, inputs, settings);

    for (std::int32_t x = 0; x < c.width; ++x) {
      const Rgb top = plot.pixel(x, 0);
      ASSERT_EQ(top, x <= c.erasedUpTo ? kWhite : kUntouched)
          << "scale " << c.freqScale << ", FFT " << c.fftSize << ", x " << x;
    }
  }
}

TEST(SpectrographTest, AverageIsGreyUnderTheCurrentTrace) {
  constexpr std::int32_t kN = 128, kH = 8;
  std::vector<Point> points(2 * kN);
  // The current trace on row 2 over the first strip and a half, then on the average's row 5.
  for (std::int32_t i = 0; i < kN; ++i) {
    points[i] = {i, i < 96 ? 2 : 5};
    points[kN + i] = {i, 5};
  }
  Surface plot(140, kH, kUntouched);
  const Rgb colours[2] = {kBlack, kGrey};

  drawSpectrograph(plot, points.data(), kN, colours, 2);

  struct Probe {
    std::int32_t x, y;
    Rgb colour;
  };
  const Probe probes[] = {
      {10, 2, kBlack},  {10, 5, kGrey},    // apart: both visible
      {80, 2, kBlack},  {80, 5, kGrey},    // the same in the second strip
      {100, 5, kBlack}, {126, 5, kBlack},  // together: the current trace on top, in both strips
      {64, 5, kGrey},   {63, 5, kGrey},    // the average's joining segment between the strips
      {127, 5, kWhite},                    // the last point is not painted
      {100, 2, kWhite},
  };
  for (const Probe& p : probes) {
    EXPECT_EQ(plot.pixel(p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ")";
  }
}

// Bins 10 .. 19 lie millions of levels above the top: the line leaves through the top edge and
// comes back where the levels fall.
TEST(SpectrographTest, LevelsAboveTheTopLeaveThroughTheTopEdge) {
  constexpr std::int32_t kH = 20;
  std::vector<std::int32_t> levels(64, 0);
  for (std::int32_t i = 10; i < 20; ++i) levels[i] = 50'000'000;
  const DisplaySettings settings = settingsFor(1, 44100, 128, 46);
  Surface plot(80, kH);
  PlotInputs inputs;
  inputs.binLevels = levels.data();

  displayStep(plot, inputs, settings);

  for (std::int32_t y = 0; y < kH; ++y) {
    EXPECT_EQ(plot.pixel(9, y), kBlack) << "rising out of the panel, row " << y;
    EXPECT_EQ(plot.pixel(20, y), kBlack) << "falling back into it, row " << y;
    for (std::int32_t x = 11; x < 19; ++x) EXPECT_EQ(plot.pixel(x, y), kWhite);
  }
  EXPECT_EQ(plot.pixel(5, kH - 1), kBlack);
  EXPECT_EQ(plot.pixel(40, kH - 1), kBlack);
}

// One block after another on the same panel: red while either channel clips, black again as
// soon as neither does; the average stays grey throughout.
TEST(SpectrographTest, CurrentTraceIsRedWhileEitherChannelClips) {
  struct Block {
    bool clipLeft, clipRight;
    Rgb trace;
  };
  const Block blocks[] = {
      {false, false, kBlack}, {true, false, kRed}, {false, false, kBlack},
      {false, true, kRed},    {true, true, kRed},  {false, false, kBlack},
  };
  constexpr std::int32_t kH = 10;
  DisplaySettings settings = settingsFor(1, 44100, 128, 1);
  settings.visualisation = Visualisation::SpectrographAverage;
  const std::vector<std::int32_t> current(64, 6);  // row 3
  const std::vector<std::int32_t> average(64, 2);  // row 7
  Surface plot(70, kH);
  for (const Block& b : blocks) {
    PlotInputs inputs;
    inputs.binLevels = current.data();
    inputs.avgLevels = average.data();
    inputs.clipLeft = b.clipLeft;
    inputs.clipRight = b.clipRight;

    displayStep(plot, inputs, settings);

    for (std::int32_t x = 0; x < 63; ++x) {
      ASSERT_EQ(plot.pixel(x, 3), b.trace) << "clip " << b.clipLeft << b.clipRight << ", x " << x;
      ASSERT_EQ(plot.pixel(x, 7), kGrey) << "clip " << b.clipLeft << b.clipRight << ", x " << x;
    }
  }
}

// The display step draws what the visualisation names, on the panel's own height and width.
TEST(SpectrographTest, DisplayStepDrawsTheChosenVisualisation) {
  constexpr std::int32_t kW = 600, kH = 300, kN = 64;
  const std::vector<std::int32_t> current(kN, 2 * 46);  // row kH - 3
  const std::vector<std::int32_t> average(kN, 5 * 46);  // row kH - 6
  const std::vector<std::int16_t> silence(2 * kN, 0);
  PlotInputs inputs;
  inputs.binLevels = current.data();
  inputs.avgLevels = average.data();
  inputs.previous = silence.data();
  inputs.current = silence.data();

  struct Case {
    Visualisation visualisation;
    std::int32_t x, y;
    Rgb colour;
  };
  const Case cases[] = {
      {Visualisation::Spectrograph, 10, kH - 3, kBlack},
      {Visualisation::Spectrograph, 10, kH - 6, kWhite},  // no average
      {Visualisation::SpectrographAverage, 10, kH - 3, kBlack},
      {Visualisation::SpectrographAverage, 10, kH - 6, kGrey},
      {Visualisation::SpectrogramH, kW - 2, kH - 1, horizontalColour(2 * 46)},
      {Visualisation::SpectrogramH, 10, kH - 3, kUntouched},
      {Visualisation::SpectrogramV, 0, kH - 2, verticalColour(2 * 46)},
      {Visualisation::SpectrogramV, 10, kH - 3, kUntouched},
      {Visualisation::StereoVector, 256, 255, kUntouched},  // above the silent trace
      {Visualisation::StereoVector, 100, 100, rgb(0, 128, 0)},
  };
  for (const Case& c : cases) {
    Surface plot(kW, kH, kUntouched);
    DisplaySettings settings = settingsFor(1, 44100, 2 * kN);
    settings.visualisation = c.visualisation;

    displayStep(plot, inputs, settings);

    EXPECT_EQ(plot.pixel(c.x, c.y), c.colour)
        << "visualisation " << static_cast<int>(c.visualisation) << " at (" << c.x << ", " << c.y
        << ")";
  }
}

}  // namespace
}  // namespace kestrel
