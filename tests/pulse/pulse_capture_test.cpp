// Capturing from a real server: signals played into the null sink come back from its monitor
// through the PulseDriver, the Analyser and the raw wave-in calls. A tone lands in its bin; a
// counter comes back whole and in order; Stop returns within its bound; a server killed during a
// capture ends it with one device-lost report; and the delay from sound to notification is
// measured for the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "capture/analyser.h"
#include "capture/drivers/pulse/pulse_driver.h"
#include "live_rig.h"
#include "player.h"
#include "pulse_server.h"

namespace kestrel::testing {
namespace {

using pulse::PulseDriver;
using pulse::PulseOptions;

constexpr std::uint32_t kRate = 48000;

PulseOptions optionsFor(const PulseServer& server) {
  PulseOptions options;
  options.server = server.address();
  return options;
}

struct BinWatcher final : BlockObserver {
  void displayStep(const BlockResult& block) override {
    const std::int32_t* levels = block.binLevels;
    loudest = static_cast<int>(std::max_element(levels, levels + block.blockFrames) - levels);
    ++blocks;
  }
  void deviceLost() override { ++lost; }
  int loudest = -1;
  int blocks = 0;
  int lost = 0;
};

// Runs the analyser's message loop until `done` holds or no notification comes for kEventWait.
template <typename Done>
bool pump(NotificationQueue& queue, Analyser& analyser, Done done) {
  WaveMessage message;
  while (!done()) {
    if (!queue.waitTake(message, kEventWait)) return false;
    analyser.handleMessage(message);
  }
  return true;
}

TEST(PulseCapture, APlayedToneLandsInItsBinAndStopReturnsWithinItsBound) {
  // Bin 64 of a 2048-point transform at 48 kHz: 1500 Hz.
  constexpr int kBin = 64;
  Player player(sharedServer().address(), "test", kRate,
                [](std::int16_t* out, int frames, std::uint64_t position) {
                  for (int k = 0; k < frames; ++k) {
                    const double t = static_cast<double>(position + k) / kRate;
                    const auto v = static_cast<std::int16_t>(
                        std::lround(8000 * std::sin(2 * M_PI * 1500.0 * t)));
                    out[2 * k] = out[2 * k + 1] = v;
                  }
                });
  std::string why;
  ASSERT_TRUE(player.opened(why)) << why;

  PulseDriver driver(optionsFor(sharedServer()));
  const DeviceId monitor = findInput(driver, "Monitor of KestrelTest");
  ASSERT_GE(monitor, 0);
  NotificationQueue queue;
  Analyser analyser(driver, queue);
  analyser.settings.sampleRate = kRate;
  BinWatcher watcher;
  analyser.setObserver(&watcher);
  const StartResult started = analyser.start(monitor);
  ASSERT_EQ(started.outcome, StartOutcome::Started) << started.errorText;

  // Wait for the tone to fill whole blocks: the first few may hold the start of the stream.
  int inBin = 0;
  ASSERT_TRUE(pump(queue, analyser, [&] {
    if (watcher.blocks > 0) inBin = watcher.loudest == kBin ? inBin + 1 : 0;
    return inBin >= 5 || watcher.blocks > 200;
  })) << "the capture stopped delivering";
  EXPECT_EQ(inBin, 5) << "loudest bin " << watcher.loudest << " after " << watcher.blocks
                      << " blocks";

  analyser.stop();
  EXPECT_FALSE(analyser.capturing());
  EXPECT_EQ(analyser.ring.timedOutWaits(), 0);
  EXPECT_EQ(analyser.skippedBlocks(), 0);
  EXPECT_EQ(driver.stats().timedOutWaits, 0);
}

TEST(PulseCapture, StopRightAfterStartWaitsForTheQueuedBuffersWithinItsBound) {
  PulseDriver driver(optionsFor(sharedServer()));
  // An idle null sink runs in two-second cycles until a stream asks for a short latency, and the
  // first stream waits out the current cycle. Another capture already running on the monitor
  // keeps the cycle short, as sound flowing on a desktop does.
  WaveRig running(driver);
  ASSERT_NO_FATAL_FAILURE(running.start(WAVE_MAPPER, 1024));
  WaveMessage first;
  ASSERT_TRUE(running.next(first));

  NotificationQueue queue;
  Analyser analyser(driver, queue);
  analyser.settings.sampleRate = kRate;
  const StartResult started = analyser.start(WAVE_MAPPER);
  ASSERT_EQ(started.outcome, StartOutcome::Started) << started.errorText;
  analyser.stop();
  EXPECT_FALSE(analyser.capturing());
  EXPECT_EQ(analyser.ring.timedOutWaits(), 0);
  // Every buffer was filled and announced before the device was closed.
  int data = 0;
  WaveMessage message;
  while (queue.tryTake(message)) data += message.message == MM_WIM_DATA;
  EXPECT_EQ(data, 4);
}

TEST(PulseCapture, ACounterComesBackInOrderWithoutGapsInsideABuffer) {
  Player player(sharedServer().address(), "test", kRate, counterSignal);
  std::string why;
  ASSERT_TRUE(player.opened(why)) << why;
  PulseDriver driver(optionsFor(sharedServer()));
  const DeviceId monitor = findInput(driver, "Monitor of KestrelTest");
  ASSERT_GE(monitor, 0);
  WaveRig rig(driver);
  ASSERT_NO_FATAL_FAILURE(rig.start(monitor, 1024));

  constexpr int kBuffers = 120;
  bool synced = false;  // the monitor starts with silence until the player's stream runs
  std::uint16_t expected = 0;
  std::uint64_t gapFrames = 0;
  int nextIndex = 0;
  for (int b = 0; b < kBuffers; ++b) {
    WaveMessage message;
    ASSERT_TRUE(rig.next(message)) << "no buffer after " << b;
    ASSERT_EQ(message.message, MM_WIM_DATA);
    const int i = rig.indexOf(message.header);
    ASSERT_EQ(i, nextIndex) << "buffers must come back in the order they were queued";
    nextIndex = (nextIndex + 1) % 4;
    ASSERT_EQ(rig.unprepare(i), MMSYSERR_NOERROR);
    ASSERT_EQ(message.header->dwBytesRecorded, 1024u * 4);
    const std::int16_t* s = rig.buffers[static_cast<std::size_t>(i)].data();
    int k = 0;
    if (!synced) {
      while (k < 1024 && s[2 * k] == 0 && s[2 * k + 1] == 0) ++k;
      if (k < 1024) {
        synced = true;
        expected = static_cast<std::uint16_t>(s[2 * k]);
      }
    } else if (static_cast<std::uint16_t>(s[0]) != expected) {
      // Between buffers: only where data arrived while nothing was queued.
      gapFrames += static_cast<std::uint16_t>(static_cast<std::uint16_t>(s[0]) - expected);
      expected = static_cast<std::uint16_t>(s[0]);
    }
    for (; k < 1024; ++k, ++expected) {
      ASSERT_EQ(static_cast<std::uint16_t>(s[2 * k]), expected) << "buffer " << b << " frame " << k;
      ASSERT_EQ(static_cast<std::uint16_t>(s[2 * k + 1]), static_cast<std::uint16_t>(~expected))
          << "buffer " << b << " frame " << k;
    }
    ASSERT_EQ(rig.queueBuffer(i), MMSYSERR_NOERROR);
  }
  EXPECT_TRUE(synced) << "the counter never arrived";
  const pulse::PulseStats stats = driver.stats();
  EXPECT_LE(gapFrames * 4, stats.droppedBytes);
  EXPECT_EQ(stats.holeBytes, 0u);
  EXPECT_EQ(stats.timedOutWaits, 0);
  RecordProperty("fragment_bytes", static_cast<int>(stats.fragmentBytes));
}

TEST(PulseDeviceLost, TheServerKilledDuringACaptureEndsItCleanly) {
  PulseServer server;
  std::string why;
  ASSERT_TRUE(server.start(why)) << why;
  PulseDriver driver(optionsFor(server));
  NotificationQueue queue;
  Analyser analyser(driver, queue);
  analyser.settings.sampleRate = kRate;
  BinWatcher watcher;
  analyser.setObserver(&watcher);
  const StartResult started = analyser.start(WAVE_MAPPER);
  ASSERT_EQ(started.outcome, StartOutcome::Started) << started.errorText;
  ASSERT_TRUE(pump(queue, analyser, [&] { return watcher.blocks >= 2; }));

  server.kill();
  ASSERT_TRUE(pump(queue, analyser, [&] { return watcher.lost > 0; })) << "no device-lost report";
  EXPECT_FALSE(analyser.capturing());
  EXPECT_EQ(watcher.lost, 1);
  EXPECT_EQ(analyser.ring.timedOutWaits(), 0);
  EXPECT_EQ(driver.stats().deviceLostReports, 1);
  // The driver stays usable: with the server gone the lists are empty and opening says why.
  EXPECT_EQ(driver.waveInGetNumDevs(), 0u);
  EXPECT_EQ(analyser.start(WAVE_MAPPER).code, MMSYSERR_NODRIVER);
}

TEST(PulseCapture, ReportsTheDelayFromSoundToNotification) {
  // Silence, then one full-scale frame every half second; each impulse's write time against the
  // time its buffer is notified.
  constexpr std::uint64_t kPeriod = kRate / 2;
  Player player(
      sharedServer().address(), "test", kRate,
      [](std::int16_t* out, int frames, std::uint64_t position) {
        for (int k = 0; k < frames; ++k) {
          const bool impulse = (position + k) % kPeriod == kPeriod - 1;
          out[2 * k] = out[2 * k + 1] = impulse ? 30000 : 0;
        }
      },
      std::chrono::milliseconds(10));
  std::string why;
  ASSERT_TRUE(player.opened(why)) << why;
  PulseDriver driver(optionsFor(sharedServer()));
  const DeviceId monitor = findInput(driver, "Monitor of KestrelTest");
  ASSERT_GE(monitor, 0);
  WaveRig rig(driver);
  ASSERT_NO_FATAL_FAILURE(rig.start(monitor, 1024));

  std::vector<double> delays;
  std::uint64_t impulse = 1;
  player.watch(impulse * kPeriod - 1);
  for (int b = 0; b < 400 && delays.size() < 6; ++b) {
    WaveMessage message;
    ASSERT_TRUE(rig.next(message));
    const auto notified = std::chrono::steady_clock::now();
    const int i = rig.indexOf(message.header);
    ASSERT_GE(i, 0);
    ASSERT_EQ(rig.unprepare(i), MMSYSERR_NOERROR);
    const std::int16_t* s = rig.buffers[static_cast<std::size_t>(i)].data();
    const bool found = std::any_of(s, s + 2 * 1024, [](std::int16_t v) { return v > 20000; });
    std::chrono::steady_clock::time_point written;
    std::uint64_t playbackUsec = 0;
    if (found && player.writeTimeOf(impulse * kPeriod - 1, written, playbackUsec)) {
      delays.push_back(std::chrono::duration<double, std::milli>(notified - written).count());
      std::cout << "impulse " << impulse << ": written to notified " << delays.back()
                << " ms (player's own latency then " << playbackUsec / 1000.0 << " ms)\n";
      ++impulse;
      player.watch(impulse * kPeriod - 1);
    }
    ASSERT_EQ(rig.queueBuffer(i), MMSYSERR_NOERROR);
  }
  ASSERT_FALSE(delays.empty()) << "no impulse came back";
  std::sort(delays.begin(), delays.end());
  const double median = delays[delays.size() / 2];
  std::cout << "sound to notification, median of " << delays.size() << ": " << median
            << " ms; fragment " << driver.stats().fragmentBytes << " bytes\n";
  RecordProperty("latency_ms_median", std::to_string(median));
}

}  // namespace
}  // namespace kestrel::testing
