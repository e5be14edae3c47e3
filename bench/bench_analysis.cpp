// Speed of the analysis layer: our fixed-point transform next to FFTW and KissFFT on the same
// lengths, and computeLevels on every amplitude scale with and without A-weighting.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <kissfft/kiss_fft.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/analysis_state.h"
#include "analysis/fft.h"
#include "analysis/levels.h"
#include "analysis/numeric.h"
#include "analysis/settings.h"

namespace kestrel {
namespace {

// Windowed 16-bit noise as the pipeline would feed it: real parts only, window * s >> 13.
std::vector<ComplexInt> windowedNoise(std::int32_t fftSize) {
  std::vector<std::int32_t> window(static_cast<std::size_t>(fftSize));
  fillWindowTable(WindowFunction::Hanning, fftSize, window.data());
  std::mt19937 random(12345u);
  std::uniform_int_distribution<std::int32_t> sample(-32768, 32767);
  std::vector<ComplexInt> input(static_cast<std::size_t>(fftSize));
  for (std::size_t j = 0; j < input.size(); ++j) {
    input[j] = {low32((std::int64_t{window[j]} * sample(random)) >> 13), 0};
  }
  return input;
}

std::int32_t log2Of(std::int64_t size) {
  std::int32_t bits = 0;
  while ((std::int64_t{1} << bits) < size) ++bits;
  return bits;
}

void setTransformCounters(benchmark::State& state, std::int64_t size) {
  state.SetItemsProcessed(state.iterations() * size);
}

void BM_Transform_Kestrel(benchmark::State& state) {
  const fft engine(log2Of(state.range(0)));
  const std::vector<ComplexInt> input = windowedNoise(engine.size());
  std::vector<ComplexInt> output(input.size());
  for (auto _ : state) {
    engine.transform(input.data(), output.data());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  setTransformCounters(state, state.range(0));
}

// Single-precision complex-to-complex with the same (positive) exponent; planned once.
void BM_Transform_Fftw3f(benchmark::State& state) {
  const auto size = static_cast<int>(state.range(0));
  auto* in = fftwf_alloc_complex(static_cast<std::size_t>(size));
  auto* out = fftwf_alloc_complex(static_cast<std::size_t>(size));
  fftwf_plan plan = fftwf_plan_dft_1d(size, in, out, FFTW_BACKWARD, FFTW_MEASURE);
  const std::vector<ComplexInt> input = windowedNoise(size);  // after planning: it overwrites in
  for (int j = 0; j < size; ++j) {
    in[j][0] = static_cast<float>(input[static_cast<std::size_t>(j)].re);
    in[j][1] = 0.0f;
  }
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
  setTransformCounters(state, size);
}

void BM_Transform_KissFft(benchmark::State& state) {
  const auto size = static_cast<int>(state.range(0));
  kiss_fft_cfg config = kiss_fft_alloc(size, 1, nullptr, nullptr);
  const std::vector<ComplexInt> input = windowedNoise(size);
  std::vector<kiss_fft_cpx> in(static_cast<std::size_t>(size));
  std::vector<kiss_fft_cpx> out(static_cast<std::size_t>(size));
  for (std::size_t j = 0; j < in.size(); ++j) in[j] = {static_cast<float>(input[j].re), 0.0f};
  for (auto _ : state) {
    kiss_fft(config, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  kiss_fft_free(config);
  setTransformCounters(state, size);
}

// Grouped by length, so each of ours prints right above theirs.
[[maybe_unused]] const bool kTransformsRegistered = [] {
  for (const std::int64_t size : {1024, 2048, 4096}) {
    benchmark::RegisterBenchmark("transform/kestrel", BM_Transform_Kestrel)->Arg(size);
    benchmark::RegisterBenchmark("transform/fftw3f", BM_Transform_Fftw3f)->Arg(size);
    benchmark::RegisterBenchmark("transform/kissfft", BM_Transform_KissFft)->Arg(size);
  }
  return true;
}();

// One block's computeLevels at 2048 points (transform included), averaging as in a capture.
void BM_ComputeLevels(benchmark::State& state) {
  const auto ampScale = static_cast<std::int32_t>(state.range(0));
  const auto weighting = static_cast<std::int32_t>(state.range(1));
  AnalysisState analysis;
  const std::vector<ComplexInt> input = windowedNoise(analysis.sizes().fftSize);
  std::vector<ComplexInt> output(kMaxFftSize);
  std::array<std::int32_t, kMaxBins> binLevels{};
  std::array<std::int32_t, kMaxBins> avgLevels{};
  const LevelSettings settings{ampScale, weighting, kDefaultSampleRate};
  for (auto _ : state) {
    computeLevels(analysis.fftEngine(), input.data(), output.data(), settings, analysis.average,
                  binLevels.data(), avgLevels.data());
    benchmark::DoNotOptimize(binLevels.data());
    benchmark::DoNotOptimize(avgLevels.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(weighting == kWeightingA ? "A-weighted" : "unweighted");
}

BENCHMARK(BM_ComputeLevels)
    ->Name("computeLevels")
    ->ArgNames({"ampScale", "weighting"})
    ->ArgsProduct({{1, 2, 4, 8, 16, 32, kAmpSqrt, kAmp100dB, kAmp135dB},
                   {kWeightingNone, kWeightingA}});

}  // namespace
}  // namespace kestrel
