// The ring of four capture buffers and their headers, and the device sequences around it:
// Start's open / prepare / queue / start, the release and requeue of one buffer per block, and
// Stop's wait and close. Every call runs on the analyser's thread; the driver's thread only
// fills queued buffers.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "analysis/fft_sizes.h"
#include "capture/wave_driver.h"

namespace kestrel {

inline constexpr int kRingSize = 4;

// How long the analyser waits for the device to give back a buffer it still holds. Normally a
// buffer is given back before its notification arrives, and Stop waits at most for the buffers
// still queued to fill (four block durations). A device that never gives one back (hung, or
// removed while keeping its queue) must not hang the program, so every wait ends after the
// block durations it may legitimately take plus this allowance for the sound server's
// scheduling.
inline constexpr std::chrono::milliseconds kWaitSlack{100};

// The duration of a buffer of the given length at the sample rate.
std::chrono::microseconds bufferDuration(std::uint32_t bufferBytes, std::int32_t sampleRate);

enum class StartOutcome {
  Started,
  OpenFailed,   // nothing changed
  QueueFailed,  // the device was closed again
  StartFailed,  // the device was closed again
};

struct StartResult {
  StartOutcome outcome = StartOutcome::Started;
  MMRESULT code = MMSYSERR_NOERROR;  // the failing call's result
  std::string errorText;             // for OpenFailed: the driver's text for code
};

class CaptureRing {
 public:
  explicit CaptureRing(WaveDriver& driver);

  // Opens device id for 16-bit stereo at sampleRate with notifications to target, queues
  // buffers 0..3 with blockFrames frames each and starts recording. When queueing or starting
  // fails the device is closed again before this returns, so no handle is left over the
  // buffers.
  StartResult start(DeviceId id, std::int32_t sampleRate, std::int32_t blockFrames,
                    NotificationTarget& target);

  // Waits (bounded) until the device has given back every buffer, then closes it and ends the
  // capture. Safe to call when no capture runs (it then does nothing).
  void stop();

  // Step 1 of a block: releases the current buffer, waiting while the device still holds it,
  // at most one buffer duration plus kWaitSlack. False when the wait ran out: the device still
  // holds the buffer and it must not be read.
  bool releaseCurrent();

  // Queues the current buffer again with blockFrames frames. The driver's result.
  MMRESULT requeueCurrent(std::int32_t blockFrames);

  void advance() { blockIndex = (blockIndex + 1) % kRingSize; }

  std::int16_t* buffer(int index) { return sampleBuffers[index].data(); }
  std::int16_t* current() { return buffer(blockIndex); }
  std::int16_t* previous() { return buffer((blockIndex + kRingSize - 1) % kRingSize); }

  // How many waits ran out since construction (a device that did not give a buffer back).
  int timedOutWaits() const { return timedOutWaits_; }

  // Interleaved left/right 16-bit frames, 16384 bytes each.
  std::array<std::array<std::int16_t, 2 * kBufferFrames>, kRingSize> sampleBuffers{};
  std::array<WAVEHDR, kRingSize> waveHeaders{};
  std::int32_t blockIndex = 0;
  HWAVEIN waveIn = kNoWaveIn;
  bool capturing = false;
  std::int32_t sampleRate = kDefaultSampleRate;  // the rate the open device runs at

 private:
  void setHeader(int index, std::int32_t blockFrames);
  // Unprepares header index until the device lets it go or the deadline passes.
  MMRESULT unprepareUntil(int index, std::chrono::steady_clock::time_point deadline);

  WaveDriver& driver_;
  int timedOutWaits_ = 0;
};

}  // namespace kestrel
