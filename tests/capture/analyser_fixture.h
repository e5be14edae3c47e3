// A fresh analyser on a simulated input, driven one buffer at a time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/analyser.h"
#include "capture/drivers/simulated/simulated_driver.h"
#include "capture/notification_queue.h"

namespace kestrel::testing {

// Keeps a copy of what every block showed.
struct RecordingObserver : BlockObserver {
  struct Block {
    std::vector<std::int16_t> previous, current;
    std::vector<std::int32_t> binLevels, avgLevels;
    PeakScan peaks;
  };
  std::vector<Block> blocks;
  std::vector<MMRESULT> requeueFailures;
  int levelsMeasuredCalls = 0;
  int lost = 0;

  void levelsMeasured(const PeakScan&) override { ++levelsMeasuredCalls; }
  void displayStep(const BlockResult& b) override {
    const auto frames = static_cast<std::size_t>(2 * b.blockFrames);
    blocks.push_back({{b.previous, b.previous + frames},
                      {b.current, b.current + frames},
                      {b.binLevels, b.binLevels + b.blockFrames},
                      {b.avgLevels, b.avgLevels + b.blockFrames},
                      b.peaks});
  }
  void requeueFailed(MMRESULT code) override { requeueFailures.push_back(code); }
  void deviceLost() override { ++lost; }
};

inline sim::Config oneInput(sim::SourcePtr signal) {
  sim::Config config;
  config.inputs.push_back({"Line in", kAllWaveFormats, std::move(signal), MixerId{0}});
  return config;
}

struct AnalyserRig {
  explicit AnalyserRig(sim::Config config)
      : driver(std::move(config)), analyser(std::make_unique<Analyser>(driver, queue)) {
    analyser->setObserver(&observer);
  }
  ~AnalyserRig() { analyser->stop(); }

  // Runs the handler for every notification waiting.
  void pump() {
    WaveMessage message;
    while (queue.tryTake(message)) analyser->handleMessage(message);
  }
  // The device fills n buffers; each is handled as its notification arrives.
  void deliver(int n = 1) {
    for (int i = 0; i < n; ++i) {
      driver.deliverBuffer();
      pump();
    }
  }

  sim::SimulatedDriver driver;
  NotificationQueue queue;
  RecordingObserver observer;
  std::unique_ptr<Analyser> analyser;  // large: the buffers and working arrays live inside
};

}  // namespace kestrel::testing
