// Pictures from kestrel-analyze: every block also runs the display step onto a plot surface,
// with the rulers, level bars and clip lamps the window would show, and after the last block
// the surfaces are written as PNG files.
#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"
#include "capture/analyser.h"
#include "display/displays.h"
#include "display/surface.h"

namespace kestrel::analyze {

class PictureRenderer final : public BlockObserver {
 public:
  // settings.levelsPerPixel is derived from the plot height here; the visualisation command's
  // effects (panel colour, the spectrograms' normal frequency scale) are applied as well.
  PictureRenderer(DisplaySettings settings, std::int32_t plotWidth, std::int32_t plotHeight);

  void levelsMeasured(const PeakScan& peaks) override;
  void displayStep(const BlockResult& block) override;

  // Writes plot.png, amplitude-ruler.png, frequency-ruler.png, bar-left.png, bar-right.png and
  // clip.txt into dir (created when missing). The error text names what could not be written.
  Result<bool> write(const std::string& dir) const;

  const DisplaySettings& settings() const { return settings_; }
  const Surface& plot() const { return plot_; }

 private:
  DisplaySettings settings_;
  Surface plot_;
  Surface amplitudeRuler_{kAmplitudeRulerWidth, kAmplitudeRulerHeight};
  Surface frequencyRuler_{kFrequencyRulerWidth, kFrequencyRulerHeight};
  Surface barLeft_{291, 9, kButtonFace};
  Surface barRight_{291, 9, kButtonFace};
  Rgb clipLeft_ = clipIndicatorColour(false);
  Rgb clipRight_ = clipIndicatorColour(false);
};

}  // namespace kestrel::analyze
