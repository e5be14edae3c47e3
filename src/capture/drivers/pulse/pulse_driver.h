// The wave driver for PulseAudio and PipeWire's PulseAudio service: the server's sources are the
// input devices (monitors of outputs included), its sinks the output devices, its cards the
// mixers. Capture runs as a record stream on libpulse's threaded main loop.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "capture/wave_driver.h"

namespace kestrel::pulse {

struct PulseOptions {
  // The server to talk to, as libpulse names it ("unix:/run/user/1000/pulse/native"); empty:
  // libpulse's own choice (PULSE_SERVER, client.conf, the user's session server).
  std::string server;
  std::string applicationName = "Kestrel";
};

// What the driver has seen, for tests and the tools.
struct PulseStats {
  int timedOutWaits = 0;            // calls that gave up at their bound
  int deviceLostReports = 0;        // WIM_DEVICE_LOST posted
  std::uint64_t droppedBytes = 0;   // arrived while no buffer was queued
  std::uint64_t holeBytes = 0;      // gaps in the server's data, filled with silence
  std::uint32_t fragmentBytes = 0;  // the fragment size the server granted the last stream
};

// Lists are read from the server by the count calls (waveInGetNumDevs, waveOutGetNumDevs,
// mixerGetNumDevs); the calls that take an id answer from the list read last, so an id means
// what it meant when the caller counted. Device id i is the i-th source by server index.
//
// Threads: every call may come from any one thread (the analyser's). The main loop's thread fills
// the queued buffers and posts MM_WIM_DATA and WIM_DEVICE_LOST with the loop's lock held, so
// nothing is posted for a handle after its waveInClose has returned. A target's post() must not
// call back into the driver. Every call that waits for the server has a bound (see the .cpp).
class PulseDriver final : public WaveDriver {
 public:
  explicit PulseDriver(PulseOptions options = {});
  ~PulseDriver() override;
  PulseDriver(const PulseDriver&) = delete;
  PulseDriver& operator=(const PulseDriver&) = delete;

  PulseStats stats() const;

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
  std::string waveInGetErrorText(MMRESULT code) override;

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

}  // namespace kestrel::pulse
