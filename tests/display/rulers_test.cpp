// The amplitude and frequency rulers: tick rows and lengths, label anchors, the scales' extremes,
// the blank rulers and the bin-width label.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/displays.h"
#include "display/font.h"

namespace kestrel {
namespace {

// The design window's plot: 387 rows, 46 levels per row.
constexpr std::int32_t kPlotHeight = 387;
constexpr std::int32_t kLpp = 46;
constexpr std::int32_t kW = kAmplitudeRulerWidth;

DisplaySettings amplitudeSettings(std::int32_t ampScale,
                                  Visualisation v = Visualisation::Spectrograph) {
  DisplaySettings s;
  s.visualisation = v;
  s.ampScale = ampScale;
  s.levelsPerPixel = kLpp;
  return s;
}

Surface amplitudeRuler(const DisplaySettings& s, std::int32_t height = kPlotHeight) {
  Surface r(kAmplitudeRulerWidth, kAmplitudeRulerHeight);
  drawAmplitudeRuler(r, kW, height, s);
  return r;
}

std::vector<std::int32_t> blackRowsInColumn(const Surface& s, std::int32_t x, std::int32_t rows) {
  std::vector<std::int32_t> ys;
  for (std::int32_t y = 0; y < rows; ++y)
    if (s.pixel(x, y) == kBlack) ys.push_back(y);
  return ys;
}

// The length of the tick on row y: black pixels from x = W - 2 leftwards.
std::int32_t tickLength(const Surface& s, std::int32_t y) {
  std::int32_t n = 0;
  while (s.pixel(kW - 2 - n, y) == kBlack) ++n;
  return n;
}

struct Box {
  std::int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
};
Box inkBox(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  Box b;
  for (std::int32_t y = y0; y < y1; ++y)
    for (std::int32_t x = x0; x < x1; ++x)
      if (s.pixel(x, y) == kBlack) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

// x1 linear at the design height: ticks every 11 rows (the long ones every 4096), each with a
// label whose digits stand on rows tick - 4 .. tick + 3, right edge at W - 10.
TEST(AmplitudeRuler, LinearTicksAndLabelsAtTheDesignHeight) {
  const Surface r = amplitudeRuler(amplitudeSettings(1));
  struct Tick {
    std::int32_t v;
    std::int32_t row;
    std::int32_t length;
  };
  const Tick ticks[] = {{0, 386, 6},    {1024, 375, 3}, {2048, 364, 3}, {3072, 353, 3},
                        {4096, 342, 6}, {5120, 331, 3}, {8192, 297, 6}, {16384, 208, 6},
                        {32768, 30, 6}, {34816, 8, 3}};
  for (const Tick& t : ticks) {
    EXPECT_EQ(tickLength(r, t.row), t.length) << t.v;
    EXPECT_EQ(r.pixel(kW - 1, t.row), kWhite) << t.v;
    const std::string label = std::to_string(t.v / 1024) + "k";
    const Box b = inkBox(r, 0, t.row - 4, kW - 9, t.row + 4);
    EXPECT_EQ(b.right, kW - 10 - 2) << label;  // the last advance column is spacing
    EXPECT_EQ(b.left, kW - 10 - font::textWidth(label)) << label;
    EXPECT_EQ(b.top, t.row - 4) << label;
    EXPECT_EQ(b.bottom, t.row + 3) << label;
  }
  // 0k .. 34k fit into 387 rows; 35k's tick would be above the top.
  EXPECT_EQ(blackRowsInColumn(r, kW - 2, kPlotHeight).size(), 35u);
}

TEST(AmplitudeRuler, TimesThirtyTwoShowsOnlyTheFirstTwoTicks) {
  const Surface r = amplitudeRuler(amplitudeSettings(32));
  EXPECT_EQ(blackRowsInColumn(r, kW - 2, kAmplitudeRulerHeight),
            (std::vector<std::int32_t>{30, 386}));
  EXPECT_EQ(tickLength(r, 386), 6);
  EXPECT_EQ(tickLength(r, 30), 3);  // 1k, 356 rows higher
}

// Decibel ticks are 4 pixels; 0 dB sits at level 16384 and the bottom row is -ampScale dB.
TEST(AmplitudeRuler, LogarithmicScalesTickEveryTenDecibels) {
  struct Case {
    std::int32_t ampScale;
    std::vector<std::int32_t> rows;
  };
  const Case cases[] = {
      {100, {29, 65, 101, 136, 172, 207, 243, 279, 314, 350, 386}},
      {135, {29, 56, 82, 108, 135, 161, 188, 214, 240, 267, 293, 320, 346, 372}},  // no -135
  };
  for (const Case& c : cases) {
    const Surface r = amplitudeRuler(amplitudeSettings(c.ampScale));
    EXPECT_EQ(blackRowsInColumn(r, kW - 2, kPlotHeight), c.rows) << c.ampScale;
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      const std::int32_t row = c.rows[i];
      EXPECT_EQ(tickLength(r, row), 4) << row;
      const std::string label = std::to_string(-10 * static_cast<int>(i));
      const Box b = inkBox(r, 0, row - 4, kW - 7, row + 4);
      EXPECT_EQ(b.right, kW - 8 - 2) << label;
      EXPECT_EQ(b.left, kW - 8 - font::textWidth(label)) << label;
    }
    // "dBFS" with its top 9 rows below the 0 dB tick: rows 41 .. 48 hold its capitals.
    const Box unit = inkBox(r, 0, 38, kW, 51);
    EXPECT_EQ(unit.top, 29 + 9 + font::kCapTop);
    EXPECT_EQ(unit.bottom, 29 + 9 + font::kBaseline);
    EXPECT_EQ(unit.left, kW - 8 - font::textWidth("dBFS"));
    EXPECT_EQ(unit.right, kW - 8 - 2);
  }
}

// The horizontal spectrogram's frequency ticks: long and labelled every kHz, short every 100 Hz,
// 22 kHz at 1021 rows above the bottom of a 1200-row ruler.
TEST(AmplitudeRuler, HorizontalSpectrogramShowsFrequencyUpwards) {
  DisplaySettings s = amplitudeSettings(1, Visualisation::SpectrogramH);
  const Surface r = amplitudeRuler(s, kAmplitudeRulerHeight);
  const std::int32_t bottom = kAmplitudeRulerHeight - 1;
  struct Tick {
    std::int32_t f, above, length;
  };
  const Tick ticks[] = {{0, 0, 6}, {100, 4, 3}, {1000, 46, 6}, {21900, 1017, 3}, {22000, 1021, 6}};
  for (const Tick& t : ticks) EXPECT_EQ(tickLength(r, bottom - t.above), t.length) << t.f;
  EXPECT_EQ(blackRowsInColumn(r, kW - 2, kAmplitudeRulerHeight).size(), 221u);
  EXPECT_EQ(blackRowsInColumn(r, kW - 6, kAmplitudeRulerHeight).size(), 23u);  // long ones only
  const Box label = inkBox(r, 0, bottom - 1021 - 4, kW - 9, bottom - 1021 + 4);
  EXPECT_EQ(label.left, kW - 10 - font::textWidth("22kHz"));
  EXPECT_EQ(label.right, kW - 10 - 2);
  // At the design height the same ruler shows up to the 8 kHz tick and clips the rest.
  const Surface low = amplitudeRuler(s);
  EXPECT_EQ(tickLength(low, 386 - 371), 6);  // 8 kHz
  EXPECT_EQ(blackRowsInColumn(low, kW - 2, kPlotHeight).size(), 84u);
}

TEST(AmplitudeRuler, BlankWhereNothingIsShown) {
  const DisplaySettings cases[] = {
      amplitudeSettings(-2),
      amplitudeSettings(-2, Visualisation::SpectrographAverage),
      amplitudeSettings(1, Visualisation::SpectrogramV),
      amplitudeSettings(100, Visualisation::StereoVector),
  };
  for (const DisplaySettings& s : cases) {
    Surface r(kAmplitudeRulerWidth, kAmplitudeRulerHeight, kBlack);
    drawAmplitudeRuler(r, kW, kPlotHeight, s);
    EXPECT_TRUE(inkBox(r, 0, 0, kW, kPlotHeight).empty());
    EXPECT_TRUE(r.monochrome());
  }
}

constexpr std::int32_t kX0 = 40;
constexpr std::int32_t kRulerW = 988;

DisplaySettings frequencySettings(std::int32_t freqScale, std::int32_t sampleRate = 44100,
                                  std::int32_t fftSize = 2048) {
  DisplaySettings s;
  s.freqScale = freqScale;
  s.sampleRate = sampleRate;
  s.fftSize = fftSize;
  return s;
}

Surface frequencyRuler(const DisplaySettings& s, std::int32_t width = kRulerW) {
  Surface r(kFrequencyRulerWidth, kFrequencyRulerHeight);
  drawFrequencyRuler(r, width, kFrequencyRulerHeight, kX0, s);
  return r;
}

// The rows of column x that are black, from 0 to 9: a long tick is 2..7, a short one 2..4.
std::vector<std::int32_t> tickRows(const Surface& s, std::int32_t x) {
  return blackRowsInColumn(s, x, 10);
}
const std::vector<std::int32_t> kLong = {2, 3, 4, 5, 6, 7};
const std::vector<std::int32_t> kShort = {2, 3, 4};

std::vector<std::int32_t> tickColumns(const Surface& s) {
  std::vector<std::int32_t> xs;
  for (std::int32_t x = 0; x < s.width(); ++x)
    if (s.pixel(x, 2) == kBlack) xs.push_back(x);
  return xs;
}

TEST(FrequencyRuler, NormalScaleTicksEveryHundredHertz) {
  const Surface r = frequencyRuler(frequencySettings(1), kFrequencyRulerWidth);
  struct Tick {
    std::int32_t f, px;
    bool labelled;
  };
  const Tick ticks[] = {{0, 0, true},       {100, 4, false},      {900, 41, false},
                        {1000, 46, true},   {2000, 92, true},     {3000, 139, true},
                        {10000, 464, true}, {21900, 1017, false}, {22000, 1021, true}};
  for (const Tick& t : ticks) {
    const std::int32_t x = kX0 + t.px;
    EXPECT_EQ(tickRows(r, x), t.labelled ? kLong : kShort) << t.f;
    if (!t.labelled) continue;
    const std::string label = std::to_string(t.f / 1000) + "kHz";
    const std::int32_t left = x - font::textWidth(label) / 2;
    const Box b = inkBox(r, left - 2, 10, left + font::textWidth(label) + 1, 33);
    EXPECT_EQ(b.left, left) << label;
    EXPECT_EQ(b.right, left + font::textWidth(label) - 2) << label;
    EXPECT_EQ(b.top, 10 + font::kCapTop) << label;
    EXPECT_EQ(b.bottom, 10 + font::kBaseline) << label;
  }
  const std::vector<std::int32_t> xs = tickColumns(r);
  EXPECT_EQ(xs.size(), 221u);
  EXPECT_EQ(xs.back(), kX0 + 1021);
}

TEST(FrequencyRuler, LogarithmicLabelsStandAtTheirFrequencies) {
  struct Label {
    const char* text;
    std::int32_t px;
  };
  const Label labels[] = {{"100Hz", 206}, {"1kHz", 500}, {"10kHz", 795}, {"22kHz", 896}};
  const Surface r = frequencyRuler(frequencySettings(kFreqLog));
  for (const Label& l : labels) {
    const std::int32_t x = kX0 + l.px;
    EXPECT_EQ(tickRows(r, x), kLong) << l.text;
    const std::int32_t width = font::textWidth(l.text);
    const Box b = inkBox(r, x - width / 2 - 1, 10, x - width / 2 + width, 33);
    EXPECT_EQ(b.left, x - width / 2) << l.text;
    EXPECT_EQ(b.right, x - width / 2 + width - 2) << l.text;
  }
  // Every 100 Hz below 5 kHz, then only whole kHz: 4900 Hz ticks, 5100 Hz does not.
  EXPECT_EQ(tickRows(r, kX0 + 704), kLong);     // 4900 Hz
  EXPECT_EQ(tickRows(r, kX0 + 706), kLong);     // 5000 Hz
  EXPECT_TRUE(tickRows(r, kX0 + 709).empty());  // 5100 Hz
  EXPECT_EQ(tickRows(r, kX0), kLong);           // 0 and 50 Hz and below stand at the left edge
}

TEST(FrequencyRuler, LogarithmicAtSixteenKilohertzEndsAtEightKilohertz) {
  const Surface r = frequencyRuler(frequencySettings(kFreqLog, 16000, 2048));
  EXPECT_EQ(tickColumns(r).back(), kX0 + 766);  // 8000 Hz
  // 7kHz is the last label; nothing right of it where 10kHz .. 22kHz would stand.
  const Box labels = inkBox(r, 0, 10, kRulerW, 33);
  EXPECT_EQ(labels.right, kX0 + 749 - font::textWidth("7kHz") / 2 + font::textWidth("7kHz") - 2);
}

TEST(FrequencyRuler, StretchedTimesThreeAtEightKilohertz) {
  const Surface r = frequencyRuler(frequencySettings(3, 8000, 1024), kFrequencyRulerWidth);
  for (std::int32_t k = 0; k <= 4; ++k) EXPECT_EQ(tickRows(r, kX0 + 384 * k), kLong) << k;
  EXPECT_EQ(tickRows(r, kX0 + 38), kShort);  // 100 Hz: 38.4 pixels
  EXPECT_EQ(tickColumns(r).size(), 41u);
}

TEST(FrequencyRuler, BlankForTheHorizontalSpectrogramAndTheStereoVector) {
  for (Visualisation v : {Visualisation::SpectrogramH, Visualisation::StereoVector}) {
    DisplaySettings s = frequencySettings(1, 8000, 4096);
    s.visualisation = v;
    Surface r(kFrequencyRulerWidth, kFrequencyRulerHeight, kBlack);
    EXPECT_EQ(drawFrequencyRuler(r, kRulerW, kFrequencyRulerHeight, kX0, s),
              "(Approx 2Hz bandwidth per FFT-bin)");
    EXPECT_TRUE(inkBox(r, 0, 0, kRulerW, kFrequencyRulerHeight).empty());
  }
}

TEST(FrequencyRuler, VerticalSpectrogramUsesTheLinearTicks) {
  DisplaySettings s = frequencySettings(1);
  s.visualisation = Visualisation::SpectrogramV;
  EXPECT_EQ(tickColumns(frequencyRuler(s)).size(),
            tickColumns(frequencyRuler(frequencySettings(1))).size());
  EXPECT_EQ(tickRows(frequencyRuler(s), kX0 + 46), kLong);
}

TEST(BandwidthLabel, RoundsTheBinWidthHalvesUp) {
  struct Case {
    std::int32_t sampleRate, fftSize;
    const char* text;
  };
  const Case cases[] = {
      {44100, 2048, "(Approx 22Hz bandwidth per FFT-bin)"},
      {8000, 4096, "(Approx 2Hz bandwidth per FFT-bin)"},
      {48000, 1024, "(Approx 47Hz bandwidth per FFT-bin)"},
      {11025, 2048, "(Approx 5Hz bandwidth per FFT-bin)"},
      {44100, 8, "(Approx 5513Hz bandwidth per FFT-bin)"},  // exactly 5512.5
  };
  for (const Case& c : cases) EXPECT_EQ(bandwidthLabel(c.sampleRate, c.fftSize), c.text);
  EXPECT_EQ(drawFrequencyRuler(*std::make_unique<Surface>(100, 33), 100, 33, 40,
                               frequencySettings(kFreqLog)),
            "(Approx 22Hz bandwidth per FFT-bin)");
}

}  // namespace
}  // namespace kestrel
