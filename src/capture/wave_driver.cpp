// The error texts that every driver starts from.
#include "capture/wave_driver.h"

namespace kestrel {

std::string WaveDriver::waveInGetErrorText(MMRESULT code) {
  return defaultWaveErrorText(code);
}

std::string defaultWaveErrorText(MMRESULT code) {
  switch (code) {
    case MMSYSERR_NOERROR:
      return "The operation completed successfully.";
    case MMSYSERR_ERROR:
      return "The sound system reported an unspecified error.";
    case MMSYSERR_BADDEVICEID:
      return "The selected input device does not exist (any more). Pick a device from the list "
             "and try again.";
    case MMSYSERR_NOTENABLED:
      return "The input device could not be enabled.";
    case MMSYSERR_ALLOCATED:
      return "The input device is in use by another program.";
    case MMSYSERR_INVALHANDLE:
      return "The input device is not open.";
    case MMSYSERR_NODRIVER:
      return "No sound system is available for audio input.";
    case MMSYSERR_NOMEM:
      return "Not enough memory to open the input device.";
    case MMSYSERR_NOTSUPPORTED:
      return "The input device does not support this operation.";
    case MMSYSERR_INVALFLAG:
      return "An invalid flag was passed to the sound system.";
    case MMSYSERR_INVALPARAM:
      return "An invalid parameter was passed to the sound system.";
    case MMSYSERR_NODEVICE:
      return "The input device has gone away (unplugged or removed). Reconnect it or pick another "
             "device.";
    case WAVERR_BADFORMAT:
      return "The input device does not accept 16-bit stereo at the chosen sample rate. Choose "
             "another sample rate.";
    case WAVERR_STILLPLAYING:
      return "The input device still holds the buffer.";
    case WAVERR_UNPREPARED:
      return "The buffer was not prepared for the input device.";
    default:
      return "The sound system reported error " + std::to_string(code) + ".";
  }
}

}  // namespace kestrel
