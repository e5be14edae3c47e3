// libpulse error numbers mapped to our result codes, and the driver's texts for them.
#include "capture/drivers/pulse/pulse_errors.h"

#include <pulse/def.h>

#include "capture/wave_driver.h"

namespace kestrel::pulse {

MMRESULT resultOfPulseError(int error) {
  switch (error) {
    case PA_ERR_NOENTITY:
    case PA_ERR_KILLED:
      return kInputGone;
    case PA_ERR_INVALID:
    case PA_ERR_NOTSUPPORTED:
      return kFormatRefused;
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
    case PA_ERR_INVALIDSERVER:
    case PA_ERR_BADSTATE:
      return kNoServer;
    case PA_ERR_TIMEOUT:
      return kServerTimedOut;
    case PA_ERR_BUSY:
      return MMSYSERR_ALLOCATED;
    default:
      return kServerRefused;
  }
}

std::string errorText(MMRESULT code) {
  switch (code) {
    case kNoServer:
      return "No sound server is reachable: start PulseAudio or PipeWire, or check PULSE_SERVER.";
    case kNoSuchInput:
      return "The sound server has no input device with this number: open the device list again "
             "and pick one.";
    case kInputGone:
      return "The input device has gone from the sound server (unplugged or switched off): "
             "reconnect it, or open the device list again and pick another.";
    case kFormatRefused:
      return "The sound server does not accept 16-bit stereo at this sample rate: choose another "
             "sample rate.";
    case kServerTimedOut:
      return "The sound server did not answer in time: it may be busy or stuck; restart PulseAudio "
             "or PipeWire and try again.";
    case kServerRefused:
      return "The sound server refused to record from this input device: look at its log, or pick "
             "another device.";
    default:
      return defaultWaveErrorText(code);
  }
}

}  // namespace kestrel::pulse
