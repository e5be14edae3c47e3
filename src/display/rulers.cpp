// The amplitude ruler left of the plot and the frequency ruler under it, with the bin-width
// label: static pictures, black on white, redrawn only when a setting they show changes.
#include <cmath>
#include <cstdio>

#include "analysis/numeric.h"
#include "display/displays.h"

namespace kestrel {

namespace {

constexpr Pen kRulerPen{kBlack, 0};

bool showsSpectrograph(Visualisation v) {
  return v == Visualisation::Spectrograph || v == Visualisation::SpectrographAverage;
}

std::int32_t toInt32(long double value) {
  return static_cast<std::int32_t>(truncToInt64(value));
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

// Bins are sampleRate / fftSize Hz wide; the offset of f on a linear scale, divided in this
// order so that the tick stands on the bin the plot draws for f.
std::int32_t linearOffset(std::int32_t f, const DisplaySettings& s) {
  const long double binWidth = static_cast<long double>(s.sampleRate) / s.fftSize;
  return toInt32(f / binWidth * s.freqScale);
}

void clearRuler(Surface& ruler, std::int32_t width, std::int32_t height) {
  ruler.fillRect(0, 0, width, height, Brush{kWhite});
  ruler.setMonochrome(true);
}

// Ticks run from x = W - 2 leftwards; the end point is not painted.
void tick(Surface& ruler, std::int32_t fromX, std::int32_t toX, std::int32_t y) {
  ruler.moveTo(fromX, y);
  ruler.lineTo(toX, y, kRulerPen);
}

void drawLinearAmplitude(Surface& r, std::int32_t w, std::int32_t h, const DisplaySettings& s) {
  // 1024 sample units per tick, 32768 is full scale; drawn where the plot puts level v * gain / 2.
  for (std::int32_t v = 0; v <= 41000; v += 1024) {
    const std::int32_t px = ((v * s.ampScale) / s.levelsPerPixel) / 2;
    tick(r, w - 2, v % 4096 == 0 ? w - 8 : w - 5, h - 1 - px);
    r.textOut(w - 10, h - 8 - px, format("%ik", v / 1024), TextAlign::RightTop);
  }
}

void drawLogAmplitude(Surface& r, std::int32_t w, std::int32_t h, const DisplaySettings& s) {
  // Level 16384 is 0 dBFS, level 0 (the bottom row) -ampScale dB.
  const long double fullScaleRows = 16384.0L / s.levelsPerPixel;
  r.textOut(w - 8, toInt32((h + 8) - fullScaleRows), "dBFS", TextAlign::RightTop);
  for (std::int32_t d = 0; d <= s.ampScale; d += 10) {
    const long double k = fullScaleRows * (1 - static_cast<long double>(d) / s.ampScale);
    tick(r, w - 2, w - 6, toInt32(h - 1 - k));
    r.textOut(w - 8, toInt32(h - 8 - k), format("%i", -d), TextAlign::RightTop);
  }
}

void drawFrequencyTicksUpwards(Surface& r, std::int32_t w, std::int32_t h,
                               const DisplaySettings& s) {
  for (std::int32_t f = 0; f <= s.sampleRate / 2; f += 100) {
    const std::int32_t px = linearOffset(f, s);
    if (f % 1000 == 0) {
      tick(r, w - 2, w - 8, h - 1 - px);
      r.textOut(w - 10, h - 8 - px, format("%ikHz", f / 1000), TextAlign::RightTop);
    } else {
      tick(r, w - 2, w - 5, h - 1 - px);
    }
  }
}

bool hasLogLabel(std::int32_t f) {
  for (std::int32_t labelled : {100, 200, 500, 1000, 2000, 3000, 5000, 7000, 10000, 15000, 22000})
    if (f == labelled) return true;
  return false;
}

std::string frequencyLabel(std::int32_t f) {
  return f < 1000 ? format("%iHz", f) : format("%ikHz", f / 1000);
}

}  // namespace

void drawAmplitudeRuler(Surface& ruler, std::int32_t width, std::int32_t height,
                        const DisplaySettings& shown) {
  clearRuler(ruler, width, height);
  DisplaySettings settings = shown;
  // The layout never gives less than one level per row; keep a bad value from dividing by zero.
  if (settings.levelsPerPixel < 1) settings.levelsPerPixel = 1;
  if (showsSpectrograph(settings.visualisation)) {
    if (settings.ampScale > 0 && settings.ampScale <= 40)
      drawLinearAmplitude(ruler, width, height, settings);
    else if (settings.ampScale > 40)
      drawLogAmplitude(ruler, width, height, settings);
    // The square-root scale has no ruler.
  } else if (settings.visualisation == Visualisation::SpectrogramH) {
    drawFrequencyTicksUpwards(ruler, width, height, settings);
  }
}

std::string bandwidthLabel(std::int32_t sampleRate, std::int32_t fftSize) {
  // The bin width rounded to whole Hz, halves upwards.
  const long double binWidth = static_cast<long double>(sampleRate) / fftSize;
  return format("(Approx %iHz bandwidth per FFT-bin)", toInt32(binWidth + 0.5L));
}

std::string drawFrequencyRuler(Surface& ruler, std::int32_t width, std::int32_t height,
                               std::int32_t x0, const DisplaySettings& settings) {
  clearRuler(ruler, width, height);
  std::string label = bandwidthLabel(settings.sampleRate, settings.fftSize);
  // The horizontal spectrogram's x axis is time; the stereo vector has no frequency axis.
  if (settings.visualisation == Visualisation::SpectrogramH ||
      settings.visualisation == Visualisation::StereoVector)
    return label;

  const bool logarithmic = settings.freqScale == kFreqLog;
  for (std::int32_t f = 0; f <= settings.sampleRate / 2; f += 100) {
    std::int32_t px = 0;
    if (!logarithmic) {
      px = linearOffset(f, settings);
    } else if (f > 50) {
      // 128 pixels per e-fold above 20 Hz; f / 20 is exact for multiples of 100.
      px = toInt32(128 * std::log(static_cast<long double>(f / 20)));
    }
    const std::int32_t x = x0 + px;
    ruler.moveTo(x, 2);
    if (!logarithmic) {
      if (f % 1000 == 0) {
        ruler.lineTo(x, 8, kRulerPen);
        ruler.textOut(x, 10, format("%ikHz", f / 1000), TextAlign::CentreTop);
      } else {
        ruler.lineTo(x, 5, kRulerPen);
      }
    } else {
      if (f < 5000 || f % 1000 == 0) ruler.lineTo(x, 8, kRulerPen);
      if (hasLogLabel(f)) ruler.textOut(x, 10, frequencyLabel(f), TextAlign::CentreTop);
    }
  }
  return label;
}

}  // namespace kestrel
