// Injected faults of the simulated driver and devices that go away during a capture.
#include <gtest/gtest.h>

#include "wave_rig.h"

namespace kestrel::test {
namespace {

using sim::Config;
using sim::SimulatedDriver;

Config threeDevices() {
  Config config;
  config.inputs.push_back(device("Line In", sim::counter()));
  config.inputs.push_back(device("Microphone", sim::counter()));
  config.inputs.push_back(device("USB Headset", sim::counter()));
  return config;
}

std::string nameOf(SimulatedDriver& driver, DeviceId id) {
  WAVEINCAPS caps;
  EXPECT_EQ(driver.waveInGetDevCaps(id, caps), MMSYSERR_NOERROR);
  return caps.szPname;
}

TEST(SimulatedDriverFaults, OpenFailsUntilCleared) {
  SimulatedDriver driver(threeDevices());
  WaveRig rig(driver);
  driver.failOpen(MMSYSERR_NOMEM);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(rig.open(0), MMSYSERR_NOMEM);
    EXPECT_EQ(rig.handle, kNoWaveIn);
  }
  driver.clearFaults();
  EXPECT_EQ(rig.open(0), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.stats().opens, 1);
}

TEST(SimulatedDriverFaults, TheChosenAddBufferCallFailsAlone) {
  SimulatedDriver driver(threeDevices());
  WaveRig rig(driver);
  ASSERT_EQ(rig.open(0), MMSYSERR_NOERROR);
  driver.failAddBuffer(3, MMSYSERR_ERROR);
  EXPECT_EQ(rig.queueBuffer(0, 16), MMSYSERR_NOERROR);
  EXPECT_EQ(rig.queueBuffer(1, 16), MMSYSERR_NOERROR);
  EXPECT_EQ(rig.queueBuffer(2, 16), MMSYSERR_ERROR);
  EXPECT_EQ(flagsOf(rig.headers[2]) & WHDR_INQUEUE, 0u);
  EXPECT_EQ(rig.queueBuffer(3, 16), MMSYSERR_NOERROR);
  EXPECT_EQ(rig.queueBuffer(2, 16), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.stats().addBufferCalls, 5);
  EXPECT_EQ(driver.stats().queued, 4);

  // The queue keeps the order of the successful calls.
  ASSERT_EQ(driver.waveInStart(rig.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.deliverBuffers(4), 4);
  for (int i : {0, 1, 3, 2}) rig.expectData(i);
}

TEST(SimulatedDriverFaults, StartFailsUntilClearedAndNothingIsRecorded) {
  SimulatedDriver driver(threeDevices());
  WaveRig rig(driver);
  ASSERT_EQ(rig.open(0), MMSYSERR_NOERROR);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(rig.queueBuffer(i, 16), MMSYSERR_NOERROR);
  driver.failStart(MMSYSERR_NOTENABLED);
  EXPECT_EQ(driver.waveInStart(rig.handle), MMSYSERR_NOTENABLED);
  EXPECT_EQ(driver.waveInStart(rig.handle), MMSYSERR_NOTENABLED);
  EXPECT_FALSE(driver.deliverBuffer());
  driver.clearFaults();
  EXPECT_EQ(driver.waveInStart(rig.handle), MMSYSERR_NOERROR);
  EXPECT_TRUE(driver.deliverBuffer());
}

TEST(SimulatedDriverFaults, AHeldBufferAndThoseBehindItNeverComeBack) {
  SimulatedDriver driver(threeDevices());
  WaveRig rig(driver);
  rig.start(0, 16);
  driver.holdBuffer(2);

  EXPECT_TRUE(driver.deliverBuffer());
  EXPECT_FALSE(driver.deliverBuffer());
  EXPECT_FALSE(driver.deliverBuffer());
  EXPECT_EQ(rig.unprepare(0), MMSYSERR_NOERROR);
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(rig.unprepare(1), WAVERR_STILLPLAYING);
    EXPECT_EQ(rig.unprepare(3), WAVERR_STILLPLAYING);
  }
  // Requeued behind the held one, the first buffer is stuck as well.
  ASSERT_EQ(rig.queueBuffer(0, 16), MMSYSERR_NOERROR);
  EXPECT_EQ(rig.unprepare(0), WAVERR_STILLPLAYING);
  EXPECT_EQ(driver.stats().delivered, 1);
  rig.expectData(0);
  EXPECT_EQ(rig.queue.size(), 0u);

  // Closing is the way out: every held header comes back.
  ASSERT_EQ(driver.waveInClose(rig.handle), MMSYSERR_NOERROR);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(flagsOf(rig.headers[static_cast<std::size_t>(i)]) & WHDR_DONE, 0u) << i;
  }
}

TEST(SimulatedDriverFaults, RemovingTheOpenDeviceLosesItOnceAndReleasesItsHeaders) {
  SimulatedDriver driver(threeDevices());
  WaveRig rig(driver);
  rig.start(1, 16);
  ASSERT_TRUE(driver.deliverBuffer());

  driver.removeInputDevice(1);
  EXPECT_EQ(driver.waveInGetNumDevs(), 2u);
  EXPECT_EQ(nameOf(driver, 1), "USB Headset");  // later ids moved down
  EXPECT_FALSE(driver.deliverBuffer());

  rig.expectData(0);
  WaveMessage message;
  ASSERT_TRUE(rig.queue.tryTake(message));
  EXPECT_EQ(message.message, WIM_DEVICE_LOST);
  EXPECT_EQ(message.device, rig.handle);
  EXPECT_EQ(rig.queue.size(), 0u);

  EXPECT_EQ(rig.unprepare(0), MMSYSERR_NOERROR);  // came back before the loss
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(rig.unprepare(i), MMSYSERR_NODEVICE) << i;
    WAVEHDR& header = rig.headers[static_cast<std::size_t>(i)];
    EXPECT_EQ(flagsOf(header) & (WHDR_DONE | WHDR_INQUEUE | WHDR_PREPARED), WHDR_DONE) << i;
    EXPECT_EQ(rig.unprepare(i), MMSYSERR_NOERROR) << i;  // released: no longer held
  }
  EXPECT_EQ(rig.queueBuffer(0, 16), MMSYSERR_NODEVICE);
  EXPECT_EQ(driver.stats().queued, 0);
  EXPECT_EQ(driver.waveInClose(rig.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(rig.queue.size(), 0u);  // lost exactly once

  // The device that moved into the freed id opens as usual.
  WaveRig next(driver);
  EXPECT_EQ(next.open(1), MMSYSERR_NOERROR);
}

TEST(SimulatedDriverFaults, DevicesComeAndGoByPosition) {
  SimulatedDriver driver(threeDevices());
  driver.addInputDevice(device("Front Mic"), 0);
  driver.addInputDevice(device("Last"), 99);
  driver.removeInputDevice(2);   // "Microphone"
  driver.removeInputDevice(7);   // no such device: nothing happens
  driver.removeInputDevice(-1);  // nor here
  const char* expected[] = {"Front Mic", "Line In", "USB Headset", "Last"};
  ASSERT_EQ(driver.waveInGetNumDevs(), 4u);
  for (DeviceId id = 0; id < 4; ++id) EXPECT_EQ(nameOf(driver, id), expected[id]);

  // A device added without a signal records silence.
  WaveRig rig(driver);
  rig.buffers[0].fill(123);
  rig.start(0, 8);
  ASSERT_TRUE(driver.deliverBuffer());
  for (int k = 0; k < 16; ++k) EXPECT_EQ(rig.samples(0)[k], 0);
}

}  // namespace
}  // namespace kestrel::test
