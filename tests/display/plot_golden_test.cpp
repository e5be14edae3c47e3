// Whole plots at the design size (948 x 387), drawn block by block from the real analyser on a
// simulated input exactly as the window draws them, compared with the pictures in tests/golden.
#include <gtest/gtest.h>

#include <cstdint>
#include <numbers>

#include "capture/analyser_fixture.h"
#include "display/displays.h"
#include "display/golden.h"

namespace kestrel {
namespace {

using testing::AnalyserRig;
using testing::oneInput;

constexpr std::int32_t kPlotWidth = 948;
constexpr std::int32_t kPlotHeight = 387;

// Runs the given number of blocks and draws each one onto a fresh plot, whose colour is the one
// the visualisation command gives it.
Surface drawBlocks(AnalyserRig& rig, Visualisation visualisation, int blocks) {
  EXPECT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(blocks);
  EXPECT_EQ(rig.observer.blocks.size(), static_cast<std::size_t>(blocks));

  DisplaySettings settings;
  settings.visualisation = visualisation;
  settings.ampScale = rig.analyser->settings.ampScale;
  settings.sampleRate = rig.analyser->settings.sampleRate;
  settings.fftSize = rig.analyser->analysis.sizes().fftSize;
  settings.levelsPerPixel = levelsPerPixelFor(kPlotHeight, 32);
  EXPECT_EQ(settings.levelsPerPixel, 46);

  const bool dark = visualisation != Visualisation::Spectrograph &&
                    visualisation != Visualisation::SpectrographAverage;
  Surface plot(kPlotWidth, kPlotHeight);
  plot.setBackground(dark ? kBlack : kWhite);
  plot.repaint();
  for (const auto& block : rig.observer.blocks) {
    PlotInputs inputs;
    inputs.binLevels = block.binLevels.data();
    inputs.avgLevels = block.avgLevels.data();
    inputs.previous = block.previous.data();
    inputs.current = block.current.data();
    inputs.clipLeft = block.peaks.clipLeft;
    inputs.clipRight = block.peaks.clipRight;
    displayStep(plot, inputs, settings);
  }
  return plot;
}

// A 1 kHz tone and a quieter one at 5 kHz over a little noise, on the 100 dB scale: peaks at
// x 46 and 232 (21.5 Hz per bin), the long-time average in grey under the last block, smoother
// than its noise floor. The analysed signal is the channel sum, (tones + noise) / 2.
TEST(PlotGoldenTest, SpectrographWithAverageOfTwoTones) {
  AnalyserRig rig(
      oneInput(sim::stereo(sim::sines({{1000.0, 29000.0}, {5000.0, 3000.0}}), sim::noise(7, 120))));
  rig.analyser->settings.ampScale = kAmp100dB;
  const Surface plot = drawBlocks(rig, Visualisation::SpectrographAverage, 40);
  EXPECT_MATCHES_GOLDEN(plot, "spectrograph-average-1k-5k");
}

// Fifty blocks of the self-test sweep, the newest column at the right, the lowest 387 bins: a
// band rising slowly from 1 kHz (row 340), wider where the sweep lies between two bins. The
// oldest column is white all the way up: the first block's previous half is silence, and the
// sweep's onset in the middle of the window spreads over every bin.
TEST(PlotGoldenTest, HorizontalSpectrogramOfTheSelfTestSweep) {
  AnalyserRig rig(oneInput(sim::silence()));
  rig.analyser->selfTest = true;
  rig.analyser->settings.ampScale = kAmp100dB;
  const Surface plot = drawBlocks(rig, Visualisation::SpectrogramH, 50);
  EXPECT_MATCHES_GOLDEN(plot, "spectrogram-h-self-test");
}

// A mostly mono 440 Hz tone, the right channel a little weaker and later: a narrow ellipse
// leaning off the vertical through the origin.
TEST(PlotGoldenTest, StereoVectorOfANearlyMonoTone) {
  AnalyserRig rig(oneInput(
      sim::stereo(sim::sine(440.0, 9000.0), sim::sine(440.0, 6500.0, std::numbers::pi / 6))));
  const Surface plot = drawBlocks(rig, Visualisation::StereoVector, 10);
  EXPECT_MATCHES_GOLDEN(plot, "stereo-vector-440");
}

}  // namespace
}  // namespace kestrel
