// A capture set-up for driver tests: four buffers with their headers and a notification queue,
// used the way the analyser uses a device (prepare, queue, start, release, close).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "capture/drivers/simulated/simulated_driver.h"
#include "capture/notification_queue.h"

namespace kestrel::test {

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

inline std::uint32_t flagsOf(WAVEHDR& header) {
  return std::atomic_ref<std::uint32_t>(header.dwFlags).load(std::memory_order_acquire);
}

struct WaveRig {
  static constexpr std::int32_t kMaxFrames = 2048;

  explicit WaveRig(sim::SimulatedDriver& driverToUse) : driver(driverToUse) {}

  MMRESULT open(DeviceId id, std::uint32_t sampleRate = 48000) {
    return driver.waveInOpen(&handle, id, stereo16(sampleRate), &queue, 0, CALLBACK_WINDOW);
  }

  // Sets header i up as the analyser does before each hand-over, prepares and queues it.
  MMRESULT queueBuffer(int i, std::int32_t frames) {
    WAVEHDR& header = headers[static_cast<std::size_t>(i)];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<char*>(buffers[static_cast<std::size_t>(i)].data());
    header.dwBufferLength = static_cast<std::uint32_t>(frames) * 4;
    driver.waveInPrepareHeader(handle, &header);
    return driver.waveInAddBuffer(handle, &header);
  }

  // Opens, queues all four buffers and starts, asserting that each step succeeds.
  void startCapture(DeviceId id, std::int32_t frames, std::uint32_t sampleRate = 48000) {
    ASSERT_EQ(open(id, sampleRate), MMSYSERR_NOERROR);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(queueBuffer(i, frames), MMSYSERR_NOERROR);
    ASSERT_EQ(driver.waveInStart(handle), MMSYSERR_NOERROR);
  }

  MMRESULT unprepare(int i) {
    return driver.waveInUnprepareHeader(handle, &headers[static_cast<std::size_t>(i)]);
  }

  // The next notification must be MM_WIM_DATA for header i of this handle.
  void expectData(int i) {
    WaveMessage message;
    ASSERT_TRUE(queue.tryTake(message)) << "no notification for buffer " << i;
    EXPECT_EQ(message.message, MM_WIM_DATA);
    EXPECT_EQ(message.device, handle);
    EXPECT_EQ(message.header, &headers[static_cast<std::size_t>(i)]);
  }

  const std::int16_t* samples(int i) const { return buffers[static_cast<std::size_t>(i)].data(); }

  sim::SimulatedDriver& driver;
  NotificationQueue queue;
  HWAVEIN handle = kNoWaveIn;
  std::array<std::array<std::int16_t, 2 * kMaxFrames>, 4> buffers{};
  std::array<WAVEHDR, 4> headers{};
};

// Checks that frames carry the counter signal from `next` on, and moves `next` past them.
inline void expectCounterFrames(const std::int16_t* data, std::int32_t frames,
                                std::uint64_t& next) {
  for (std::int32_t k = 0; k < frames; ++k, ++next) {
    const auto left = static_cast<std::int16_t>(static_cast<std::uint16_t>(next));
    const auto right = static_cast<std::int16_t>(static_cast<std::uint16_t>(~left));
    ASSERT_EQ(data[2 * k], left) << "frame " << k << " of counter position " << next;
    ASSERT_EQ(data[2 * k + 1], right) << "frame " << k << " of counter position " << next;
  }
}

inline sim::InputDevice device(const char* name, sim::SourcePtr signal = nullptr) {
  sim::InputDevice input;
  input.name = name;
  input.signal = std::move(signal);
  return input;
}

}  // namespace kestrel::test
