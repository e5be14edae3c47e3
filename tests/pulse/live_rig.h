// Helpers for the PulseAudio tests: the shared capture rig, which waits for notifications with
// generous bounds (waiting for an event, never a sleep), and finding an input by its name.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "capture/drivers/pulse/pulse_driver.h"
#include "common/wave_rig.h"

namespace kestrel::testing {

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

}  // namespace kestrel::testing
