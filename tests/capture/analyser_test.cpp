// The ring and the block handler through the simulated device: order, overlap, Start/Stop and
// their failures, bounded waits, device loss, and the whole chain from samples to levels.
#include "capture/analyser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "analyser_fixture.h"
#include "capture/self_test.h"

namespace kestrel {
namespace {

using testing::AnalyserRig;
using testing::oneInput;

// The counter signal's left sample of frame k.
std::int16_t counterLeft(std::int64_t k) {
  return static_cast<std::int16_t>(k & 0xFFFF);
}

TEST(Ring, BlocksOverlapByHalfInOrderAndTheFirstPreviousHalfIsSilence) {
  AnalyserRig rig(oneInput(sim::counter()));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(10);
  ASSERT_EQ(rig.observer.blocks.size(), 10u);
  const std::int32_t n = 1024;
  for (std::int64_t k = 0; k < 10; ++k) {
    const auto& block = rig.observer.blocks[k];
    for (std::int32_t j = 0; j < n; ++j) {
      ASSERT_EQ(block.current[2 * j], counterLeft(k * n + j)) << k << " " << j;
      ASSERT_EQ(block.current[2 * j + 1], static_cast<std::int16_t>(~counterLeft(k * n + j)));
      const std::int16_t previous = k == 0 ? std::int16_t{0} : counterLeft((k - 1) * n + j);
      ASSERT_EQ(block.previous[2 * j], previous) << k << " " << j;
    }
  }
}

TEST(Ring, StopWaitsForTheQueuedBuffersThenCloses) {
  AnalyserRig rig(oneInput(sim::counter()));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(2);
  rig.analyser->stop();
  EXPECT_FALSE(rig.analyser->capturing());
  const sim::Stats stats = rig.driver.stats();
  EXPECT_EQ(stats.delivered, 6);  // the four still queued were filled before the close
  EXPECT_EQ(stats.openHandles, 0);
  EXPECT_EQ(stats.closes, 1);
  EXPECT_EQ(rig.analyser->ring.timedOutWaits(), 0);

  // Their notifications arrive late: nothing is analysed, the index only advances.
  rig.pump();
  EXPECT_EQ(rig.observer.blocks.size(), 2u);
  EXPECT_EQ(rig.analyser->ring.blockIndex, 2);
  EXPECT_EQ(rig.driver.stats().addBufferCalls, 6);
}

TEST(Ring, SecondStartBeginsAtBufferZeroWithAFreshAverage) {
  AnalyserRig rig(oneInput(sim::sine(1000, 8000)));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(9);
  rig.analyser->stop();
  rig.pump();
  EXPECT_NE(rig.analyser->analysis.average.avgCount, -5);
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  EXPECT_EQ(rig.analyser->ring.blockIndex, 0);
  EXPECT_EQ(rig.analyser->analysis.average.avgCount, -5);
  EXPECT_EQ(rig.driver.stats().openHandles, 1);
}

struct StartFailureCase {
  const char* what;
  void (*inject)(sim::SimulatedDriver&);
  StartOutcome outcome;
  MMRESULT code;
};

TEST(Ring, FailedStartLeavesNoDeviceOpenAndALaterStartWorks) {
  const StartFailureCase cases[] = {
      {"open refused", [](sim::SimulatedDriver& d) { d.failOpen(MMSYSERR_ALLOCATED); },
       StartOutcome::OpenFailed, MMSYSERR_ALLOCATED},
      {"third buffer not queued",
       [](sim::SimulatedDriver& d) { d.failAddBuffer(3, MMSYSERR_NOMEM); },
       StartOutcome::QueueFailed, MMSYSERR_NOMEM},
      {"recording does not start", [](sim::SimulatedDriver& d) { d.failStart(MMSYSERR_ERROR); },
       StartOutcome::StartFailed, MMSYSERR_ERROR},
  };
  for (const StartFailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    AnalyserRig rig(oneInput(sim::silence()));
    c.inject(rig.driver);
    const StartResult result = rig.analyser->start(0);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.errorText, rig.driver.waveInGetErrorText(c.code));
    EXPECT_FALSE(result.errorText.empty());
    EXPECT_FALSE(rig.analyser->capturing());
    EXPECT_EQ(rig.driver.stats().openHandles, 0);

    rig.driver.clearFaults();
    EXPECT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
    EXPECT_EQ(rig.driver.stats().openHandles, 1);
    rig.deliver(1);
    EXPECT_EQ(rig.observer.blocks.size(), 1u);
  }
}

TEST(Ring, StartWithoutAnyDeviceFailsToOpenWithAText) {
  AnalyserRig rig(sim::Config{});
  const StartResult result = rig.analyser->start(WAVE_MAPPER);
  EXPECT_EQ(result.outcome, StartOutcome::OpenFailed);
  EXPECT_NE(result.code, MMSYSERR_NOERROR);
  EXPECT_FALSE(result.errorText.empty());
}

TEST(Ring, StopReturnsWhenTheDeviceNeverGivesABufferBack) {
  AnalyserRig rig(oneInput(sim::silence()));
  rig.analyser->analysis.changeFftSize(10);
  rig.analyser->settings.sampleRate = 48000;
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(1);
  rig.driver.holdBuffer(1);  // the next buffer, and the rest queued behind it, never come back
  rig.analyser->stop();      // bounded: four blocks of 10.7 ms plus the allowance
  EXPECT_FALSE(rig.analyser->capturing());
  EXPECT_GE(rig.analyser->ring.timedOutWaits(), 1);
  EXPECT_EQ(rig.driver.stats().openHandles, 0);
}

TEST(Ring, NotificationForABufferTheDeviceStillHoldsSkipsTheBlock) {
  AnalyserRig rig(oneInput(sim::silence()));
  rig.analyser->analysis.changeFftSize(10);
  rig.analyser->settings.sampleRate = 48000;
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(1);
  rig.driver.holdBuffer(1);
  // A notification naming buffer 1, which the device has not given back.
  rig.queue.post({MM_WIM_DATA, rig.analyser->ring.waveIn, &rig.analyser->ring.waveHeaders[1]});
  rig.pump();
  EXPECT_EQ(rig.analyser->skippedBlocks(), 1);
  EXPECT_EQ(rig.analyser->ring.blockIndex, 1);
  EXPECT_EQ(rig.observer.blocks.size(), 1u);
}

TEST(Ring, RequeueFailureKeepsTheBufferAndTheCaptureRunsOneBlockBehind) {
  AnalyserRig rig(oneInput(sim::counter()));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.driver.failAddBuffer(1, MMSYSERR_NOMEM);
  rig.deliver(1);
  ASSERT_EQ(rig.observer.requeueFailures.size(), 1u);
  EXPECT_EQ(rig.observer.requeueFailures[0], MMSYSERR_NOMEM);
  EXPECT_EQ(rig.analyser->ring.blockIndex, 0);
  EXPECT_TRUE(rig.analyser->capturing());

  rig.deliver(2);
  ASSERT_EQ(rig.observer.blocks.size(), 3u);
  // The failed buffer is analysed again, then each notification takes the buffer behind it.
  EXPECT_EQ(rig.observer.blocks[1].current, rig.observer.blocks[0].current);
  EXPECT_EQ(rig.observer.blocks[2].current[0], counterLeft(1024));
  EXPECT_EQ(rig.analyser->ring.blockIndex, 2);
}

TEST(Ring, DeviceLostDuringCaptureEndsItAtOnce) {
  AnalyserRig rig(oneInput(sim::sine(440, 1000)));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(2);
  rig.driver.removeInputDevice(0);
  rig.pump();
  EXPECT_FALSE(rig.analyser->capturing());
  EXPECT_EQ(rig.observer.lost, 1);
  EXPECT_EQ(rig.driver.stats().openHandles, 0);
  EXPECT_EQ(rig.analyser->ring.timedOutWaits(), 0);
  rig.deliver(1);
  EXPECT_EQ(rig.observer.blocks.size(), 2u);
}

TEST(Ring, FftSizeChangeDuringCaptureTakesEffectAtTheNextBlock) {
  AnalyserRig rig(oneInput(sim::counter()));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(1);
  rig.analyser->analysis.changeFftSize(12);
  rig.deliver(4);
  ASSERT_EQ(rig.observer.blocks.size(), 5u);
  EXPECT_EQ(rig.observer.blocks[0].binLevels.size(), 1024u);
  for (std::size_t k = 1; k < 5; ++k) EXPECT_EQ(rig.observer.blocks[k].binLevels.size(), 2048u);
  // Buffers queued before the change were filled at the old length; every requeue since uses
  // the new one.
  EXPECT_EQ(rig.observer.blocks[1].current[2 * 1023], counterLeft(2047));
  for (const WAVEHDR& header : rig.analyser->ring.waveHeaders) {
    EXPECT_EQ(header.dwBufferLength, 8192u);
  }
}

TEST(Ring, SelfTestReplacesTheInputBeforeAnythingReadsIt) {
  AnalyserRig rig(oneInput(sim::square(1000)));
  rig.analyser->selfTest = true;
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(3);
  const std::int32_t n = 1024;
  for (std::int32_t k = 1; k < 3; ++k) {
    const auto& block = rig.observer.blocks[k];
    const std::int32_t count = -5 + k;  // the block clock before the block's own increment
    for (std::int32_t j = 0; j < n; ++j) {
      ASSERT_EQ(block.current[2 * j], selfTestSample(count * n + j, 44100));
      ASSERT_EQ(block.current[2 * j + 1], block.current[2 * j]);
      ASSERT_EQ(block.previous[2 * j], selfTestSample((count - 1) * n + j, 44100));
    }
    EXPECT_FALSE(block.peaks.clipLeft || block.peaks.clipRight);
    EXPECT_LE(block.peaks.peakLeft(), 65533);
  }
}

TEST(Ring, ClipsAreSeenInTheBlockOfTheBufferAndTheNext) {
  AnalyserRig rig(oneInput(sim::stereo(sim::square(441), sim::sine(441, 1000))));
  ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
  rig.deliver(2);
  for (const auto& block : rig.observer.blocks) {
    EXPECT_TRUE(block.peaks.clipLeft);
    EXPECT_FALSE(block.peaks.clipRight);
    EXPECT_EQ(block.peaks.peakLeft(), 65535);
  }
  EXPECT_EQ(rig.observer.levelsMeasuredCalls, 2);
}

// A full-scale cosine at the centre of bin 256 of a 2048-point transform, left channel only,
// through the device, the ring, the window and the transform, on every amplitude scale.
TEST(Chain, FullScaleCosineLandsInItsBinOnEveryScale) {
  const double binCentre = 256.0 * 44100 / 2048;
  struct ScaleCase {
    std::int32_t ampScale;
    std::int32_t low, high;  // the bin's level lies in [low, high]
  };
  const ScaleCase cases[] = {
      {1, 16300, 16383},
      {2, 2 * 16300, 2 * 16384 - 1},
      {4, 4 * 16300, 4 * 16384 - 1},
      {32, 32 * 16300, 32 * 16384 - 1},
      {kAmpSqrt, 16383, 16383},
      {kAmp100dB, 16383, 16383},
      {kAmp135dB, 16383, 16383},
  };
  for (const ScaleCase& c : cases) {
    SCOPED_TRACE(c.ampScale);
    AnalyserRig rig(oneInput(sim::sine(binCentre, 32767, M_PI / 2)));
    rig.analyser->settings.channelMode = ChannelMode::Left;
    rig.analyser->settings.ampScale = c.ampScale;
    ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
    rig.deliver(3);
    const auto& levels = rig.observer.blocks.back().binLevels;
    EXPECT_GE(levels[256], c.low);
    EXPECT_LE(levels[256], c.high);
    for (std::size_t bin = 0; bin < levels.size(); ++bin) {
      if (bin != 256) {
        ASSERT_LT(levels[bin], levels[256]) << bin;
      }
    }
    if (c.ampScale == 1) {
      // The Hanning window gives each neighbour half the amplitude.
      EXPECT_NEAR(levels[255], levels[256] / 2, 40);
      EXPECT_NEAR(levels[257], levels[256] / 2, 40);
    }
  }
}

}  // namespace
}  // namespace kestrel
