// A capture through the raw wave-in calls on a PulseDriver: four buffers, a notification queue,
// and waiting for notifications with generous bounds (waiting for an event, never a sleep).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "capture/drivers/pulse/pulse_driver.h"
#include "capture/notification_queue.h"

namespace kestrel::testing {

inline WAVEFORMATEX stereo16(std::uint32_t sampleRate) {
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = sampleRate;
  format.nAvgBytesPerSec = sampleRate * 4;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  format.cbSize = 0;
  return format;
}

// How long a test waits for one notification before it calls the capture dead. Far above any
// real delay: it only keeps a broken driver from hanging the suite.
inline constexpr std::chrono::milliseconds kEventWait{10000};

// The position of the source with this description in the driver's input list, or -1.
inline DeviceId findInput(WaveDriver& driver, const std::string& name) {
  const std::uint32_t n = driver.waveInGetNumDevs();
  for (std::uint32_t i = 0; i < n; ++i) {
    WAVEINCAPS caps;
    if (driver.waveInGetDevCaps(static_cast<DeviceId>(i), caps) == MMSYSERR_NOERROR &&
        caps.szPname == name) {
      return static_cast<DeviceId>(i);
    }
  }
  return -1;
}

struct LiveRig {
  static constexpr std::int32_t kMaxFrames = 4096;

  explicit LiveRig(WaveDriver& driverToUse) : driver(driverToUse) {}
  ~LiveRig() {
    if (handle != kNoWaveIn) driver.waveInClose(handle);
  }

  MMRESULT open(DeviceId id, std::uint32_t rate = 48000) {
    return driver.waveInOpen(&handle, id, stereo16(rate), &queue, 0, CALLBACK_WINDOW);
  }

  MMRESULT queueBuffer(int i) {
    WAVEHDR& header = headers[static_cast<std::size_t>(i)];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<char*>(buffers[static_cast<std::size_t>(i)].data());
    header.dwBufferLength = static_cast<std::uint32_t>(frames) * 4;
    driver.waveInPrepareHeader(handle, &header);
    return driver.waveInAddBuffer(handle, &header);
  }

  void start(DeviceId id, std::int32_t blockFrames, std::uint32_t rate = 48000) {
    frames = blockFrames;
    const MMRESULT opened = open(id, rate);
    ASSERT_EQ(opened, MMSYSERR_NOERROR) << driver.waveInGetErrorText(opened);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(queueBuffer(i), MMSYSERR_NOERROR);
    ASSERT_EQ(driver.waveInStart(handle), MMSYSERR_NOERROR);
  }

  // The next notification; false when none came within kEventWait.
  bool next(WaveMessage& message) { return queue.waitTake(message, kEventWait); }

  int indexOf(const WAVEHDR* header) const {
    for (int i = 0; i < 4; ++i) {
      if (header == &headers[static_cast<std::size_t>(i)]) return i;
    }
    return -1;
  }

  MMRESULT unprepare(int i) {
    return driver.waveInUnprepareHeader(handle, &headers[static_cast<std::size_t>(i)]);
  }

  WaveDriver& driver;
  NotificationQueue queue;
  HWAVEIN handle = kNoWaveIn;
  std::int32_t frames = 1024;
  std::array<std::array<std::int16_t, 2 * kMaxFrames>, 4> buffers{};
  std::array<WAVEHDR, 4> headers{};
};

}  // namespace kestrel::testing
