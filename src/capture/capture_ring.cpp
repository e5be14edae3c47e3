// Start, Stop and the per-block release and requeue of the four capture buffers.
#include "capture/capture_ring.h"

#include <thread>

namespace kestrel {

namespace {
// How often a wait asks the device again.
constexpr std::chrono::microseconds kPollInterval{500};
}  // namespace

std::chrono::microseconds bufferDuration(std::uint32_t bufferBytes, std::int32_t sampleRate) {
  const std::int64_t frames = bufferBytes / 4;
  return std::chrono::microseconds(sampleRate > 0 ? frames * 1'000'000 / sampleRate : 0);
}

CaptureRing::CaptureRing(WaveDriver& driver) : driver_(driver) {}

void CaptureRing::setHeader(int index, std::int32_t blockFrames) {
  WAVEHDR& header = waveHeaders[index];
  header.lpData = reinterpret_cast<char*>(sampleBuffers[index].data());
  header.dwBufferLength = static_cast<std::uint32_t>(blockFrames) * 4;
  header.dwBytesRecorded = 0;
  header.dwUser = 0;
  header.dwFlags = 0;
  header.dwLoops = 0;
}

StartResult CaptureRing::start(DeviceId id, std::int32_t rate, std::int32_t blockFrames,
                               NotificationTarget& target) {
  const WAVEFORMATEX format = pcmStereo16(static_cast<std::uint32_t>(rate));
  HWAVEIN handle = kNoWaveIn;
  const MMRESULT opened = driver_.waveInOpen(&handle, id, format, &target, 0, CALLBACK_WINDOW);
  if (opened != MMSYSERR_NOERROR) {
    return {StartOutcome::OpenFailed, opened, driver_.waveInGetErrorText(opened)};
  }
  waveIn = handle;
  sampleRate = rate;

  for (int i = 0; i < kRingSize; ++i) {
    setHeader(i, blockFrames);
    driver_.waveInPrepareHeader(waveIn, &waveHeaders[i]);
    const MMRESULT queued = driver_.waveInAddBuffer(waveIn, &waveHeaders[i]);
    if (queued != MMSYSERR_NOERROR) {
      // Closing gives back the buffers queued so far; a later Start opens afresh.
      driver_.waveInClose(waveIn);
      waveIn = kNoWaveIn;
      return {StartOutcome::QueueFailed, queued, driver_.waveInGetErrorText(queued)};
    }
  }
  blockIndex = 0;
  const MMRESULT started = driver_.waveInStart(waveIn);
  if (started != MMSYSERR_NOERROR) {
    driver_.waveInClose(waveIn);
    waveIn = kNoWaveIn;
    return {StartOutcome::StartFailed, started, driver_.waveInGetErrorText(started)};
  }
  capturing = true;
  return {};
}

MMRESULT CaptureRing::unprepareUntil(int index, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const MMRESULT result = driver_.waveInUnprepareHeader(waveIn, &waveHeaders[index]);
    if (result != WAVERR_STILLPLAYING) return result;
    if (std::chrono::steady_clock::now() >= deadline) {
      ++timedOutWaits_;
      return result;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

bool CaptureRing::releaseCurrent() {
  // The notified buffer is normally given back already; allow it one buffer duration.
  const auto deadline = std::chrono::steady_clock::now() +
                        bufferDuration(waveHeaders[blockIndex].dwBufferLength, sampleRate) +
                        kWaitSlack;
  return unprepareUntil(blockIndex, deadline) != WAVERR_STILLPLAYING;
}

MMRESULT CaptureRing::requeueCurrent(std::int32_t blockFrames) {
  setHeader(blockIndex, blockFrames);
  driver_.waveInPrepareHeader(waveIn, &waveHeaders[blockIndex]);
  return driver_.waveInAddBuffer(waveIn, &waveHeaders[blockIndex]);
}

void CaptureRing::stop() {
  if (!capturing) return;
  // The device is neither stopped nor reset: the buffers still queued fill first. That takes at
  // most the sum of their durations; one deadline covers all four.
  std::chrono::microseconds longest{0};
  for (const WAVEHDR& header : waveHeaders) {
    longest += bufferDuration(header.dwBufferLength, sampleRate);
  }
  const auto deadline = std::chrono::steady_clock::now() + longest + kWaitSlack;
  for (int i = 0; i < kRingSize; ++i) unprepareUntil(i, deadline);
  // Closing also takes back any buffer a hung device still held, so none is written after this.
  driver_.waveInClose(waveIn);
  waveIn = kNoWaveIn;
  capturing = false;
}

}  // namespace kestrel
