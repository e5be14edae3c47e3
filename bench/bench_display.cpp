// One display step of each visualisation onto a plot of the design size (948 x 387), as a
// share of the block duration at 48 kHz with a 1024-point FFT (512 / 48000 s, 10.7 ms).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "display/displays.h"

namespace kestrel {
namespace {

constexpr std::int32_t kPlotWidth = 948;
constexpr std::int32_t kPlotHeight = 387;
constexpr double kBlockSeconds = 512.0 / 48000.0;

void BM_DisplayStep(benchmark::State& state) {
  DisplaySettings settings;
  settings.visualisation = static_cast<Visualisation>(state.range(0));
  settings.fftSize = static_cast<std::int32_t>(state.range(1));
  settings.freqScale = static_cast<std::int32_t>(state.range(2));
  settings.sampleRate = settings.fftSize == 1024 ? 48000 : 44100;
  settings.ampScale = 100;
  settings.levelsPerPixel = levelsPerPixelFor(kPlotHeight, 32);
  const std::int32_t n = settings.fftSize / 2;

  // A noise floor around -60 dB on the 100 dB scale with a few strong peaks; the stereo input
  // is noise, whose trace jumps furthest from frame to frame.
  std::mt19937 random(1);
  std::vector<std::int32_t> levels(n), average(n);
  for (std::int32_t i = 0; i < n; ++i) {
    levels[i] = 6000 + static_cast<std::int32_t>(random() % 4000);
    average[i] = 7500 + static_cast<std::int32_t>(random() % 500);
  }
  for (std::int32_t i = 40; i < n; i += 97) levels[i] = 15000;
  std::vector<std::int16_t> previous(2 * n), current(2 * n);
  for (auto* frames : {&previous, &current}) {
    for (auto& s : *frames)
      s = static_cast<std::int16_t>(static_cast<int>(random() % 16001) - 8000);
  }

  PlotInputs inputs;
  inputs.binLevels = levels.data();
  inputs.avgLevels = average.data();
  inputs.previous = previous.data();
  inputs.current = current.data();

  const bool dark = settings.visualisation != Visualisation::Spectrograph &&
                    settings.visualisation != Visualisation::SpectrographAverage;
  Surface plot(kPlotWidth, kPlotHeight, dark ? kBlack : kWhite);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    displayStep(plot, inputs, settings);
    benchmark::DoNotOptimize(plot.pixels());
    benchmark::ClobberMemory();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  // The time of one step over the block duration: 1.0 would use up the whole block.
  state.counters["blockShare"] =
      elapsed.count() / static_cast<double>(state.iterations()) / kBlockSeconds;
}

// visualisation, FFT length, frequency scale.
BENCHMARK(BM_DisplayStep)
    ->Name("displayStep")
    ->ArgNames({"vis", "fft", "freq"})
    ->ArgsProduct({{static_cast<long>(Visualisation::Spectrograph),
                    static_cast<long>(Visualisation::SpectrographAverage),
                    static_cast<long>(Visualisation::SpectrogramH),
                    static_cast<long>(Visualisation::SpectrogramV),
                    static_cast<long>(Visualisation::StereoVector)},
                   {2048, 1024},
                   {1}})
    ->Args({static_cast<long>(Visualisation::SpectrographAverage), 2048, kFreqLog})
    ->Args({static_cast<long>(Visualisation::SpectrographAverage), 1024, kFreqLog})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrel
