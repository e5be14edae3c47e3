// One whole block of the handler: the simulated device fills a buffer, its notification runs
// release, peaks, transform input, transform, levels and average, and the requeue.
#include <benchmark/benchmark.h>

#include <memory>

#include "capture/analyser.h"
#include "capture/drivers/simulated/simulated_driver.h"
#include "capture/notification_queue.h"

namespace kestrel {
namespace {

void BM_WholeBlock(benchmark::State& state) {
  sim::Config config;
  config.inputs.push_back({"noise", kAllWaveFormats, sim::noise(1, 20000), {}});
  sim::SimulatedDriver driver(std::move(config));
  NotificationQueue queue;
  auto analyser = std::make_unique<Analyser>(driver, queue);
  analyser->analysis.changeFftSize(static_cast<std::int32_t>(state.range(0)));
  analyser->settings.ampScale = static_cast<std::int32_t>(state.range(1));
  analyser->settings.weighting = static_cast<std::int32_t>(state.range(2));
  if (analyser->start(0).outcome != StartOutcome::Started) {
    state.SkipWithError("start failed");
    return;
  }
  WaveMessage message;
  for (auto _ : state) {
    driver.deliverBuffer();
    while (queue.tryTake(message)) analyser->handleMessage(message);
  }
  benchmark::DoNotOptimize(analyser->work().binLevels.data());
  analyser->stop();
  state.SetItemsProcessed(state.iterations());
}
// fft bits, amplitude scale, weighting: the defaults, and the costliest per-bin path.
BENCHMARK(BM_WholeBlock)
    ->Name("wholeBlock")
    ->ArgNames({"bits", "scale", "weighting"})
    ->Args({10, 2, 0})
    ->Args({11, 2, 0})
    ->Args({12, 2, 0})
    ->Args({11, 135, 65})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrel
