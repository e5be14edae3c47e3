// The analyser without a window: settings, analysis state and the capture ring, and the block
// handler that runs once for every full buffer. The window and the tools own one each and fill
// in the display step through BlockObserver.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/analysis_state.h"
#include "analysis/complex_int.h"
#include "analysis/fft_sizes.h"
#include "analysis/settings.h"
#include "capture/capture_ring.h"
#include "capture/peaks.h"
#include "capture/wave_driver.h"

namespace kestrel {

// What one analysed block hands to the display step.
struct BlockResult {
  const std::int16_t* previous = nullptr;  // the previous buffer's frames
  const std::int16_t* current = nullptr;   // the current buffer's frames
  std::int32_t blockFrames = 0;            // frames of each, and bins of each level array
  PeakScan peaks;
  const std::int32_t* binLevels = nullptr;
  const std::int32_t* avgLevels = nullptr;
};

// The window's (or a tool's) part of a block. Every call comes on the analyser's thread from
// inside handleMessage.
class BlockObserver {
 public:
  virtual ~BlockObserver() = default;
  // After the peak scan: the level bars and clip lamps.
  virtual void levelsMeasured(const PeakScan& /*peaks*/) {}
  // After the levels are computed: draw the chosen visualisation.
  virtual void displayStep(const BlockResult& /*block*/) {}
  // The current buffer could not be queued again; the block ends there. The capture goes on.
  // Called last in the handler, so it may run a nested event loop.
  virtual void requeueFailed(MMRESULT /*code*/) {}
  // The device stopped delivering for good; the capture has been ended as by Stop.
  virtual void deviceLost() {}
};

class Analyser {
 public:
  Analyser(WaveDriver& driver, NotificationTarget& target);

  Analyser(const Analyser&) = delete;
  Analyser& operator=(const Analyser&) = delete;

  void setObserver(BlockObserver* observer) { observer_ = observer; }

  // Start: opens id at settings.sampleRate, runs the ring and resets the average.
  StartResult start(DeviceId id);
  // Stop, and the close of the window during a capture: bounded wait, close.
  void stop();
  bool capturing() const { return ring.capturing; }

  // The message map: MM_WIM_DATA runs the block handler; WIM_DEVICE_LOST from the open device
  // ends the capture; everything else is ignored.
  void handleMessage(const WaveMessage& message);

  // The block handler, for the buffer at ring.blockIndex.
  void handleBlock();

  AnalysisSettings settings;
  AnalysisState analysis;
  CaptureRing ring;
  bool selfTest = false;  // the self-test switch, read at every block

  // Per-block working arrays, kept here so that no block allocates or needs a large stack.
  struct BlockWork {
    std::array<ComplexInt, kMaxFftSize> fftInput{};
    std::array<ComplexInt, kMaxFftSize> fftOutput{};
    std::array<std::int32_t, kMaxBins> binLevels{};
    std::array<std::int32_t, kMaxBins> avgLevels{};
  };
  const BlockWork& work() const { return work_; }

  // Blocks skipped because the device still held the notified buffer when the wait ran out.
  int skippedBlocks() const { return skippedBlocks_; }

 private:
  NotificationTarget& target_;
  BlockObserver* observer_ = nullptr;
  BlockWork work_;
  int skippedBlocks_ = 0;
};

}  // namespace kestrel
