// The simulated driver's buffer protocol in stepped pacing: order of fills, the header flags,
// unprepare as a wait, and close.
#include <gtest/gtest.h>

#include <cstring>

#include "wave_rig.h"

namespace kestrel::test {
namespace {

using sim::Config;
using sim::SimulatedDriver;

Config counterConfig() {
  Config config;
  config.inputs.push_back(device("Counter", sim::counter()));
  return config;
}

TEST(SimulatedDriver, FillsBuffersInQueueOrderWithoutGapOrOverlap) {
  SimulatedDriver driver(counterConfig());
  WaveRig rig(driver);
  rig.start(0, 1024);

  // Run the ring as the analyser does for many rounds, changing the buffer length on the way
  // (as an FFT-length change does) and with an odd length that is no power of two.
  const std::int32_t lengths[] = {1024, 1024, 2048, 333, 1};
  std::array<std::int32_t, 4> queuedFrames = {1024, 1024, 1024, 1024};
  std::uint64_t next = 0;
  for (int block = 0; block < 60; ++block) {
    const int i = block % 4;
    ASSERT_TRUE(driver.deliverBuffer());
    rig.expectData(i);
    WAVEHDR& header = rig.headers[static_cast<std::size_t>(i)];
    EXPECT_EQ(flagsOf(header) & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    ASSERT_EQ(header.dwBytesRecorded, static_cast<std::uint32_t>(queuedFrames[i]) * 4);
    expectCounterFrames(rig.samples(i), queuedFrames[i], next);
    ASSERT_EQ(rig.unprepare(i), MMSYSERR_NOERROR);
    EXPECT_EQ(flagsOf(header) & WHDR_PREPARED, 0u);
    queuedFrames[i] = lengths[(block / 7) % 5];
    ASSERT_EQ(rig.queueBuffer(i, queuedFrames[i]), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(driver.stats().delivered, 60);
  EXPECT_EQ(driver.stats().queued, 4);
  EXPECT_EQ(rig.queue.size(), 0u);
}

TEST(SimulatedDriver, DeliversNothingBeforeStartOrWithNothingQueued) {
  SimulatedDriver driver(counterConfig());
  WaveRig rig(driver);
  EXPECT_FALSE(driver.deliverBuffer());  // nothing open
  ASSERT_EQ(rig.open(0), MMSYSERR_NOERROR);
  ASSERT_EQ(rig.queueBuffer(0, 16), MMSYSERR_NOERROR);
  EXPECT_FALSE(driver.deliverBuffer());
  EXPECT_EQ(rig.unprepare(0), WAVERR_STILLPLAYING);  // queued but never recording
  ASSERT_EQ(driver.waveInStart(rig.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.deliverBuffers(3), 1);
  EXPECT_FALSE(driver.deliverBuffer());
}

TEST(SimulatedDriver, SteppedUnprepareDeliversEveryBufferUpToTheHeader) {
  SimulatedDriver driver(counterConfig());
  WaveRig rig(driver);
  rig.start(0, 64);

  ASSERT_EQ(rig.unprepare(2), MMSYSERR_NOERROR);
  rig.expectData(0);
  rig.expectData(1);
  rig.expectData(2);
  EXPECT_EQ(rig.queue.size(), 0u);
  std::uint64_t next = 0;
  for (int i = 0; i < 3; ++i) expectCounterFrames(rig.samples(i), 64, next);
  EXPECT_EQ(flagsOf(rig.headers[2]) & (WHDR_DONE | WHDR_PREPARED), WHDR_DONE);
  EXPECT_NE(flagsOf(rig.headers[3]) & WHDR_INQUEUE, 0u);
  EXPECT_EQ(driver.stats().delivered, 3);

  // The earlier headers are done already: releasing them delivers nothing more.
  EXPECT_EQ(rig.unprepare(0), MMSYSERR_NOERROR);
  EXPECT_EQ(rig.unprepare(1), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.stats().delivered, 3);
  EXPECT_EQ(rig.unprepare(3), MMSYSERR_NOERROR);
  rig.expectData(3);
  expectCounterFrames(rig.samples(3), 64, next);
}

TEST(SimulatedDriver, HeaderProtocolErrors) {
  SimulatedDriver driver(counterConfig());
  WaveRig rig(driver);
  ASSERT_EQ(rig.open(0), MMSYSERR_NOERROR);

  WAVEHDR& header = rig.headers[0];
  header.lpData = reinterpret_cast<char*>(rig.buffers[0].data());
  header.dwBufferLength = 64;
  EXPECT_EQ(driver.waveInAddBuffer(rig.handle, &header), WAVERR_UNPREPARED);
  EXPECT_EQ(flagsOf(header) & WHDR_INQUEUE, 0u);

  // A prepared header that was never queued is released at once.
  ASSERT_EQ(driver.waveInPrepareHeader(rig.handle, &header), MMSYSERR_NOERROR);
  EXPECT_EQ(flagsOf(header), WHDR_PREPARED);
  EXPECT_EQ(driver.waveInUnprepareHeader(rig.handle, &header), MMSYSERR_NOERROR);
  EXPECT_EQ(flagsOf(header), 0u);

  // Queueing a header the device already holds would break the order: refused.
  ASSERT_EQ(rig.queueBuffer(0, 16), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.waveInAddBuffer(rig.handle, &header), WAVERR_STILLPLAYING);
  EXPECT_EQ(driver.stats().queued, 1);

  const HWAVEIN stale = rig.handle + 1;
  EXPECT_EQ(driver.waveInPrepareHeader(stale, &header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(driver.waveInAddBuffer(stale, &header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(driver.waveInStart(stale), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(driver.waveInUnprepareHeader(stale, &header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(driver.waveInClose(stale), MMSYSERR_INVALHANDLE);
}

TEST(SimulatedDriver, CloseHandsBackQueuedHeadersWithoutNotifying) {
  SimulatedDriver driver(counterConfig());
  WaveRig rig(driver);
  rig.start(0, 32);
  ASSERT_TRUE(driver.deliverBuffer());

  ASSERT_EQ(driver.waveInClose(rig.handle), MMSYSERR_NOERROR);
  for (int i = 1; i < 4; ++i) {
    WAVEHDR& header = rig.headers[static_cast<std::size_t>(i)];
    EXPECT_EQ(flagsOf(header) & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE) << "header " << i;
    EXPECT_EQ(header.dwBytesRecorded, 0u) << "header " << i;
  }
  rig.expectData(0);
  EXPECT_EQ(rig.queue.size(), 0u);  // nothing for the headers handed back

  const sim::Stats stats = driver.stats();
  EXPECT_EQ(stats.opens, 1);
  EXPECT_EQ(stats.closes, 1);
  EXPECT_EQ(stats.openHandles, 0);
  EXPECT_EQ(stats.queued, 0);
  EXPECT_EQ(driver.waveInClose(rig.handle), MMSYSERR_INVALHANDLE);

  // The device is free again, and its signal runs on where the last capture left it.
  WaveRig again(driver);
  again.start(0, 32);
  ASSERT_TRUE(driver.deliverBuffer());
  std::uint64_t next = 32;
  expectCounterFrames(again.samples(0), 32, next);
  EXPECT_EQ(driver.stats().closes, 1);
}

TEST(SimulatedDriver, RendersIntoAMisalignedBuffer) {
  SimulatedDriver driver(counterConfig());
  WaveRig rig(driver);
  ASSERT_EQ(rig.open(0), MMSYSERR_NOERROR);
  alignas(4) std::array<char, 4 * 300 + 1> bytes{};
  WAVEHDR header;
  header.lpData = bytes.data() + 1;
  header.dwBufferLength = 4 * 300;
  ASSERT_EQ(driver.waveInPrepareHeader(rig.handle, &header), MMSYSERR_NOERROR);
  ASSERT_EQ(driver.waveInAddBuffer(rig.handle, &header), MMSYSERR_NOERROR);
  ASSERT_EQ(driver.waveInStart(rig.handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(driver.deliverBuffer());

  std::array<std::int16_t, 2 * 300> samples{};
  std::memcpy(samples.data(), header.lpData, sizeof samples);
  std::uint64_t next = 0;
  expectCounterFrames(samples.data(), 300, next);
}

}  // namespace
}  // namespace kestrel::test
