// The window's displays, drawn off-screen block by block and saved as PNG files.
#include "tools/kestrel_analyze/picture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "display/png/png_file.h"

namespace kestrel::analyze {

namespace {

constexpr std::int32_t kRulerX0 = kAmplitudeRulerWidth;  // the plot's left edge on the ruler

// The top-left width x height part of a surface, as a control showing it would.
Surface topLeft(const Surface& source, std::int32_t width, std::int32_t height) {
  width = std::clamp(width, 1, source.width());
  height = std::clamp(height, 1, source.height());
  Surface part(width, height);
  for (std::int32_t y = 0; y < height; ++y) {
    std::copy_n(source.pixels() + static_cast<std::ptrdiff_t>(y) * source.width(), width,
                part.pixels() + static_cast<std::ptrdiff_t>(y) * width);
  }
  return part;
}

bool darkPanel(Visualisation v) {
  return v == Visualisation::SpectrogramH || v == Visualisation::SpectrogramV ||
         v == Visualisation::StereoVector;
}

}  // namespace

PictureRenderer::PictureRenderer(DisplaySettings settings, std::int32_t plotWidth,
                                 std::int32_t plotHeight)
    : settings_(settings), plot_(plotWidth, plotHeight) {
  settings_.levelsPerPixel = levelsPerPixelFor(plotHeight, settings_.levelsPerPixel);
  if (settings_.visualisation == Visualisation::SpectrogramH ||
      settings_.visualisation == Visualisation::SpectrogramV) {
    settings_.freqScale = 1;  // the spectrograms always use one pixel per bin
  }
  plot_.setBackground(darkPanel(settings_.visualisation) ? kBlack : kWhite);
  plot_.repaint();
  drawAmplitudeRuler(amplitudeRuler_, kAmplitudeRulerWidth, plotHeight, settings_);
  drawFrequencyRuler(frequencyRuler_, plotWidth + kRulerX0, kFrequencyRulerHeight, kRulerX0,
                     settings_);
}

void PictureRenderer::levelsMeasured(const PeakScan& peaks) {
  clipLeft_ = clipIndicatorColour(peaks.clipLeft);
  clipRight_ = clipIndicatorColour(peaks.clipRight);
  drawLevelBar(barLeft_, peaks.peakLeft());
  drawLevelBar(barRight_, peaks.peakRight());
}

void PictureRenderer::displayStep(const BlockResult& block) {
  settings_.fftSize = 2 * block.blockFrames;
  const PlotInputs inputs{block.binLevels, block.avgLevels,      block.previous,
                          block.current,   block.peaks.clipLeft, block.peaks.clipRight};
  kestrel::displayStep(plot_, inputs, settings_);
}

Result<bool> PictureRenderer::write(const std::string& dir) const {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return Error{1, "cannot create '" + dir + "': " + error.message()};
  const std::filesystem::path base(dir);
  const std::pair<const char*, Surface> files[] = {
      {"plot.png", topLeft(plot_, plot_.width(), plot_.height())},
      {"amplitude-ruler.png", topLeft(amplitudeRuler_, kAmplitudeRulerWidth, plot_.height())},
      {"frequency-ruler.png",
       topLeft(frequencyRuler_, plot_.width() + kRulerX0, kFrequencyRulerHeight)},
      {"bar-left.png", topLeft(barLeft_, barLeft_.width(), barLeft_.height())},
      {"bar-right.png", topLeft(barRight_, barRight_.width(), barRight_.height())},
  };
  for (const auto& [name, surface] : files) {
    if (auto written = writePng(surface, (base / name).string()); !written) {
      return written.error();
    }
  }
  const std::string clipPath = (base / "clip.txt").string();
  std::ofstream clip(clipPath);
  clip << "left " << int{redOf(clipLeft_)} << ' ' << int{greenOf(clipLeft_)} << ' '
       << int{blueOf(clipLeft_)} << '\n'
       << "right " << int{redOf(clipRight_)} << ' ' << int{greenOf(clipRight_)} << ' '
       << int{blueOf(clipRight_)} << '\n';
  clip.close();
  if (!clip) return Error{1, "cannot write '" + clipPath + "'"};
  return true;
}

}  // namespace kestrel::analyze
