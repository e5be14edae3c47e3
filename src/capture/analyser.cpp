// The block handler: release, self-test, peaks, transform input, levels, display, requeue.
#include "capture/analyser.h"

#include "analysis/levels.h"
#include "capture/fft_input.h"
#include "capture/self_test.h"

namespace kestrel {

Analyser::Analyser(WaveDriver& driver, NotificationTarget& target)
    : ring(driver), target_(target) {}

StartResult Analyser::start(DeviceId id) {
  const StartResult result =
      ring.start(id, settings.sampleRate, analysis.sizes().blockFrames, target_);
  if (result.outcome == StartOutcome::Started) analysis.resetAverage();
  return result;
}

void Analyser::stop() {
  ring.stop();
}

void Analyser::handleMessage(const WaveMessage& message) {
  switch (message.message) {
    case MM_WIM_DATA:
      handleBlock();
      break;
    case WIM_DEVICE_LOST:
      if (ring.capturing && message.device == ring.waveIn) {
        ring.stop();
        if (observer_ != nullptr) observer_->deviceLost();
      }
      break;
    default:
      break;
  }
}

void Analyser::handleBlock() {
  if (!ring.releaseCurrent()) {
    // The device still holds the buffer it notified: leave the ring as it is and let the next
    // notification try this buffer again. Reading it now would race with the device.
    ++skippedBlocks_;
    return;
  }
  if (ring.capturing) {
    const FftSizes sizes = analysis.sizes();
    std::int16_t* current = ring.current();
    const std::int16_t* previous = ring.previous();

    if (selfTest) {
      writeSelfTest(current, sizes.fftSize, analysis.average.avgCount, settings.sampleRate);
    }

    const PeakScan peaks = scanPeaks(previous, current, sizes.blockFrames);
    if (observer_ != nullptr) observer_->levelsMeasured(peaks);

    assembleFftInput(previous, current, sizes.blockFrames, analysis.windowTable(),
                     settings.channelMode, work_.fftInput.data());

    const LevelSettings levelSettings{settings.ampScale, settings.weighting, settings.sampleRate};
    computeLevels(analysis.fftEngine(), work_.fftInput.data(), work_.fftOutput.data(),
                  levelSettings, analysis.average, work_.binLevels.data(), work_.avgLevels.data());

    if (observer_ != nullptr) {
      const BlockResult block{previous,
                              current,
                              sizes.blockFrames,
                              peaks,
                              work_.binLevels.data(),
                              work_.avgLevels.data()};
      observer_->displayStep(block);
    }

    const MMRESULT queued = ring.requeueCurrent(sizes.blockFrames);
    if (queued != MMSYSERR_NOERROR) {
      // The buffer stays out of the device's queue and blockIndex stays: the next
      // notification is handled with this buffer again.
      if (observer_ != nullptr) observer_->requeueFailed(queued);
      return;
    }
  }
  ring.advance();
}

}  // namespace kestrel
