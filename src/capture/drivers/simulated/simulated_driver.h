// A wave driver made of configurable simulated devices. Tests and tools drive the analyser
// through it: in stepped pacing a caller says "deliver one buffer now"; in real-time pacing its
// own thread fills queued buffers at the sample rate, as hardware does. Faults can be injected.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/drivers/simulated/sample_source.h"
#include "capture/wave_driver.h"

namespace kestrel::sim {

enum class Pacing { Stepped, RealTime };

struct InputDevice {
  std::string name;
  std::uint32_t formats = kAllWaveFormats;  // dwFormats
  SourcePtr signal;                         // silence when empty
  std::optional<MixerId> mixer;             // what mixerGetID answers; none: MMSYSERR_NODRIVER
};

struct OutputDevice {
  std::string name;
  std::uint32_t support = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME | WAVECAPS_SAMPLEACCURATE;
  std::uint32_t volume = 0xFFFFFFFF;  // left low word, right high word
};

struct MixerLineSpec {
  std::string name;
  std::uint32_t componentType = MIXERLINE_COMPONENTTYPE_DST_UNDEFINED;
  std::uint32_t channels = 2;
  std::uint32_t controls = 0;
  std::vector<MixerLineSpec> connections;  // destinations only: their sources
};

struct Mixer {
  std::string name;
  std::vector<MixerLineSpec> destinations;
};

struct Config {
  std::vector<InputDevice> inputs;
  std::vector<OutputDevice> outputs;
  std::vector<Mixer> mixers;
  Pacing pacing = Pacing::Stepped;
};

// What the driver has seen, for tests to assert on.
struct Stats {
  int opens = 0;        // successful waveInOpen calls
  int closes = 0;       // waveInClose calls on an open handle
  int openHandles = 0;  // handles open right now
  int addBufferCalls = 0;
  int delivered = 0;  // buffers filled and handed back
  int queued = 0;     // buffers the open device holds right now
};

// Device ids run 0 .. n-1; WAVE_MAPPER is device 0, and with no input device at all it answers
// MMSYSERR_NODRIVER (waveInOpen, waveInGetDevCaps, mixerGetID). Several devices may be open at
// once, each by one handle. A device holds at most 16 buffers (more: MMSYSERR_NOMEM). Only
// MM_WIM_DATA and WIM_DEVICE_LOST are posted, with the driver's lock held, so nothing arrives
// for a handle after its waveInClose has returned; a target's post() must not call back into
// the driver.
class SimulatedDriver final : public WaveDriver {
 public:
  explicit SimulatedDriver(Config config);
  ~SimulatedDriver() override;

  // --- stepped pacing
  // Fills the oldest queued buffer of the open, started device from its signal, marks it done
  // and posts MM_WIM_DATA. False when there is none to fill (not open, not started, nothing
  // queued, or the buffer is held by holdBuffer), and always in real-time pacing. With several
  // devices open, the first opened that can deliver does.
  bool deliverBuffer();
  // Up to n buffers; returns how many were delivered.
  int deliverBuffers(int n);

  // --- faults (all may be set before or during a capture)
  // Every waveInOpen fails with code until clearFaults().
  void failOpen(MMRESULT code);
  // The call-th waveInAddBuffer from now on (1 = the next one) fails with code.
  void failAddBuffer(int call, MMRESULT code);
  // Every waveInStart fails with code until clearFaults().
  void failStart(MMRESULT code);
  // The nth buffer filled from now on (1 = the next) is never handed back: the device keeps it,
  // and every buffer queued behind it, reporting WAVERR_STILLPLAYING for them for ever. Only
  // waveInClose (or the device's removal) gets them back.
  void holdBuffer(int nth);
  // Disarms every fault still to come; a buffer already held stays held.
  void clearFaults();

  // --- devices coming and going
  // The device leaves the list (later ids move down). If it is open it stops delivering: it
  // posts WIM_DEVICE_LOST once, and its headers come back with MMSYSERR_NODEVICE.
  void removeInputDevice(DeviceId id);
  // Inserts a device at position id (the end when id is past it).
  void addInputDevice(InputDevice device, DeviceId id);

  Stats stats() const;

  // --- WaveDriver
  std::uint32_t waveInGetNumDevs() override;
  MMRESULT waveInGetDevCaps(DeviceId id, WAVEINCAPS& caps) override;
  MMRESULT waveInOpen(HWAVEIN* handle, DeviceId id, const WAVEFORMATEX& format,
                      NotificationTarget* target, std::uintptr_t instance,
                      std::uint32_t flags) override;
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) override;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) override;
  MMRESULT waveInStart(HWAVEIN handle) override;
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) override;
  MMRESULT waveInClose(HWAVEIN handle) override;
  std::uint32_t waveOutGetNumDevs() override;
  MMRESULT waveOutGetDevCaps(DeviceId id, WAVEOUTCAPS& caps) override;
  MMRESULT waveOutGetVolume(DeviceId id, std::uint32_t* volume) override;
  std::uint32_t mixerGetNumDevs() override;
  MMRESULT mixerGetDevCaps(MixerId id, MIXERCAPS& caps) override;
  MMRESULT mixerGetLineInfo(MixerId id, MIXERLINE& line, std::uint32_t flags) override;
  MMRESULT mixerGetID(DeviceId id, MixerId* mixer, std::uint32_t flags) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrel::sim
