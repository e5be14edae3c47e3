// A capture through the raw wave-in calls, as the analyser makes them: four buffers with their
// headers and a notification queue, for the tests of every driver.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "capture/notification_queue.h"
#include "capture/wave_driver.h"

namespace kestrel::testing {

// How long a test waits for one notification before it calls the capture dead. Far above any
// real delay: it only keeps a broken driver from hanging the suite.
inline constexpr std::chrono::milliseconds kEventWait{10000};

inline std::uint32_t flagsOf(WAVEHDR& header) {
  return std::atomic_ref<std::uint32_t>(header.dwFlags).load(std::memory_order_acquire);
}

struct WaveRig {
  static constexpr std::int32_t kMaxFrames = 4096;

  explicit WaveRig(WaveDriver& driverToUse) : driver(driverToUse) {}
  ~WaveRig() {
    if (handle != kNoWaveIn) driver.waveInClose(handle);
  }

  MMRESULT open(DeviceId id, std::uint32_t sampleRate = 48000) {
    return driver.waveInOpen(&handle, id, pcmStereo16(sampleRate), &queue, 0, CALLBACK_WINDOW);
  }

  // Sets header i up as the analyser does before each hand-over, prepares and queues it.
  MMRESULT queueBuffer(int i, std::int32_t bufferFrames) {
    WAVEHDR& header = headers[static_cast<std::size_t>(i)];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<char*>(buffers[static_cast<std::size_t>(i)].data());
    header.dwBufferLength = static_cast<std::uint32_t>(bufferFrames) * 4;
    driver.waveInPrepareHeader(handle, &header);
    return driver.waveInAddBuffer(handle, &header);
  }
  MMRESULT queueBuffer(int i) { return queueBuffer(i, frames); }

  // Opens, queues all four buffers of blockFrames and starts, asserting every step.
  void start(DeviceId id, std::int32_t blockFrames, std::uint32_t sampleRate = 48000) {
    frames = blockFrames;
    const MMRESULT opened = open(id, sampleRate);
    ASSERT_EQ(opened, MMSYSERR_NOERROR) << driver.waveInGetErrorText(opened);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(queueBuffer(i), MMSYSERR_NOERROR);
    ASSERT_EQ(driver.waveInStart(handle), MMSYSERR_NOERROR);
  }

  MMRESULT unprepare(int i) {
    return driver.waveInUnprepareHeader(handle, &headers[static_cast<std::size_t>(i)]);
  }

  // The next notification must already be there and be MM_WIM_DATA for header i.
  void expectData(int i) {
    WaveMessage message;
    ASSERT_TRUE(queue.tryTake(message)) << "no notification for buffer " << i;
    EXPECT_EQ(message.message, MM_WIM_DATA);
    EXPECT_EQ(message.device, handle);
    EXPECT_EQ(message.header, &headers[static_cast<std::size_t>(i)]);
  }

  // The next notification; false when none came within kEventWait.
  bool next(WaveMessage& message) { return queue.waitTake(message, kEventWait); }

  int indexOf(const WAVEHDR* header) const {
    for (int i = 0; i < 4; ++i) {
      if (header == &headers[static_cast<std::size_t>(i)]) return i;
    }
    return -1;
  }

  const std::int16_t* samples(int i) const { return buffers[static_cast<std::size_t>(i)].data(); }

  WaveDriver& driver;
  NotificationQueue queue;
  HWAVEIN handle = kNoWaveIn;
  std::int32_t frames = 1024;  // of each buffer, as start queued them
  std::array<std::array<std::int16_t, 2 * kMaxFrames>, 4> buffers{};
  std::array<WAVEHDR, 4> headers{};
};

}  // namespace kestrel::testing
