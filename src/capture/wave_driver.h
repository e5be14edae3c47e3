// The seam to the sound system: wave input, wave output and mixer queries. One implementation
// talks to PulseAudio, one is simulated (tests and tools); the analyser sees only this.
#pragma once

#include <cstdint>
#include <string>

#include "capture/wave_types.h"

namespace kestrel {

// One notification from a device: which message, for which device, about which header.
struct WaveMessage {
  MessageId message = 0;
  HWAVEIN device = kNoWaveIn;
  WAVEHDR* header = nullptr;
};

// Receives the notifications of an open device. post() may be called from any thread (the
// driver's own); it must not block for long and must not allocate per call.
class NotificationTarget {
 public:
  virtual ~NotificationTarget() = default;
  virtual void post(const WaveMessage& message) = 0;
};

class WaveDriver {
 public:
  virtual ~WaveDriver() = default;

  // --- wave input
  virtual std::uint32_t waveInGetNumDevs() = 0;
  virtual MMRESULT waveInGetDevCaps(DeviceId id, WAVEINCAPS& caps) = 0;
  // Opens id (WAVE_MAPPER: the default input) for the format; notifications go to target.
  virtual MMRESULT waveInOpen(HWAVEIN* handle, DeviceId id, const WAVEFORMATEX& format,
                              NotificationTarget* target, std::uintptr_t instance,
                              std::uint32_t flags) = 0;
  virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) = 0;
  // Queues a prepared header; buffers are filled strictly in the order they were queued.
  virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) = 0;
  virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
  // WAVERR_STILLPLAYING while the device still holds the header; otherwise releases it.
  virtual MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) = 0;
  virtual MMRESULT waveInClose(HWAVEIN handle) = 0;
  // A text for a result code that tells the user what happened and what to do.
  virtual std::string waveInGetErrorText(MMRESULT code);

  // --- wave output (read for the capabilities report)
  virtual std::uint32_t waveOutGetNumDevs() = 0;
  virtual MMRESULT waveOutGetDevCaps(DeviceId id, WAVEOUTCAPS& caps) = 0;
  // Left volume in the low word, right in the high word; 0xFFFF is full volume.
  virtual MMRESULT waveOutGetVolume(DeviceId id, std::uint32_t* volume) = 0;

  // --- mixers
  virtual std::uint32_t mixerGetNumDevs() = 0;
  virtual MMRESULT mixerGetDevCaps(MixerId id, MIXERCAPS& caps) = 0;
  // flags: MIXER_GETLINEINFOF_DESTINATION (line.dwDestination) or _SOURCE (also line.dwSource).
  virtual MMRESULT mixerGetLineInfo(MixerId id, MIXERLINE& line, std::uint32_t flags) = 0;
  // The mixer serving wave-in device id (flags MIXER_OBJECTF_WAVEIN); MMSYSERR_NODRIVER: none.
  virtual MMRESULT mixerGetID(DeviceId id, MixerId* mixer, std::uint32_t flags) = 0;
};

// The analyser's own wording for the result codes, used unless a driver knows better.
std::string defaultWaveErrorText(MMRESULT code);

}  // namespace kestrel
